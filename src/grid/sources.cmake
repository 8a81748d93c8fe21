# Grid editor sources, added to vendaro_gui.
