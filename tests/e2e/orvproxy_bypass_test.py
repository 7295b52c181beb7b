"""orvproxy against an attacker: each way a deny-word page might slip past the screen, tried
with real clients against upstreams that misbehave on purpose. A failure names what got
through."""

import http.client
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import hostile_upstreams as hu  # noqa: E402
import orvproxy_harness as h  # noqa: E402

WORD = b"forbiddenword"
DENY_EVENT = "拦截".encode("gbk")
STARS = b"*******"


def screened(page):
    return page.replace(b"badword", STARS)


def edit_ini(config, **keys):
    """Sets keys of the config's GBK, CR LF settings file, leaving every other byte."""
    path = os.path.join(config, "OrvFilter.ini")
    with open(path, "rb") as f:
        text = f.read()
    for key, value in keys.items():
        text, count = re.subn(rb"(?m)^" + key.encode() + rb"=[^\r\n]*",
                              (key + "=" + value).encode("gbk"), text)
        assert count == 1, key
    with open(path, "wb") as f:
        f.write(text)


class ProxyCase(unittest.TestCase):
    """One upstream and one orvproxy for the whole class."""

    upstream_class = hu.AnyMethodUpstream
    extra = ()
    ini = {}

    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.config = h.make_config(cls.workdir)
        if cls.ini:
            edit_ini(cls.config, **cls.ini)
        cls.upstream = cls.make_upstream()
        try:
            cls.proxy = h.Proxy(cls.config, upstream=cls.upstream.url, extra=cls.extra)
        except Exception:
            cls.upstream.stop()
            shutil.rmtree(cls.workdir, ignore_errors=True)
            raise

    @classmethod
    def make_upstream(cls):
        return cls.upstream_class()

    @classmethod
    def tearDownClass(cls):
        try:
            cls.proxy.stop()
        finally:
            cls.upstream.stop()
            shutil.rmtree(cls.workdir, ignore_errors=True)

    def get(self, target, fields=(), **kw):
        return hu.get(self.proxy.port, target, fields, **kw)

    def assertNoWord(self, reply, what, word=WORD):
        for view, body in (("raw", reply.data), ("decoded", reply.decoded())):
            at = body.find(word)
            if at >= 0:
                self.fail("%s: %r got through at byte %d of the %s reply (status %s): ...%r..."
                          % (what, word, at, view, reply.status, body[max(0, at - 40):at + 40]))

    def assertBlockPage(self, reply, what):
        self.assertNoWord(reply, what)
        self.assertHas(hu.BLOCK_MARK, reply.decoded(),
                       "%s: no block page (status %s)" % (what, reply.status))

    def assertHas(self, needle, haystack, what):
        if needle not in haystack:
            self.fail("%s: %r not in the %d bytes received, which start %r"
                      % (what, needle, len(haystack), haystack[:160]))

    def assertLacks(self, needle, haystack, what):
        at = haystack.find(needle)
        if at >= 0:
            self.fail("%s: %r got through at byte %d: ...%r..."
                      % (what, needle, at, haystack[max(0, at - 60):at + 60]))

    def assertRefused(self, reply, status, what):
        self.assertEqual(reply.status, status, "%s: got %r" % (what, reply.data[:80]))


def coding_names(value):
    """The codings an Accept-Encoding value accepts (q=0 ones left out)."""
    names = []
    for item in value.split(","):
        name, *params = [p.strip() for p in item.split(";")]
        if any(re.fullmatch(r"q=0(\.0*)?", p) for p in params):
            continue
        if name:
            names.append(name.lower())
    return names


