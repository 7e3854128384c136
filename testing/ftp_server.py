"""FTP server for the tests: one user with write permission in one folder,
on 127.0.0.1 and the given port, active and passive mode."""

import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--home", required=True)
    # Explicit TLS (AUTH TLS) required on control and data connections.
    parser.add_argument("--cert")
    parser.add_argument("--key")
    # How PORT/EPRT are met: "ok" connects back, "refuse" answers 425, "silent"
    # says yes and never connects (a server behind a router that cannot reach us).
    parser.add_argument("--active", choices=["ok", "refuse", "silent"], default="ok")
    args = parser.parse_args()

    # Commands and replies are logged so that tests can see what went over the wire.
    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")

    handler = FTPHandler
    if args.cert:
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

        class HandshakeFirstDTPHandler(TLS_DTPHandler):
            # Clients may secure the data connection before they send STOR;
            # the stock handler takes that early read for a hang-up.
            def readable(self):
                if getattr(self, "_ssl_accepting", False):
                    return True
                return super().readable()

        handler = TLS_FTPHandler
        handler.dtp_handler = HandshakeFirstDTPHandler
        handler.certfile = args.cert
        handler.keyfile = args.key
        handler.tls_control_required = True
        handler.tls_data_required = True
    if args.active != "ok":
        mode = args.active

        class NoActiveHandler(handler):
            def ftp_PORT(self, line):
                if mode == "refuse":
                    self.respond("425 Can't connect to specified address.")
                else:
                    self.respond("200 Active data connection established.")

            def ftp_EPRT(self, line):
                self.ftp_PORT(line)

        handler = NoActiveHandler
    handler.authorizer = authorizer
    handler.banner = "test server ready"
    # Refused logins answer at once so that tests do not wait.
    handler.auth_failed_timeout = 0
    server = FTPServer((args.host, args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
