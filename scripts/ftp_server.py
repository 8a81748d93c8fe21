#!/usr/bin/python3
"""A throwaway FTP (or SFTP) server on loopback for tests and the demo.

Binds a free port (or the one given), writes the port it got to --port-file once it listens, and
serves one user with full rights on --root.

  --tls            explicit TLS (AUTH TLS), required on the control and data connections
  --implicit-tls   TLS from the first byte (ftps://), data connections protected too
  --sftp           SFTP over SSH instead of FTP; --host-key is the server's private key (made when
                   missing) and its public line is written to --host-key + ".pub"
  --no-mlsd        answers MLSD/MLST as unknown commands, like servers that only know LIST
  --drop-after N   drops the client (data and control connections) once an upload has received
                   more than N bytes, as a server that dies mid-transfer (plain FTP only)
  --silent         accepts connections and never answers, as a hung server
  --stop-file F    ends the server as soon as the file F exists, removing it (for a parent that
                   cannot signal it: a Windows test under Wine)
  --detach         keeps none of the descriptors it was started with (standard ones on /dev/null):
                   under Wine it inherits the test runner's output, which would stay open
"""
import argparse
import logging
import os
import socket
import sys
import threading
import time
import warnings


def write_port(port_file, port):
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("%d\n" % port)
    os.replace(tmp, port_file)


def serve_silent(a):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", a.port))
    s.listen(16)
    write_port(a.port_file, s.getsockname()[1])
    held = []
    while True:
        conn, _ = s.accept()
        held.append(conn)  # kept open, never written to


def serve_sftp(a):
    # asyncssh warns about legacy ciphers on import; they are not offered by this server anyway.
    warnings.simplefilter("ignore")
    import asyncio
    import asyncssh

    if not os.path.exists(a.host_key):
        key = asyncssh.generate_private_key("ssh-ed25519")
        key.write_private_key(a.host_key)
        key.write_public_key(a.host_key + ".pub")

    class Server(asyncssh.SSHServer):
        def begin_auth(self, username):
            return True

        def password_auth_supported(self):
            return True

        def validate_password(self, username, password):
            return username == a.user and password == a.password

    def sftp_factory(chan):
        return asyncssh.SFTPServer(chan, chroot=a.root.encode())

    async def start():
        server = await asyncssh.create_server(
            Server, "127.0.0.1", a.port, server_host_keys=[a.host_key], sftp_factory=sftp_factory,
            allow_scp=False)
        port = server.sockets[0].getsockname()[1]
        write_port(a.port_file, port)
        await server.wait_closed()

    loop = asyncio.new_event_loop()
    loop.run_until_complete(start())


def serve_ftp(a):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler
    from pyftpdlib.servers import FTPServer

    auth = DummyAuthorizer()
    auth.add_user(a.user, a.password, a.root, perm="elradfmwMT")

    if a.tls or a.implicit_tls:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

        class DataTLS(TLS_DTPHandler):
            # A client may start the TLS handshake on the data connection as soon as it is open,
            # before it sends STOR, RETR or LIST (curl does). The stock handler takes any early
            # incoming bytes for a closed connection and drops it, so the client then reads the
            # next control reply in the wrong place ("Bad PASV/EPSV response: 200"). While the
            # handshake is in progress the connection must stay readable.
            def readable(self):
                if self._ssl_accepting:
                    return True
                return super().readable()

        base_data = DataTLS
        base_control = TLS_FTPHandler
    else:
        base_data = DTPHandler
        base_control = FTPHandler

    drop_after = a.drop_after
    stall_after = a.stall_after
    stalled = []

    class Data(base_data):
        def handle_read(self):
            super().handle_read()
            if drop_after is not None and self.receive and self.tot_bytes_received > drop_after:
                control = self.cmd_channel
                self.close()
                control.close()
            if stall_after is not None and self.receive and self.tot_bytes_received > stall_after:
                # Stops reading but keeps the connection open: a transfer that stalls.
                stalled.append(self)
                self.del_channel()

        if not (a.tls or a.implicit_tls):
            # The plain handler binds its read event to handle_read at class creation.
            handle_read_event = handle_read

    class Control(base_control):
        if a.implicit_tls:
            def handle(self):
                self.secure_connection(self.ssl_context)
                self._prot = True
                self._pbsz = True
                super().handle()

    handler = Control
    handler.dtp_handler = Data
    if a.tls or a.implicit_tls:
        handler.certfile = a.cert
        handler.keyfile = a.key
        handler.tls_control_required = True
        handler.tls_data_required = True
    if a.no_mlsd:
        handler.proto_cmds = {k: v for k, v in handler.proto_cmds.items()
                              if k not in ("MLSD", "MLST")}
    handler.authorizer = auth
    handler.banner = "Vendaro test FTP server ready."
    handler.masquerade_address = None
    handler.passive_ports = None
    handler.timeout = 120

    server = FTPServer(("127.0.0.1", a.port), handler)
    write_port(a.port_file, server.socket.getsockname()[1])
    try:
        server.serve_forever(handle_exit=True)
    finally:
        server.close_all()


def detach():
    nulo = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(nulo, fd)
    os.closerange(3, os.sysconf("SC_OPEN_MAX"))


def stop_when_exists(path):
    def watch():
        while not os.path.exists(path):
            time.sleep(0.1)
        # Gone, so the one who asked knows the server has ended.
        os.remove(path)
        os._exit(0)

    threading.Thread(target=watch, daemon=True).start()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--port-file", required=True)
    p.add_argument("--tls", action="store_true")
    p.add_argument("--implicit-tls", action="store_true")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--sftp", action="store_true")
    p.add_argument("--host-key")
    p.add_argument("--no-mlsd", action="store_true")
    p.add_argument("--drop-after", type=int)
    p.add_argument("--stall-after", type=int)
    p.add_argument("--silent", action="store_true")
    p.add_argument("--log")
    p.add_argument("--stop-file")
    p.add_argument("--detach", action="store_true")
    a = p.parse_args()

    if a.detach:
        detach()
    if a.stop_file:
        stop_when_exists(a.stop_file)

    if a.log:
        logging.basicConfig(filename=a.log, level=logging.INFO)
    os.makedirs(a.root, exist_ok=True)
    a.root = os.path.abspath(a.root)
    if a.drop_after is not None and (a.tls or a.implicit_tls or a.sftp):
        p.error("--drop-after works with plain FTP only")
    if a.silent:
        serve_silent(a)
    elif a.sftp:
        if not a.host_key:
            p.error("--sftp needs --host-key")
        serve_sftp(a)
    else:
        serve_ftp(a)


if __name__ == "__main__":
    sys.exit(main())
