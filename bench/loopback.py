"""The benchmark's own local sites: HTTP servers on 127.0.0.2 to 127.0.0.11 with a request log."""

import http.server
import sys
import threading
import time

SITES = 10
TIMEOUT = 60.0


class RequestLog:
    def __init__(self):
        self.entries = []  # (monotonic seconds, host, path)
        self.changed = threading.Condition()

    def add(self, host, path):
        with self.changed:
            self.entries.append((time.monotonic(), host, path))
            self.changed.notify_all()

    def wait_for(self, host, path, timeout=TIMEOUT):
        """The time the request for path on host arrived, waiting for it if need be."""
        deadline = time.monotonic() + timeout
        with self.changed:
            while True:
                for when, h, p in self.entries:
                    if h == host and p == path:
                        return when
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(f"no request for http://{host}{path}")
                self.changed.wait(left)


PAGE = """<!doctype html>
<html><head><meta charset="utf-8"><title>site {site}</title>
<style>body {{ font: 16px sans-serif; margin: 2em; }} p {{ max-width: 40em; }}</style></head>
<body><h1>site {site}</h1>
{paragraphs}
<script>
addEventListener('load', () => {{ new Image().src = '/loaded' + location.pathname; }});
</script>
</body></html>
"""


def make_handler(log):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            host = "%s:%d" % self.server.server_address
            log.add(host, self.path)
            if self.path.startswith("/loaded") or self.path == "/favicon.ico":
                self.send_response(204)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            site = self.server.server_address[0].rsplit(".", 1)[1]
            paragraphs = "\n".join(
                f"<p>Paragraph {i} of a plain local page, long enough to lay out a few lines of "
                f"text in the window, with a <a href='/next{i}'>link</a>.</p>" for i in range(30))
            body = PAGE.format(site=site, paragraphs=paragraphs).encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    return Handler


class Site(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A browser that ends drops its connections; that is no fault of the page.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def start_sites(log):
    """Ten sites: 127.0.0.2 to 127.0.0.11, each a server of its own."""
    hosts = []
    for i in range(SITES):
        server = Site((f"127.0.0.{i + 2}", 0), make_handler(log))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        hosts.append("%s:%d" % server.server_address)
    return hosts