class CompressionTest(ProxyCase):
    """An upstream that compresses whatever it is offered, and what the client sees."""

    upstream_class = hu.EncodingUpstream
    BROWSER = ("Accept-Encoding", "gzip, deflate, br, zstd")

    def test_upstream_is_offered_identity_only(self):
        offers = [
            [("Accept-Encoding", "gzip, deflate, br, zstd")],
            [("Accept-Encoding", "deflate, gzip")],
            [("Accept-Encoding", "br;q=1.0, gzip;q=0.8, *;q=0.1")],
            [("Accept-Encoding", "gzip, " + ", ".join("x-coding-%d" % i for i in range(20)))],
            [("Accept-Encoding", "identity"), ("Accept-Encoding", "br"),
             ("Accept-Encoding", "gzip")],
        ]
        self.assertGreater(len(offers[3][0][1]), 200)
        for fields in offers:
            self.upstream.forget()
            reply = self.get("/identity/pass.html", fields)
            self.assertEqual(reply.status, 200, fields)
            seen = self.upstream.received()
            self.assertEqual(len(seen), 1, fields)
            for value in seen[0].values("Accept-Encoding"):
                accepted = [c for c in coding_names(value) if c != "identity"]
                self.assertEqual(accepted, [], "offer %r reached the upstream as %r"
                                 % ([v for _, v in fields], value))

    def test_compressed_deny_page_is_blocked(self):
        for coding in ("gzip", "deflate", "br", "zstd", "gzip+br"):
            for fields in ([self.BROWSER], []):
                what = "%s page, offer %r" % (coding, fields)
                self.assertBlockPage(self.get("/%s/deny.html" % coding, fields), what)

    def test_compressed_replace_page_is_overwritten(self):
        for coding in ("gzip", "deflate", "br", "zstd", "gzip+br"):
            reply = self.get("/%s/replace.html" % coding, [self.BROWSER])
            self.assertEqual(reply.status, 200, coding)
            self.assertEqual(reply.decoded(), screened(hu.REPLACE_PAGE),
                             "%s page: badword not overwritten" % coding)

    def test_undecodable_body_is_502(self):
        for coding in ("compress", "badgzip"):
            for fields in ([self.BROWSER], []):
                reply = self.get("/%s/deny.html" % coding, fields)
                self.assertNoWord(reply, coding)
                self.assertRefused(reply, 502, "%s body, offer %r" % (coding, fields))

    def test_client_gets_the_coding_it_offered(self):
        for offer, coding in (("gzip", "gzip"), ("br", "br"), ("gzip, br", None)):
            for page in ("identity/replace.html", "zstd/replace.html"):
                reply = self.get("/" + page, [("Accept-Encoding", offer)])
                what = "%s offered %r" % (page, offer)
                self.assertEqual(reply.status, 200, what)
                got = reply.value("Content-Encoding")
                if coding:
                    self.assertEqual(got, coding, what)
                else:
                    self.assertIn(got, ("gzip", "br"), what)
                self.assertIn("accept-encoding", (reply.value("Vary") or "").lower(), what)
                self.assertEqual(reply.decoded(), screened(hu.REPLACE_PAGE), what)
        reply = self.get("/gzip/replace.html")
        self.assertIsNone(reply.value("Content-Encoding"), "nothing offered, still encoded")
        self.assertEqual(reply.body, screened(hu.REPLACE_PAGE))

    @unittest.skipUnless(shutil.which("curl"), "curl is not installed")
    def test_browser_like_client(self):
        url = "http://127.0.0.1:%d" % self.proxy.port
        for coding in ("gzip", "br", "zstd", "gzip+br"):
            result = subprocess.run(
                ["curl", "-sS", "--compressed", "--max-time", "10", url + "/%s/deny.html" % coding,
                 url + "/%s/replace.html" % coding], capture_output=True, timeout=20)
            self.assertLacks(WORD, result.stdout, coding + " deny page got through")
            self.assertLacks(b"badword", result.stdout, coding + " replace word got through")
            self.assertHas(hu.BLOCK_MARK, result.stdout, coding)
            self.assertHas(screened(hu.REPLACE_PAGE), result.stdout, coding)


