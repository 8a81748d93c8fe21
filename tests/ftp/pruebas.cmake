# FTP client tests.
