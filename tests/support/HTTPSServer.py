#!/usr/bin/env python3
"""An HTTPS server for the tests: serves the files under ROOT/files, answers with the redirects
and stalls that ROOT/routes.json names, and prints its port once it listens.

routes.json maps a request path to {"location": URL, "status": 302} (a redirect) or to
{"length": N} (the file announced as N octets, sent, and the connection then held open)."""
import http.server
import json
import os
import ssl
import sys
import time

root, certificate, key = sys.argv[1:4]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        try:
            with open(os.path.join(root, "routes.json")) as routes:
                route = json.load(routes).get(self.path, {})
        except FileNotFoundError:
            route = {}
        if "location" in route:
            self.send_response(route.get("status", 302))
            self.send_header("Location", route["location"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path = os.path.join(root, "files", self.path.lstrip("/"))
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as file:
            body = file.read()
        self.send_response(200)
        self.send_header("Content-Length", str(route.get("length", len(body))))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        if "length" in route:
            time.sleep(600)

    def log_message(self, *arguments):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print(server.server_address[1], flush=True)
server.serve_forever()
