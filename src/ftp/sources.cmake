# FTP client sources, added to vendaro_core.
