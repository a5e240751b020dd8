#!/usr/bin/python3
"""An anonymous, read-only FTP server for the join tests: serves a folder on a free loopback port
and prints its port and process id on the first line of its output once it listens. Runs on
Debian's own python3, which has pyftpdlib from the python3-pyftpdlib package.
"""
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(sys.argv[1])
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], os.getpid(), flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