class CompressionLimitsTest(ProxyCase):
    upstream_class = hu.EncodingUpstream
    extra = ("--decoded-limit", "1048576", "--compress", "off")

    @classmethod
    def setUpClass(cls):
        # Made before the first request: compressing 200 MiB takes the upstream longer than the
        # proxy's short upstream timeout would wait for its answer.
        if hu.EncodingUpstream.bomb is None:
            hu.EncodingUpstream.bomb = hu.gzip_bomb(200 << 20)
        super().setUpClass()

    def test_decompression_bomb_is_cut_off(self):
        reply = self.get("/bomb.html", [("Accept-Encoding", "gzip")], timeout=15)
        if reply.status != 502:
            self.assertEqual(reply.status, 200)
            self.assertFalse(reply.complete, "a 200 MiB page was delivered whole")
            self.assertLess(len(reply.decoded()), 4 << 20)
        self.assertEqual(self.get("/identity/pass.html").status, 200, "proxy no longer serves")

    def test_compress_off_gives_identity(self):
        for page in ("identity/replace.html", "gzip/replace.html"):
            reply = self.get("/" + page, [("Accept-Encoding", "gzip, br")])
            self.assertIsNone(reply.value("Content-Encoding"), page)
            self.assertEqual(reply.body, screened(hu.REPLACE_PAGE), page)


class OneUrlTest(ProxyCase):
    """A request names one URL, and the screen and the upstream read it the same way."""

    def assertRefusedBeforeUpstream(self, target, fields, what):
        self.upstream.forget()
        reply = self.get(target, fields)
        self.assertRefused(reply, 400, what)
        self.assertNoWord(reply, what)
        self.assertEqual(self.upstream.received(), [], "%s reached the upstream" % what)

    def test_target_names_one_path(self):
        for target in ("/deny.html#.jpg", "/deny.html#/admin", "/blocked/#/../.."):
            self.assertRefusedBeforeUpstream(target, (), target)
        for target in ("//blocked/", "//blocked/a.html", "/BLOCKED/a.html", "/%62locked/"):
            self.upstream.forget()
            self.assertRefused(self.get(target), 403, target)
            self.assertEqual(self.upstream.received(), [], "%s reached the upstream" % target)

    def test_host_names_one_site(self):
        for host in ("x/admin", "name?", "a/b", "a@b"):
            for target in ("/deny.html", "/blocked/a.html"):
                self.assertRefusedBeforeUpstream(target, [("Host", host)],
                                                 "Host %r for %s" % (host, target))
        self.assertRefusedBeforeUpstream("/deny.html", [("Host", "a"), ("Host", "b/admin")],
                                         "two Host fields")
        port = self.proxy.port
        for host in ("127.0.0.1:080", "127.0.0.1.", "LOCALHOST.", "127.0.0.1.:%d" % port):
            self.assertBlockPage(self.get("/deny.html", [("Host", host)]), "Host %r" % host)
            self.assertRefused(self.get("/blocked/a.html", [("Host", host)]), 403, "Host %r" % host)


class RangeTest(ProxyCase):
    """An upstream that honours Range would hand out a deny page in harmless slices."""

    upstream_class = hu.RangeUpstream

    def test_ranges_are_screened_as_the_whole_page(self):
        for fields in ([("Range", "bytes=0-20")], [("Range", "bytes=0-10")],
                       [("Range", "bytes=5-20,30-40")], [("Range", "bytes=5-20,21-60")],
                       [("Range", "bytes=0-20"), ("If-Range", hu.RangeUpstream.ETAG)],
                       [("Range", "bytes=21-60"), ("If-Range", hu.RangeUpstream.ETAG)]):
            self.upstream.forget()
            reply = self.get("/page.html", fields)
            what = "%r" % fields
            self.assertLacks(b"forbid", reply.body, what)
            self.assertBlockPage(reply, what)
            for request in self.upstream.received():
                self.assertIsNone(request.value("Range"), "%s: the upstream got a Range" % what)

    def test_206_nobody_asked_for_is_502(self):
        reply = self.get("/always-206/page.html")
        self.assertNoWord(reply, "unasked 206")
        self.assertRefused(reply, 502, "unasked 206")


def page_with(word, offset, size=200000):
    """A page with `word` starting at body offset `offset`."""
    head = hu.HEAD + hu.filler(offset - len(hu.HEAD))
    return head + word + hu.filler(size - len(head) - len(word) - len(hu.TAIL)) + hu.TAIL


