#!/usr/bin/python3
"""A throwaway FTP server on loopback for tests and the demo.

Binds a free port (or the one given), writes the port it got to --port-file once it listens, and
serves one user with full rights on --root. With --tls it requires explicit TLS (AUTH TLS) and uses
the given certificate and key.
"""
import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--tls", action="store_true")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--log")
    a = p.parse_args()

    if a.log:
        logging.basicConfig(filename=a.log, level=logging.INFO)
    os.makedirs(a.root, exist_ok=True)
    auth = DummyAuthorizer()
    auth.add_user(a.user, a.password, a.root, perm="elradfmwMT")

    if a.tls:
        from pyftpdlib.handlers import TLS_FTPHandler
        handler = TLS_FTPHandler
        handler.certfile = a.cert
        handler.keyfile = a.key
        handler.tls_control_required = True
        handler.tls_data_required = True
    else:
        handler = FTPHandler
    handler.authorizer = auth
    handler.banner = "Vendaro test FTP server ready."
    handler.masquerade_address = None
    handler.passive_ports = None
    handler.timeout = 120

    server = FTPServer(("127.0.0.1", a.port), handler)
    port = server.socket.getsockname()[1]
    tmp = a.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, a.port_file)
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


if __name__ == "__main__":
    sys.exit(main())
