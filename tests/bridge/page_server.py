#!/usr/bin/env python3
"""The gateway's web site for the browser tests: serves the files of ROOT (the checkout page and
vexo-pay.js) on 127.0.0.1:PORT, the gateway's own origin, and passes /plugin/ requests on to the
local gateway at GATEWAY, as a gateway's site serves both. A second listener on a free port serves
the same files from an origin that is not a gateway's. Writes "other=N" to READY once both listen.
With LIBRARY, /bridge/page/ is served from that folder (the built page library) instead of ROOT.
    page_server.py ROOT PORT GATEWAY READY [LIBRARY]
"""
import functools, http.server, os, sys, threading, time, urllib.error, urllib.request

class Handler(http.server.SimpleHTTPRequestHandler):
    gateway = None
    library = None
    # The headers and the body go out as two writes: without this the body waits for the client's
    # delayed acknowledgement of the headers (40 ms on Linux).
    disable_nagle_algorithm = True

    def do_GET(self):
        if self.gateway and self.path.startswith('/plugin/'):
            return self.forward()
        return super().do_GET()

    def translate_path(self, path):
        if self.library and path.startswith('/bridge/page/'):
            name = os.path.basename(path.split('?', 1)[0].split('#', 1)[0])
            return os.path.join(self.library, name)
        return super().translate_path(path)

    def forward(self):
        try:
            reply = urllib.request.urlopen(self.gateway + self.path, timeout=30)
        except urllib.error.HTTPError as error:
            reply = error
        body = reply.read()
        self.send_response(reply.status if hasattr(reply, 'status') else reply.code)
        for name in ('Content-Type', 'Content-Encoding'):
            if reply.headers.get(name):
                self.send_header(name, reply.headers[name])
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass

def main():
    root, port, gateway, ready = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    Handler.library = sys.argv[5] if len(sys.argv) > 5 else None
    site = type('Site', (Handler,), {'gateway': gateway})
    for attempt in range(50):  # another test's server may still be closing the fixed port
        try:
            main_server = http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(site, directory=root))
            break
        except OSError:
            if attempt == 49:
                raise
            time.sleep(0.1)
    other = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(Handler, directory=root))
    threading.Thread(target=other.serve_forever, daemon=True).start()
    with open(ready, 'w') as f:
        f.write('other=%d\n' % other.server_address[1])
    main_server.serve_forever()

if __name__ == '__main__':
    main()
