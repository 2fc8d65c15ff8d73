"""A web server for the update check's tests.

Usage: versions_server.py IP DIR. Binds IP on a free port, prints the port on a line of its
own once it listens, and serves GET requests from DIR. /moved/<path> answers 301 with
Location /<path>. Each request's headers are appended to DIR/requests.log.
"""

import http.server
import os
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        root = self.server.root
        with open(os.path.join(root, "requests.log"), "a") as log:
            log.write("GET %s %s\n" % (self.path, self.request_version))
            for name, value in self.headers.items():
                log.write("%s: %s\n" % (name, value))
            log.write("\n")
        if self.path.startswith("/moved/"):
            self.send_response(301)
            self.send_header("Location", self.path[len("/moved"):])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path = os.path.normpath(os.path.join(root, self.path.lstrip("/")))
        if not path.startswith(root + os.sep) or not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer((sys.argv[1], 0), Handler)
    server.root = os.path.realpath(sys.argv[2])
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
