"""Upstream servers that misbehave on purpose, and a raw client that shows every byte.

Each upstream speaks HTTP/1.1 over bare sockets, so that it can send what no well-behaved
server library would: codings nobody asked for, 206 without a Range, a body cut across
writes at chosen offsets, a stream that never ends. Every upstream records the requests it
received, so a test can tell what got past the proxy.
"""

import gzip
import socket
import threading
import time
import zlib

import brotli
import zstandard

HEAD = b'<html lang="en"><head><meta charset="utf-8"><title>page</title></head><body>\n'
TAIL = b"</body></html>\n"
DENY_PAGE = HEAD + b"<p>one forbiddenword here</p>\n" + TAIL
# Large enough that a proxy compressing only pages above some size still compresses it.
REPLACE_PAGE = HEAD + b"<p>one badword here</p>\n" + b"<p>%s</p>\n" % (b"text " * 400) + TAIL
PASS_PAGE = HEAD + b"<p>nothing to see</p>\n" + TAIL
BLOCK_MARK = b"f*o*r*b*i*d*d*e*n*w*o*r*d"  # how the keyword block page shows the deny word


def filler(size, seed=b"lorem ipsum dolor sit amet "):
    """Harmless text of exactly `size` bytes."""
    return (seed * (size // len(seed) + 1))[:size]


class Request:
    def __init__(self, method, target, version, fields, body, trailers, raw_head):
        self.method = method
        self.target = target
        self.version = version
        self.fields = fields  # [(name, value)] in the order received
        self.body = body
        self.trailers = trailers
        self.raw_head = raw_head

    def values(self, name):
        return [v for n, v in self.fields if n.lower() == name.lower()]

    def value(self, name):
        values = self.values(name)
        return ", ".join(values) if values else None

    @property
    def path(self):
        return self.target.split("?", 1)[0].split("#", 1)[0]


class ConnectionClosed(Exception):
    pass


class _Reader:
    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def _fill(self):
        piece = self.sock.recv(65536)
        if not piece:
            raise ConnectionClosed()
        self.buffer += piece

    def until(self, marker, limit=1 << 20):
        while marker not in self.buffer:
            if len(self.buffer) > limit:
                raise ConnectionClosed()
            self._fill()
        out, _, self.buffer = self.buffer.partition(marker)
        return out

    def exactly(self, size):
        while len(self.buffer) < size:
            self._fill()
        out, self.buffer = self.buffer[:size], self.buffer[size:]
        return out


def _read_request(reader):
    raw_head = reader.until(b"\r\n\r\n")
    lines = raw_head.split(b"\r\n")
    method, target, version = lines[0].decode("latin-1").split(" ", 2)
    fields = []
    for line in lines[1:]:
        name, _, value = line.decode("latin-1").partition(":")
        fields.append((name.strip(), value.strip()))
    body, trailers = b"", []
    names = {n.lower(): v for n, v in fields}
    if "chunked" in names.get("transfer-encoding", "").lower():
        while True:
            size = int(reader.until(b"\r\n").split(b";")[0], 16)
            if size == 0:
                break
            body += reader.exactly(size)
            reader.until(b"\r\n")
        while True:
            line = reader.until(b"\r\n")
            if not line:
                break
            name, _, value = line.decode("latin-1").partition(":")
            trailers.append((name.strip(), value.strip()))
    elif "content-length" in names:
        body = reader.exactly(int(names["content-length"]))
    return Request(method, target, version, fields, body, trailers, raw_head)


def response_head(status, fields):
    reason = {200: "OK", 206: "Partial Content", 404: "Not Found"}.get(status, "Whatever")
    lines = ["HTTP/1.1 %d %s" % (status, reason)] + ["%s: %s" % f for f in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


class Upstream:
    """Threaded raw HTTP/1.1 server; subclasses answer in `respond`.

    `respond(request, sock, index)` writes the answer (index counts requests on this
    connection from 0) and returns whether the connection stays open.
    """

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.requests = []
        self.lock = threading.Lock()
        self.stopping = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.port

    def received(self, predicate=lambda r: True):
        with self.lock:
            return [r for r in self.requests if predicate(r)]

    def forget(self):
        with self.lock:
            self.requests.clear()

    def stop(self):
        self.stopping = True
        self.listener.close()

    def _accept(self):
        while not self.stopping:
            try:
                sock, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(sock,), daemon=True).start()

    def _serve(self, sock):
        reader = _Reader(sock)
        index = 0
        try:
            while True:
                request = _read_request(reader)
                with self.lock:
                    self.requests.append(request)
                if not self.respond(request, sock, index):
                    break
                index += 1
        except (ConnectionClosed, OSError, ValueError):
            pass
        finally:
            sock.close()

    # Helpers for subclasses.

    @staticmethod
    def send(sock, status, body, fields=(), content_type="text/html; charset=utf-8"):
        head = [("Content-Type", content_type), ("Content-Length", str(len(body)))]
        sock.sendall(response_head(status, head + list(fields)) + body)
        return True

    @staticmethod
    def send_in_pieces(sock, status, body, cuts, fields=(), content_type="text/html"):
        """Writes the body in separate sends cut at the given body offsets, pausing
        between them so that the proxy's reads fall on those offsets."""
        head = [("Content-Type", content_type), ("Content-Length", str(len(body)))]
        sock.sendall(response_head(status, head + list(fields)))
        start = 0
        for cut in list(cuts) + [len(body)]:
            sock.sendall(body[start:cut])
            start = cut
            time.sleep(0.05)
        return True

    def respond(self, request, sock, index):
        return self.send(sock, 404, b"no such page")


def encode(body, coding):
    if coding == "gzip":
        return gzip.compress(body)
    if coding == "deflate":
        return zlib.compress(body)
    if coding == "br":
        return brotli.compress(body)
    if coding == "zstd":
        return zstandard.ZstdCompressor().compress(body)
    raise ValueError(coding)


def decode(body, codings):
    """Undoes a Content-Encoding list (applied first to last)."""
    for coding in reversed([c.strip().lower() for c in codings.split(",") if c.strip()]):
        if coding in ("gzip", "x-gzip"):
            body = gzip.decompress(body)
        elif coding == "deflate":
            body = zlib.decompress(body)
        elif coding == "br":
            body = brotli.decompress(body)
        elif coding == "zstd":
            body = zstandard.ZstdDecompressor().decompressobj().decompress(body)
        elif coding != "identity":
            raise ValueError("unknown coding " + coding)
    return body


def gzip_bomb(decoded_size, step=1 << 20):
    """A gzip stream of `decoded_size` zero bytes, made a block at a time."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
    block = bytes(step)
    parts = [compressor.compress(block) for _ in range(decoded_size // step)]
    parts.append(compressor.flush())
    return b"".join(parts)


class EncodingUpstream(Upstream):
    """Encodes its pages whatever the request offered.

    /<codings>/<page>.html: codings joined by "+" ("gzip", "gzip+br", "identity");
    "compress" and "badgzip" label undecodable bytes (a NUL first, then the plain page);
    /bomb.html is gigantic once decoded.
    """

    PAGES = {"deny.html": DENY_PAGE, "replace.html": REPLACE_PAGE, "pass.html": PASS_PAGE}
    bomb = None

    def respond(self, request, sock, index):
        parts = request.path.strip("/").split("/")
        if parts == ["bomb.html"]:
            if EncodingUpstream.bomb is None:
                EncodingUpstream.bomb = gzip_bomb(200 << 20)
            return self.send(sock, 200, EncodingUpstream.bomb, [("Content-Encoding", "gzip")])
        if len(parts) != 2 or parts[1] not in self.PAGES:
            return super().respond(request, sock, index)
        codings, page = parts[0].split("+"), self.PAGES[parts[1]]
        if codings == ["compress"] or codings == ["badgzip"]:
            label = "compress" if codings == ["compress"] else "gzip"
            magic = b"\x1f\x9d" if label == "compress" else b"\x1f\x8b\x08\x00"
            return self.send(sock, 200, magic + b"\x00\x00" + page, [("Content-Encoding", label)])
        body = page
        for coding in codings:
            if coding != "identity":
                body = encode(body, coding)
        fields = [] if codings == ["identity"] else [("Content-Encoding", ", ".join(codings))]
        return self.send(sock, 200, body, fields)


class RangeUpstream(Upstream):
    """Honours Range and If-Range as a static file server does, multipart included;
    /always-206/ answers 206 even when no Range was asked for."""

    ETAG = '"v1"'
    # "forbiddenword" spans bytes 16..28, so every range below cuts it.
    PAGE = b"<html><body><p>forbiddenword</p>" + filler(200) + b"</body></html>"

    def respond(self, request, sock, index):
        page, fields = self.PAGE, [("ETag", self.ETAG), ("Accept-Ranges", "bytes")]
        if request.path.startswith("/always-206/"):
            fields.append(("Content-Range", "bytes 0-%d/%d" % (len(page) - 1, len(page))))
            return self.send(sock, 206, page, fields)
        spec = request.value("Range")
        if_range = request.value("If-Range")
        if not spec or not spec.startswith("bytes=") or if_range not in (None, self.ETAG):
            return self.send(sock, 200, page, fields)
        ranges = []
        for piece in spec[len("bytes="):].split(","):
            first, _, last = piece.strip().partition("-")
            ranges.append((int(first), min(int(last), len(page) - 1)))
        total = len(page)
        if len(ranges) == 1:
            first, last = ranges[0]
            fields.append(("Content-Range", "bytes %d-%d/%d" % (first, last, total)))
            return self.send(sock, 206, page[first:last + 1], fields)
        body = b""
        for first, last in ranges:
            body += (b"--SEP\r\nContent-Type: text/html\r\nContent-Range: bytes %d-%d/%d\r\n\r\n"
                     % (first, last, total)) + page[first:last + 1] + b"\r\n"
        body += b"--SEP--\r\n"
        return self.send(sock, 206, body, fields, "multipart/byteranges; boundary=SEP")


class SeamUpstream(Upstream):
    """Bodies written in pieces cut at chosen offsets, streams that stay open, and a page
    that echoes the request's query far down."""

    def __init__(self, pages):
        super().__init__()
        self.pages = pages  # path -> (body, cuts)

    def respond(self, request, sock, index):
        if request.path == "/events.php":
            return self._event_stream(sock, [b"data: first event\n\n"])
        if request.path == "/events-deny.php":
            return self._event_stream(sock, [b"data: first event\n\n",
                                             b"data: a forbiddenword event\n\n"])
        if request.path == "/echo.html":
            # The query comes back escaped as the page had it, before a title the chunk
            # leaves open.
            query = request.target.partition("?")[2].replace("%20", " ").encode("latin-1")
            body = (HEAD + filler(100000) + b"<p>" + query + b"</p><title>" + query
                    + b" forbiddenword" + filler(1000) + TAIL)
            return self.send_in_pieces(sock, 200, body, [65536])
        if request.path in self.pages:
            body, cuts = self.pages[request.path]
            return self.send_in_pieces(sock, 200, body, cuts)
        return super().respond(request, sock, index)

    @staticmethod
    def _event_stream(sock, events):
        sock.sendall(response_head(200, [("Content-Type", "text/event-stream"),
                                         ("Cache-Control", "no-cache"), ("Connection", "close")]))
        try:
            for event in events:
                sock.sendall(event)
                time.sleep(0.3)
            time.sleep(10)
        except OSError:
            pass
        return False


class AnyMethodUpstream(Upstream):
    """Answers every method as if it were GET, whatever the path; records everything.

    Paths holding "deny" get a deny-word page; /hop-by-hop names a field of its own as
    hop-by-hop in Connection.
    """

    def respond(self, request, sock, index):
        if request.path == "/hop-by-hop.html":
            return self.send(sock, 200, PASS_PAGE,
                             [("Connection", "X-Secret"), ("X-Secret", "1")])
        return self.send(sock, 200, DENY_PAGE if "deny" in request.target else PASS_PAGE)


class ClosingUpstream(Upstream):
    """Answers the first request on a connection; any later one is read, counted and
    dropped unanswered, as when an idle close crosses a request on the wire."""

    def respond(self, request, sock, index):
        if index > 0:
            return False
        return self.send(sock, 200, PASS_PAGE)


class RawReply:
    """A response read off a raw socket until the peer closed."""

    def __init__(self, data, timed_out=False):
        self.data = data
        self.timed_out = timed_out  # the peer neither finished nor closed in time
        head, sep, rest = data.partition(b"\r\n\r\n")
        self.status = None
        self.fields = []
        self.body = rest
        self.complete = False
        if not sep:
            self.body = b""
            return
        lines = head.split(b"\r\n")
        parts = lines[0].split(b" ", 2)
        if len(parts) >= 2 and parts[1].isdigit():
            self.status = int(parts[1])
        for line in lines[1:]:
            name, _, value = line.decode("latin-1").partition(":")
            self.fields.append((name.strip(), value.strip()))
        if "chunked" in (self.value("Transfer-Encoding") or "").lower():
            self.body, self.complete = self._dechunk(rest)
        elif self.value("Content-Length") is not None:
            length = int(self.value("Content-Length"))
            self.body, self.complete = rest[:length], len(rest) >= length
        else:
            self.complete = True

    def value(self, name):
        values = [v for n, v in self.fields if n.lower() == name.lower()]
        return ", ".join(values) if values else None

    @staticmethod
    def _dechunk(data):
        body = b""
        while True:
            line, sep, data = data.partition(b"\r\n")
            if not sep:
                return body, False
            try:
                size = int(line.split(b";")[0], 16)
            except ValueError:
                return body, False
            if size == 0:
                return body, True
            body += data[:size]
            if len(data) < size + 2:
                return body, False
            data = data[size + 2:]

    def decoded(self):
        """The body with its Content-Encoding undone (the raw body when that fails)."""
        try:
            return decode(self.body, self.value("Content-Encoding") or "")
        except Exception:  # noqa: BLE001 - a body that does not decode is shown as sent
            return self.body


def exchange(port, request, timeout=10):
    """Sends raw request bytes and reads until the proxy closes (or the timeout)."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        chunks = []
        timed_out = False
        try:
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                chunks.append(piece)
        except socket.timeout:
            timed_out = True
        except ConnectionResetError:
            pass
        return RawReply(b"".join(chunks), timed_out)


def get(port, target, fields=(), method="GET", body=None, timeout=10):
    lines = ["%s %s HTTP/1.1" % (method, target)]
    names = {n.lower() for n, _ in fields}
    if "host" not in names:
        lines.append("Host: 127.0.0.1:%d" % port)
    lines += ["%s: %s" % f for f in fields]
    if body is not None and "transfer-encoding" not in names:
        lines.append("Content-Length: %d" % len(body))
    lines.append("Connection: close")
    data = ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + (body or b"")
    return exchange(port, data, timeout)