class SeamTest(ProxyCase):
    """Words across the seams of a streamed page, and streams that never end."""

    BUFFER = 65536
    extra = ("--buffer", str(BUFFER), "--upstream-timeout-ms", "15000")
    DENY = {
        "/seam-1.html": (page_with(WORD, BUFFER - 6), [BUFFER]),
        "/seam-2.html": (page_with(WORD, 2 * BUFFER - 6), [BUFFER, 2 * BUFFER]),
        "/seam-escaped.html": (page_with(b"%66orbiddenword", BUFFER - 2), [BUFFER]),
        "/seam-escaped-late.html": (page_with(b"%66orbiddenword", BUFFER - 9), [BUFFER]),
    }
    REPLACE = {
        "/replace-1.html": (page_with(b"badword", BUFFER - 3), [BUFFER]),
        "/replace-2.html": (page_with(b"badword", 2 * BUFFER - 1), [BUFFER, 2 * BUFFER]),
    }

    @classmethod
    def make_upstream(cls):
        return hu.SeamUpstream(dict(cls.DENY, **cls.REPLACE))

    def test_deny_word_across_a_seam_is_blocked(self):
        for path in self.DENY:
            reply = self.get(path)
            self.assertNoWord(reply, path)
            self.assertNoWord(reply, path, b"%66orbiddenword")
            if reply.complete:
                self.assertHas(hu.BLOCK_MARK, reply.body,
                               "%s: a whole page, and no block page" % path)
                self.assertLess(len(reply.body), len(self.DENY[path][0]),
                                "%s: the rest of the page followed the block page" % path)

    def test_replace_word_across_a_seam_is_replaced_exactly(self):
        for path, (page, _) in self.REPLACE.items():
            reply = self.get(path)
            self.assertEqual(reply.status, 200, path)
            self.assertTrue(reply.complete, path)
            self.assertEqual(len(reply.body), len(page), path)
            at = reply.body.find(b"badword")
            self.assertEqual(at, -1, "%s: badword got through at byte %d" % (path, at))
            expected = screened(page)
            differs = next((i for i, (a, b) in enumerate(zip(reply.body, expected)) if a != b),
                           None)
            self.assertIsNone(differs, "%s: bytes changed from offset %s" % (path, differs))

    def test_event_stream_is_passed_on_as_it_comes(self):
        with socket.create_connection(("127.0.0.1", self.proxy.port)) as s:
            s.sendall(b"GET /events.php HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n\r\n")
            received = b""
            deadline = time.monotonic() + 5
            while b"first event" not in received and time.monotonic() < deadline:
                s.settimeout(max(0.01, deadline - time.monotonic()))
                try:
                    piece = s.recv(65536)
                except socket.timeout:
                    break
                if not piece:
                    break
                received += piece
            self.assertHas(b"first event", received, "the first event was held back")

    def test_deny_event_ends_the_stream_with_the_block_page(self):
        reply = hu.exchange(self.proxy.port,
                            b"GET /events-deny.php HTTP/1.1\r\nHost: x\r\n\r\n", timeout=6)
        self.assertNoWord(reply, "event stream")
        self.assertHas(hu.BLOCK_MARK, reply.body, "event stream did not end in the block page")

    def test_block_page_carries_no_markup_of_the_request(self):
        reply = self.get("/echo.html?%3Cimg%20src=x%20onerror=alert(1)%3E")
        self.assertNoWord(reply, "echo page")
        for view in (reply.data, reply.decoded()):
            self.assertLacks(b"<img src=x onerror", view.lower(), "markup in the block page")


