#!/usr/bin/env python3
"""An HTTPS front of the local weather service, on loopback, for the tests of the secure path.

    tls_front.py STATE_DIR UPSTREAM_PORT

STATE_DIR holds server.pem/server.key (made out to localhost by the test's own authority) and
untrusted.pem/untrusted.key (by an authority nobody trusts). Three listeners on dynamic ports,
written to tls.port, plain.port and untrusted.port once all of them listen:

  tls        https: /to-http/REST answers 302 to http://127.0.0.1:UPSTREAM/REST (a downgrade),
             /hop/REST answers 302 to https://localhost:TLS/REST, anything else is passed on to
             the weather service and its answer sent back with its length.
  plain      http: /to-https/REST answers 302 to https://localhost:TLS/REST.
  untrusted  https with the untrusted certificate, answering as tls does.
"""
import http.server
import os
import ssl
import sys
import threading
import urllib.error
import urllib.request

state, upstream = sys.argv[1], int(sys.argv[2])
ports = {}
# The weather service is on loopback: no proxy of the environment may stand in between.
opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class Front(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def redirect(self, target):
        self.send_response(302)
        self.send_header("Location", target)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        path = self.path
        if path.startswith("/to-http/"):
            return self.redirect("http://127.0.0.1:%d/%s" % (upstream, path[len("/to-http/"):]))
        if path.startswith("/to-https/"):
            return self.redirect("https://localhost:%d/%s" % (ports["tls"], path[len("/to-https/"):]))
        if path.startswith("/hop/"):
            return self.redirect("https://localhost:%d/%s" % (ports["tls"], path[len("/hop/"):]))
        try:
            with opener.open("http://127.0.0.1:%d%s" % (upstream, path), timeout=10) as answer:
                status, body, kind = answer.status, answer.read(), answer.headers.get("Content-Type")
        except urllib.error.HTTPError as error:
            status, body, kind = error.code, error.read(), error.headers.get("Content-Type")
        self.send_response(status)
        self.send_header("Content-Type", kind or "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def listen(name, certificate):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Front)
    server.daemon_threads = True
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(state, certificate + ".pem"),
                                os.path.join(state, certificate + ".key"))
        server.socket = context.wrap_socket(server.socket, server_side=True)
    ports[name] = server.server_address[1]
    return server


servers = [listen("tls", "server"), listen("plain", None), listen("untrusted", "untrusted")]
for name, port in ports.items():
    with open(os.path.join(state, name + ".port"), "w") as out:
        out.write("%d\n" % port)
for server in servers[1:]:
    threading.Thread(target=server.serve_forever, daemon=True).start()
servers[0].serve_forever()
