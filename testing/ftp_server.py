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
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--home", required=True)
    args = parser.parse_args()

    # Commands and replies are logged so that tests can see what went over the wire.
    logging.basicConfig(stream=sys.stderr, level=logging.DEBUG)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.home, perm="elradfmwMT")

    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "test server ready"
    # Refused logins answer at once so that tests do not wait.
    handler.auth_failed_timeout = 0
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
