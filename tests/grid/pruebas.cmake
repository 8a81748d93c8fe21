# Grid editor tests (window tests: GUI).