class AddressTest(ProxyCase):
    """Forwarding headers from an untrusted client change nothing."""

    ini = {"KeyBaiIp": "10.1.1.1"}

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # A second proxy whose black list holds the clients' own address.
        cls.black_config = h.make_config(tempfile.mkdtemp(dir=cls.workdir))
        edit_ini(cls.black_config, KeyHeiIp="10.9.8.7|127.0.0.1|192.0.2.1-192.0.2.255")
        try:
            cls.black = h.Proxy(cls.black_config, upstream=cls.upstream.url)
        except Exception:
            super().tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.black.stop()
        finally:
            super().tearDownClass()

    def test_forwarded_address_does_not_white_list(self):
        for fields in ([("Via", "1.1 x"), ("X-Forwarded-For", "10.1.1.1")],
                       [("X-Forwarded-For", "10.1.1.1")],
                       [("Via", "1.1 x"), ("X-Forwarded-For", "10.1.1.1, 10.1.1.1")]):
            self.assertBlockPage(self.get("/deny.html", fields), "%r" % fields)

    def test_forwarded_address_does_not_black_list(self):
        for fields in ([("Via", "1.1 x"), ("X-Forwarded-For", "10.9.8.7")],
                       [("X-Forwarded-For", "10.9.8.7")]):
            reply = self.get("/pass.html", fields)
            self.assertEqual(reply.status, 200, "%r blocked a client it does not name" % fields)

    def test_via_does_not_skip_the_ip_black_list(self):
        for fields in ([("Via", "1.1 x")], [("Via", "1.1 x"), ("X-Forwarded-For", "8.8.8.8")],
                       [("Via", "1.1 x"), ("X-Forwarded-For", "")]):
            reply = hu.get(self.black.port, "/pass.html", fields)
            self.assertRefused(reply, 403, "%r passed the IP black list" % fields)

    def test_upstream_learns_the_real_peer(self):
        for fields in ([], [("X-Forwarded-For", "203.0.113.5")],
                       [("Via", "1.1 x"), ("X-Forwarded-For", "203.0.113.5, 10.1.1.1")]):
            self.upstream.forget()
            self.assertEqual(self.get("/pass.html", fields).status, 200)
            (request,) = self.upstream.received()
            chain = [a.strip() for a in (request.value("X-Forwarded-For") or "").split(",")]
            self.assertEqual(chain[-1], "127.0.0.1", "%r: upstream saw %r" % (fields, chain))


class TrustedProxyTest(ProxyCase):
    extra = ("--trusted-proxy", "127.0.0.1/32")

    def test_trusted_peer_names_the_client(self):
        reply = self.get("/pass.html", [("X-Forwarded-For", "10.9.8.7")])
        self.assertRefused(reply, 403, "forwarded black-listed address")
        self.assertEqual(self.get("/pass.html", [("X-Forwarded-For", "203.0.113.5")]).status, 200)


@unittest.skipUnless(shutil.which("curl"), "curl is not installed")
class MethodTest(ProxyCase):
    """Every method's response is screened, and every body that goes upstream."""

    def test_response_to_any_method_is_screened(self):
        url = "http://127.0.0.1:%d/deny.html" % self.proxy.port
        for method in ("POST", "PUT", "PATCH", "DELETE"):
            result = subprocess.run(["curl", "-sS", "--max-time", "10", "-X", method, url],
                                    capture_output=True, timeout=20)
            self.assertLacks(WORD, result.stdout, method + " response got through")
            self.assertHas(hu.BLOCK_MARK, result.stdout, method)

    def test_bodies_of_every_method_are_screened(self):
        for method in ("POST", "PUT", "PATCH"):
            for body in (b"message=forbiddenword", b"message=%66orbiddenword",
                         "message=违禁词".encode("gbk")):
                self.upstream.forget()
                reply = self.get("/form.html", [("Content-Type",
                                                 "application/x-www-form-urlencoded")],
                                 method=method, body=body)
                what = "%s body %r" % (method, body)
                self.assertRefused(reply, 403, what)
                self.assertEqual(self.upstream.received(), [], what + " reached the upstream")


