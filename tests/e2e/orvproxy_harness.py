"""Starting orvproxy and a small upstream for the end-to-end tests (stdlib only)."""

import http.client
import http.server
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time

ORVPROXY = os.environ.get("ORVPROXY", "")
EXAMPLES = os.environ.get("ORV_EXAMPLES", "")

# Short timeouts keep the timeout tests quick; they are the hidden test flags of orvproxy.
CLIENT_TIMEOUT_MS = 400
UPSTREAM_TIMEOUT_MS = 400
BUFFER = 4096

FILLER = ("<p>" + "lorem ipsum dolor sit amet " * 20 + "</p>\n") * 60  # ~33 KB, no keyword


def make_config(workdir):
    """A copy of the demo config with its own log folder."""
    config = os.path.join(workdir, "config")
    shutil.copytree(os.path.join(EXAMPLES, "config"), config)
    os.mkdir(os.path.join(config, "log"))
    return config


def make_site(workdir):
    """The demo site plus pages larger than the screening buffer and an escape attempt."""
    site = os.path.join(workdir, "site")
    shutil.copytree(os.path.join(EXAMPLES, "site"), site)
    head = '<html lang="en"><head><meta charset="utf-8"></head><body>\n'
    pages = {
        "big-pass.html": head + FILLER + "</body></html>\n",
        "big-late-deny.html": head + FILLER + "<p>forbiddenword</p>" + FILLER + "</body></html>\n",
        "big-late-replace.html": head + FILLER + "<p>badword</p>" + FILLER + "</body></html>\n",
    }
    for name, text in pages.items():
        with open(os.path.join(site, name), "w", encoding="utf-8") as f:
            f.write(text)
    os.mkdir(os.path.join(site, "folder"))
    with open(os.path.join(site, "folder", "index.html"), "w") as f:
        f.write("<html><body>folder index</body></html>\n")
    secret = os.path.join(workdir, "secret.txt")
    with open(secret, "w") as f:
        f.write("outside the site\n")
    os.symlink(secret, os.path.join(site, "escape.txt"))
    os.symlink(workdir, os.path.join(site, "escape-dir"))
    return site


class Proxy:
    """One orvproxy process on a free loopback port."""

    def __init__(self, config, *, root=None, upstream=None, extra=()):
        args = [ORVPROXY, "--dir", config, "--listen", "127.0.0.1:0", "--threads", "2",
                "--buffer", str(BUFFER),
                "--client-timeout-ms", str(CLIENT_TIMEOUT_MS),
                "--upstream-timeout-ms", str(UPSTREAM_TIMEOUT_MS),
                "--shutdown-grace-ms", "2000"]
        args += ["--root", root] if root else ["--upstream", upstream]
        args += list(extra)
        self.process = subprocess.Popen(args, stderr=subprocess.PIPE)
        self.startup = self.process.stderr.readline().decode("utf-8", "replace")
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", self.startup)
        if not match:
            self.process.kill()
            raise RuntimeError("orvproxy did not start: " + self.startup)
        self.port = int(match.group(1))
        self.lines = []
        self._reader = threading.Thread(target=self._read_stderr, daemon=True)
        self._reader.start()

    def _read_stderr(self):
        for line in self.process.stderr:
            self.lines.append(line.decode("utf-8", "replace"))

    def connection(self, timeout=10):
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)

    def get(self, path, headers=None, method="GET", body=None):
        conn = self.connection()
        try:
            conn.request(method, path, body=body, headers=headers or {})
            response = conn.getresponse()
            data = response.read()
            return response, data
        finally:
            conn.close()

    def raw(self, data, timeout=10):
        """Sends raw bytes, returns everything read until the proxy closes."""
        with socket.create_connection(("127.0.0.1", self.port), timeout=timeout) as s:
            s.sendall(data)
            chunks = []
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                chunks.append(piece)
            return b"".join(chunks)

    def wait_for_line(self, text, timeout=10):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(text in line for line in self.lines):
                return True
            time.sleep(0.02)
        return False

    def stop(self):
        """Stops with SIGTERM; fails on a crash, a hang or anything a sanitizer reported."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise
        self._reader.join(timeout=10)
        reports = [line for line in self.lines
                   if "Sanitizer" in line or "runtime error" in line]
        if reports or self.process.returncode != 0:
            raise AssertionError("orvproxy exited with %s:\n%s" % (
                self.process.returncode, "".join(reports or self.lines[-20:])))
        return self.process.returncode


class UpstreamHandler(http.server.SimpleHTTPRequestHandler):
    """Serves the site folder over HTTP/1.1 keep-alive, plus a few misbehaving paths."""

    protocol_version = "HTTP/1.1"
    seen_headers = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        UpstreamHandler.seen_headers.append(dict(self.headers))
        if self.path == "/echo-headers":
            return self._send(200, repr(sorted(self.headers.items())).encode())
        if self.path == "/reset-early":
            # Headers and a little of a body far larger than the buffer, then a reset.
            self._html_head("Content-Length", "100000")
            self.wfile.write(b"x" * 100)
            return self._reset()
        if self.path == "/reset-late":
            self._html_head("Content-Length", "100000")
            self.wfile.write(b"y" * (BUFFER * 3))
            self.wfile.flush()
            time.sleep(0.1)
            return self._reset()
        if self.path == "/silent":
            time.sleep(UPSTREAM_TIMEOUT_MS / 1000 * 4)
            return self._reset()
        if self.path == "/slow-but-in-time":
            time.sleep(UPSTREAM_TIMEOUT_MS / 1000 / 2)
            return self._send(200, b"in time")
        if self.path == "/close-after":
            # Keep-alive promised, then the connection closes anyway (an upstream idle timeout).
            self._send(200, b"closed after")
            self.wfile.flush()
            self.close_connection = True
            return None
        if self.path == "/until-close":
            # No length and no chunks: the body runs until the connection ends, and arrives
            # in pieces.
            self._html_head("Connection", "close")
            self._send_in_pieces(b"<html><body>first ", b"badword second ", b"third</body></html>")
            self.close_connection = True
            return None
        if self.path == "/chunked-split":
            # Chunk sizes and data cut across separate sends.
            self._html_head("Transfer-Encoding", "chunked")
            self._send_in_pieces(b"1", b"3\r\n<html><body>", b"badword", b"\r\n", b"7\r\n</body>",
                                 b"\r\n7\r\n</html>\r\n0\r", b"\n\r\n")
            return None
        if self.path == "/chunked":
            self._html_head("Transfer-Encoding", "chunked")
            for piece in (b"<html><body>", b"badword in a chunked reply", b"</body></html>"):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
            return None
        return super().do_GET()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        return self._send(200, b"posted:" + body)

    def _send(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def _html_head(self, framing, value):
        """A 200 head for an HTML body framed by the one field given."""
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header(framing, value)
        self.end_headers()

    def _send_in_pieces(self, *pieces):
        """Each piece in a send of its own, with a pause the proxy's reads fall into."""
        for piece in pieces:
            self.wfile.write(piece)
            self.wfile.flush()
            time.sleep(0.03)

    def _reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True


class Upstream:
    def __init__(self, site):
        handler = lambda *a, **k: UpstreamHandler(*a, directory=site, **k)  # noqa: E731
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.port

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def new_workdir():
    return tempfile.mkdtemp(prefix="orvproxy-e2e-")