class RequestFramingTest(ProxyCase):
    """Request framing and hop-by-hop fields a client or an upstream could abuse."""

    def test_huge_chunk_extension_is_400(self):
        self.upstream.forget()
        extension = b";ext=" + b"e" * 100000
        reply = hu.exchange(self.proxy.port,
                            b"POST /form.html HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                            b"\r\n5" + extension + b"\r\nhello\r\n0\r\n\r\n")
        self.assertRefused(reply, 400, "100 KB chunk extension")
        self.assertEqual(self.upstream.received(), [])

    def test_trailer_never_becomes_a_header(self):
        self.upstream.forget()
        reply = hu.exchange(self.proxy.port,
                            b"POST /form.html HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n"
                            b"Connection: close\r\n\r\n"
                            b"5\r\nhello\r\n0\r\nX-Trailer-Evil: 1\r\n\r\n")
        self.assertIn(reply.status, (200, 400), reply.data[:80])
        for request in self.upstream.received():
            self.assertIsNone(request.value("X-Trailer-Evil"), "trailer sent as a header")
            self.assertLacks(b"X-Trailer-Evil", request.raw_head, "trailer in the head")

    def test_fields_named_in_connection_stay_with_the_upstream(self):
        reply = self.get("/hop-by-hop.html")
        self.assertEqual(reply.status, 200)
        self.assertIsNone(reply.value("X-Secret"), "X-Secret reached the client")


class RetryTest(ProxyCase):
    upstream_class = hu.ClosingUpstream

    def test_post_is_not_sent_twice(self):
        conn = self.proxy.connection()
        try:
            conn.request("GET", "/first.html")
            self.assertEqual(conn.getresponse().read(), hu.PASS_PAGE)
            conn.request("POST", "/form.html", body=b"message=hello",
                         headers={"Content-Type": "application/x-www-form-urlencoded"})
            try:
                conn.getresponse().read()
            except (http.client.HTTPException, OSError):
                pass
        finally:
            conn.close()
        posts = self.upstream.received(lambda r: r.method == "POST")
        self.assertEqual(len(posts), 1, "the upstream received the POST %d times" % len(posts))


class RootModeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.site = h.make_site(cls.workdir)
        cls.config = h.make_config(cls.workdir)
        cls.proxy = h.Proxy(cls.config, root=cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()
        shutil.rmtree(cls.workdir, ignore_errors=True)

    def test_redirect_stays_on_the_site(self):
        for target in ("//evil.example/%2e%2e", "/\\evil.example/..",
                       "//evil.example/%2e%2e/%2e%2e/folder", "/\\evil.example/../../folder",
                       "//evil.example/..%2f..%2ffolder"):
            reply = hu.exchange(self.proxy.port, b"GET " + target.encode() +
                                b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            location = reply.value("Location") or ""
            self.assertFalse(location.startswith(("//", "/\\")),
                             "%s redirected off the site to %r" % (target, location))

    def test_every_blocked_request_is_logged(self):
        config = h.make_config(tempfile.mkdtemp(dir=self.workdir))
        proxy = h.Proxy(config, root=self.site)
        try:
            for n in range(1, 141):
                response, _ = proxy.get("/deny-utf8.html?n=%d" % n)
                self.assertEqual(response.status, 401, n)
        finally:
            proxy.stop()
        log = b""
        for name in os.listdir(os.path.join(config, "log")):
            with open(os.path.join(config, "log", name), "rb") as f:
                log += f.read()
        lines = [line for line in log.split(b"\n") if DENY_EVENT in line]
        self.assertEqual(len(lines), 140, "events lost: %d of 140 written" % len(lines))


class ConnectionLimitTest(ProxyCase):
    extra = ("--max-connections", "2", "--client-timeout-ms", "10000")

    def test_connections_over_the_limit_are_refused(self):
        idle = [socket.create_connection(("127.0.0.1", self.proxy.port)) for _ in range(2)]
        try:
            time.sleep(0.2)
            reply = hu.exchange(self.proxy.port,
                                b"GET /pass.html HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
                                timeout=5)
            self.assertFalse(reply.timed_out, "third connection left hanging")
            self.assertIn(reply.status, (None, 503), "third connection served: %r"
                          % reply.data[:60])
            idle.pop().close()
            deadline = time.monotonic() + 5
            while True:
                reply = self.get("/pass.html", timeout=5)
                if reply.status == 200 or time.monotonic() > deadline:
                    break
                time.sleep(0.05)
            self.assertEqual(reply.status, 200, "not served after a connection closed")
        finally:
            for s in idle:
                s.close()


if __name__ == "__main__":
    unittest.main()
