"""orvproxy end to end: the demo config and site through real clients, in both modes."""

import http.client
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import orvproxy_harness as h  # noqa: E402

DENY_GBK = "违禁词".encode("gbk")


def site_file(site, name):
    with open(os.path.join(site, name), "rb") as f:
        return f.read()


class Outcomes:
    """The screening outcomes, the same in front of an upstream and serving a folder."""

    proxy = None
    site = None

    def test_pass_is_byte_for_byte(self):
        for name in ("pass-utf8.html", "pass-gbk.html", "style.css"):
            response, data = self.proxy.get("/" + name)
            self.assertEqual(response.status, 200, name)
            self.assertEqual(data, site_file(self.site, name), name)

    def test_replace_overwrites_in_place(self):
        for name, words in (("replace-utf8.html", [b"badword", "敏感词".encode()]),
                            ("replace-gbk.html", [b"badword", "敏感词".encode("gbk")])):
            original = site_file(self.site, name)
            response, data = self.proxy.get("/" + name)
            self.assertEqual(response.status, 200)
            self.assertEqual(len(data), len(original), name)
            for word in words:
                self.assertIn(word, original)
                self.assertNotIn(word, data, name)
            self.assertIn(b"*******", data)

    def test_record_and_free_pass_unchanged(self):
        for name in ("record-utf8.html", "record-gbk.html", "free-utf8.html", "free-gbk.html"):
            response, data = self.proxy.get("/" + name)
            self.assertEqual((response.status, data), (200, site_file(self.site, name)), name)

    def test_keyword_block_page_is_401_and_closes(self):
        for name in ("deny-utf8.html", "deny-gbk.html"):
            conn = self.proxy.connection()
            conn.request("GET", "/" + name)
            response = conn.getresponse()
            data = response.read()
            self.assertEqual(response.status, 401, name)
            self.assertEqual(response.getheader("Connection"), "close")
            self.assertEqual(int(response.getheader("Content-Length")), len(data))
            self.assertIn("text/html", response.getheader("Content-Type"))
            self.assertNotIn(b"HTTP/1.1 200 OK", data)  # the template's head became ours
            self.assertIn(b"f*o*r*b*i*d*d*e*n*w*o*r*d", data)
            conn.close()

    def test_url_black_list_sees_through_encodings(self):
        for path in ("/blocked/x.html", "/%62locked/x.html", "/a/../blocked/x.html",
                     "/ok/%2e%2e/blocked/x.html", "//blocked//x.html", "/./blocked/x.html?q=1"):
            response, data = self.proxy.get(path)
            self.assertEqual(response.status, 403, path)
            self.assertIn(b"<html", data, path)
        # Forms that servers read in more than one way are refused outright.
        for path in ("/blocked%2fx.html", "/x.asp;.jpg", "/blocked/#/../.."):
            response, _ = self.proxy.get(path)
            self.assertEqual(response.status, 400, path)

    def test_forwarded_address_from_an_untrusted_peer_is_not_believed(self):
        # 10.9.8.7 is black-listed; without --trusted-proxy the client is the socket's peer.
        for headers in ({"Via": "1.1 cache", "X-Forwarded-For": "10.9.8.7"},
                        {"X-Forwarded-For": "10.9.8.7"}):
            response, _ = self.proxy.get("/pass-utf8.html", headers=headers)
            self.assertEqual(response.status, 200)

    def test_post_with_deny_word_is_blocked(self):
        for body in (b"message=forbiddenword", "message=违禁词".encode("gbk"),
                     b"message=%E8%BF%9D%E7%A6%81%E8%AF%8D"):
            response, data = self.proxy.get(
                "/form.html", method="POST", body=body,
                headers={"Content-Type": "application/x-www-form-urlencoded"})
            self.assertEqual(response.status, 403, body)
            self.assertIn(b"<html", data)

    def test_safe_code_lets_a_deny_page_pass(self):
        response, data = self.proxy.get("/deny-utf8.html?orvsafe")
        self.assertEqual((response.status, data), (200, site_file(self.site, "deny-utf8.html")))

    def test_keep_alive_across_requests(self):
        conn = self.proxy.connection()
        sockets = set()
        for name in ("pass-utf8.html", "replace-gbk.html", "big-pass.html", "index.html",
                     "record-utf8.html", "big-late-replace.html"):
            conn.request("GET", "/" + name)
            response = conn.getresponse()
            data = response.read()
            self.assertEqual(response.status, 200, name)
            self.assertFalse(response.will_close, name)
            sockets.add(id(conn.sock))
            if name == "big-pass.html":
                self.assertEqual(data, site_file(self.site, name))
        self.assertEqual(len(sockets), 1)
        conn.close()

    def test_large_page_streams_chunked(self):
        response, data = self.proxy.get("/big-pass.html")
        self.assertEqual(response.getheader("Transfer-Encoding"), "chunked")
        self.assertEqual(data, site_file(self.site, "big-pass.html"))
        response, data = self.proxy.get("/big-late-replace.html")
        original = site_file(self.site, "big-late-replace.html")
        self.assertEqual(len(data), len(original))
        self.assertNotIn(b"badword", data)

    def test_block_page_in_a_later_chunk_ends_the_body(self):
        conn = self.proxy.connection()
        conn.request("GET", "/big-late-deny.html")
        response = conn.getresponse()
        data = response.read()  # http.client insists on the last chunk
        self.assertEqual(response.status, 200)  # the head had already gone out
        self.assertEqual(conn.sock.recv(1), b"")  # and the connection ends with the page
        self.assertNotIn(b"forbiddenword", data)
        self.assertIn(b"f*o*r*b*i*d*d*e*n*w*o*r*d", data)
        self.assertLess(len(data), len(site_file(self.site, "big-late-deny.html")) + 4000)
        conn.close()

    def test_head_request(self):
        response, data = self.proxy.get("/pass-gbk.html", method="HEAD")
        self.assertEqual(response.status, 200)
        self.assertEqual(data, b"")
        self.assertEqual(int(response.getheader("Content-Length")),
                         len(site_file(self.site, "pass-gbk.html")))

    def test_http10_client(self):
        reply = self.proxy.raw(b"GET /big-pass.html HTTP/1.0\r\n\r\n")
        head, _, body = reply.partition(b"\r\n\r\n")
        self.assertTrue(head.startswith(b"HTTP/1.1 200"))
        self.assertNotIn(b"chunked", head)
        self.assertEqual(body, site_file(self.site, "big-pass.html"))


class RootModeTest(Outcomes, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.config = h.make_config(cls.workdir)
        cls.site = h.make_site(cls.workdir)
        cls.proxy = h.Proxy(cls.config, root=cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()

    def test_startup_line(self):
        self.assertIn("settings from " + self.config, self.proxy.startup)
        self.assertIn("serving", self.proxy.startup)
        self.assertIn("filtering on", self.proxy.startup)

    def test_no_escape_from_the_folder(self):
        for path in (b"/../secret.txt", b"/%2e%2e/secret.txt", b"/..%5csecret.txt",
                     b"/escape.txt", b"/escape-dir/secret.txt", b"/nothing-here.html"):
            reply = self.proxy.raw(b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            # "\" (here encoded) is refused as a path that servers read in two ways.
            self.assertTrue(reply.startswith(b"HTTP/1.1 404") or reply.startswith(b"HTTP/1.1 400"),
                            path)
            self.assertNotIn(b"outside the site", reply)

    def test_folders(self):
        response, data = self.proxy.get("/folder/")
        self.assertEqual((response.status, data), (200, b"<html><body>folder index</body></html>\n"))
        response, _ = self.proxy.get("/folder")
        self.assertEqual(response.status, 301)
        self.assertEqual(response.getheader("Location"), "/folder/")
        response, data = self.proxy.get("/")
        self.assertEqual(response.status, 200)
        self.assertIn(b"Orvane", data)

    def test_content_types(self):
        for name, kind in (("index.html", "text/html"), ("style.css", "text/css")):
            response, _ = self.proxy.get("/" + name)
            self.assertEqual(response.getheader("Content-Type"), kind)

    def test_clean_post_to_a_file_is_405(self):
        response, _ = self.proxy.get("/form.html", method="POST", body=b"message=hello")
        self.assertEqual(response.status, 405)


class UpstreamModeTest(Outcomes, unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.config = h.make_config(cls.workdir)
        cls.site = h.make_site(cls.workdir)
        cls.upstream = h.Upstream(cls.site)
        cls.proxy = h.Proxy(cls.config, upstream=cls.upstream.url)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()
        cls.upstream.stop()

    def test_accept_encoding_is_blanked_upstream(self):
        # Padded so that the echo is large enough to be worth encoding.
        response, data = self.proxy.get("/echo-headers", headers={"Accept-Encoding": "gzip, deflate, br",
                                                                  "X-Pad": "p" * 400})
        self.assertEqual(response.status, 200)
        # The client's own offer still holds for the answer orvproxy sends back.
        self.assertEqual(response.getheader("Content-Encoding"), "br")
        data = subprocess.run(["brotli", "-d", "-c"], input=data, capture_output=True, check=True).stdout
        # Every coding is blanked in place, so the offer keeps its length and names none; the
        # upstream's parser drops the blanks of a field value.
        self.assertIn(b"('Accept-Encoding', '')", data)

    def test_clean_post_reaches_upstream(self):
        response, data = self.proxy.get("/form.html", method="POST", body=b"message=hello")
        self.assertEqual((response.status, data), (200, b"posted:message=hello"))

    def test_chunked_upstream_reply_is_screened(self):
        response, data = self.proxy.get("/chunked")
        self.assertEqual(response.status, 200)
        self.assertEqual(data, b"<html><body>******* in a chunked reply</body></html>")

    def test_upstream_replies_arriving_in_pieces_are_whole(self):
        response, data = self.proxy.get("/until-close")
        self.assertEqual(response.status, 200)
        self.assertEqual(data, b"<html><body>first ******* second third</body></html>")
        response, data = self.proxy.get("/chunked-split")
        self.assertEqual(response.status, 200)
        self.assertEqual(data, b"<html><body>*******</body></html>")

    def test_upstream_reset_before_the_head_went_out_is_502(self):
        response, _ = self.proxy.get("/reset-early")
        self.assertEqual(response.status, 502)

    def test_upstream_reset_mid_response_ends_the_response(self):
        conn = self.proxy.connection()
        conn.request("GET", "/reset-late")
        response = conn.getresponse()
        self.assertEqual(response.status, 200)
        with self.assertRaises(http.client.IncompleteRead):
            response.read()
        conn.close()
        response, _ = self.proxy.get("/pass-utf8.html")  # still serving
        self.assertEqual(response.status, 200)

    def test_upstream_closing_an_idle_connection_is_retried(self):
        conn = self.proxy.connection()
        for _ in range(3):
            conn.request("GET", "/close-after")
            response = conn.getresponse()
            self.assertEqual((response.status, response.read()), (200, b"closed after"))
        conn.close()

    def test_upstream_silence_is_504(self):
        response, _ = self.proxy.get("/silent")
        self.assertEqual(response.status, 504)

    def test_a_slow_upstream_is_no_slow_client(self):
        # The client's time limit is on reading from and writing to the client only: an
        # upstream slower than it, but within its own limit, is waited for.
        proxy = h.Proxy(self.config, upstream=self.upstream.url,
                        extra=("--client-timeout-ms", str(h.UPSTREAM_TIMEOUT_MS // 8)))
        try:
            response, data = proxy.get("/slow-but-in-time")
            self.assertEqual(response.status, 200)
            self.assertTrue(data.endswith(b"in time"), data[-40:])
        finally:
            proxy.stop()


@unittest.skipUnless(shutil.which("curl"), "curl is not installed")
class CurlTest(unittest.TestCase):
    """The outcomes as curl sees them; curl checks framing and reuses connections."""

    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.site = h.make_site(cls.workdir)
        cls.upstream = h.Upstream(cls.site)
        cls.proxy = h.Proxy(h.make_config(cls.workdir), upstream=cls.upstream.url)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()
        cls.upstream.stop()

    def curl(self, *args):
        result = subprocess.run(["curl", "-sS", "--max-time", "10"] + list(args),
                                capture_output=True, timeout=20)
        return result.returncode, result.stdout

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.proxy.port, path)

    def test_outcomes(self):
        expected = {"/pass-gbk.html": "200", "/replace-utf8.html": "200", "/deny-gbk.html": "401",
                    "/blocked/a.html": "403", "/big-late-deny.html": "200",
                    "/deny-gbk.html?orvsafe": "200"}
        for path, status in expected.items():
            code, out = self.curl("-o", os.devnull, "-w", "%{http_code}", self.url(path))
            self.assertEqual((code, out.decode()), (0, status), path)
        code, out = self.curl("--data", "message=forbiddenword", "-w", "%{http_code}",
                              "-o", os.devnull, self.url("/form.html"))
        self.assertEqual((code, out.decode()), (0, "403"))
        code, out = self.curl(self.url("/replace-gbk.html"))
        self.assertEqual(code, 0)
        self.assertNotIn("敏感词".encode("gbk"), out)

    def test_connection_reused_for_passing_pages(self):
        code, out = self.curl("-o", os.devnull, "-o", os.devnull, "-o", os.devnull,
                              "-w", "%{num_connects} ", self.url("/pass-utf8.html"),
                              self.url("/big-pass.html"), self.url("/record-gbk.html"))
        self.assertEqual((code, out.decode().split()), (0, ["1", "0", "0"]))

    def test_truncated_upstream_reply_is_an_error_for_curl(self):
        code, _ = self.curl("-o", os.devnull, self.url("/reset-late"))
        self.assertIn(code, (18, 56))  # partial file, or receive failure


class FailureTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.config = h.make_config(cls.workdir)
        cls.site = h.make_site(cls.workdir)
        cls.proxy = h.Proxy(cls.config, root=cls.site)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()

    def status_of(self, request):
        reply = self.proxy.raw(request)
        return int(reply.split(b" ", 2)[1]) if reply.startswith(b"HTTP/1.1 ") else None

    def test_malformed_requests_are_400(self):
        for request in (b"GARBAGE\r\n\r\n", b"GET /x HTTP/9.9\r\nHost: x\r\n\r\n",
                        b"GET nopath HTTP/1.1\r\nHost: x\r\n\r\n",
                        b"GET / HTTP/1.1\r\n\r\n",
                        b"GET /%00.html HTTP/1.1\r\nHost: x\r\n\r\n",
                        b"GET / HTTP/1.1\r\nHost: x\r\nBad Header\r\n\r\n",
                        b"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: zz\r\n\r\n"):
            self.assertEqual(self.status_of(request), 400, request)

    def test_oversized_heads(self):
        long_uri = b"/" + b"a" * 9000
        self.assertEqual(self.status_of(b"GET " + long_uri + b" HTTP/1.1\r\nHost: x\r\n\r\n"), 414)
        huge = b"X-Big: " + b"b" * 17000 + b"\r\n"
        self.assertEqual(self.status_of(b"GET / HTTP/1.1\r\nHost: x\r\n" + huge + b"\r\n"), 431)
        many = b"".join(b"X-H%d: %s\r\n" % (i, b"v" * 100) for i in range(200))
        self.assertEqual(self.status_of(b"GET / HTTP/1.1\r\nHost: x\r\n" + many + b"\r\n"), 431)
        endless = b"X-Big: " + b"b" * 40000 + b"\r\n"
        self.assertEqual(self.status_of(b"GET / HTTP/1.1\r\nHost: x\r\n" + endless + b"\r\n"), 431)

    def test_body_over_the_limit_is_413(self):
        request = b"POST /form.html HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n" % (9 << 20)
        self.assertEqual(self.status_of(request), 413)

    def test_idle_and_slow_clients_are_dropped(self):
        started = time.monotonic()
        self.assertEqual(self.proxy.raw(b""), b"")
        self.assertEqual(self.proxy.raw(b"GET /pass-utf8.html HTTP/1.1\r\nHost"), b"")
        self.assertLess(time.monotonic() - started, 8)

    def test_a_head_trickling_in_is_cut_off_at_the_time_out(self):
        # A byte every third of the time-out: each read is in time, the head as a whole is not.
        s = socket.create_connection(("127.0.0.1", self.proxy.port))
        started = time.monotonic()
        closed = False
        for byte in b"GET /pass-utf8.html HTTP/1.1\r\nHost: x\r\n\r\n":
            try:
                s.sendall(bytes([byte]))
            except OSError:
                closed = True
                break
            time.sleep(h.CLIENT_TIMEOUT_MS / 1000 / 3)
            if time.monotonic() - started > h.CLIENT_TIMEOUT_MS / 1000 * 4:
                break
        s.settimeout(5)
        try:
            closed = closed or s.recv(65536) == b""
        except OSError:
            closed = True
        s.close()
        self.assertTrue(closed)
        self.assertLess(time.monotonic() - started, h.CLIENT_TIMEOUT_MS / 1000 * 8)

    def test_client_vanishing_costs_only_its_connection(self):
        for _ in range(20):
            s = socket.create_connection(("127.0.0.1", self.proxy.port))
            s.sendall(b"GET /big-pass.html HTTP/1.1\r\nHost: x\r\n\r\n")
            s.close()
        s = socket.create_connection(("127.0.0.1", self.proxy.port))
        s.sendall(b"POST /form.html HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\nabc")
        s.close()
        response, data = self.proxy.get("/big-pass.html")
        self.assertEqual(response.status, 200)
        self.assertEqual(data, site_file(self.site, "big-pass.html"))

    def test_expect_continue(self):
        reply = self.proxy.raw(b"POST /form.html HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n"
                               b"Expect: 100-continue\r\nConnection: close\r\n\r\nhello")
        self.assertTrue(reply.startswith(b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 405"), reply[:80])

    def test_pipelined_requests(self):
        one = b"GET /pass-utf8.html HTTP/1.1\r\nHost: x\r\n\r\n"
        reply = self.proxy.raw(one + one + one.replace(b"\r\n\r\n", b"\r\nConnection: close\r\n\r\n"))
        self.assertEqual(reply.count(b"HTTP/1.1 200 OK"), 3)


class GatewayAndSignalTest(unittest.TestCase):
    def test_upstream_refused_is_502(self):
        workdir = h.new_workdir()
        proxy = h.Proxy(h.make_config(workdir), upstream="http://127.0.0.1:%d" % h.free_port())
        try:
            response, _ = proxy.get("/pass-utf8.html")
            self.assertEqual(response.status, 502)
        finally:
            self.assertEqual(proxy.stop(), 0)

    def test_sighup_reloads_and_sigterm_flushes_the_log(self):
        workdir = h.new_workdir()
        config = h.make_config(workdir)
        site = h.make_site(workdir)
        proxy = h.Proxy(config, root=site)
        try:
            response, _ = proxy.get("/deny-gbk.html")
            self.assertEqual(response.status, 401)
            ini = os.path.join(config, "OrvFilter.ini")
            with open(ini, "rb") as f:
                text = f.read()
            with open(ini, "wb") as f:
                f.write(text.replace(b"KeyIsSystem=1", b"KeyIsSystem=0"))
            proxy.process.send_signal(signal.SIGHUP)
            self.assertTrue(proxy.wait_for_line("settings reloaded, filtering off"))
            response, _ = proxy.get("/deny-gbk.html")
            self.assertEqual(response.status, 200)
        finally:
            self.assertEqual(proxy.stop(), 0)
        logs = os.listdir(os.path.join(config, "log"))
        self.assertEqual(len(logs), 1)
        with open(os.path.join(config, "log", logs[0]), "rb") as f:
            log = f.read()
        self.assertIn("拦截".encode("gbk"), log)
        self.assertIn(DENY_GBK, log)

    def test_sigterm_lets_a_request_in_flight_finish(self):
        workdir = h.new_workdir()
        site = h.make_site(workdir)
        upstream = h.Upstream(site)
        proxy = h.Proxy(h.make_config(workdir), upstream=upstream.url)
        try:
            idle = socket.create_connection(("127.0.0.1", proxy.port))
            conn = proxy.connection()
            conn.request("GET", "/pass-utf8.html")
            conn.getresponse().read()
            slow = socket.create_connection(("127.0.0.1", proxy.port))
            slow.sendall(b"GET /slow-but-in-time HTTP/1.1\r\nHost: x\r\n\r\n")
            time.sleep(0.05)
            proxy.process.send_signal(signal.SIGTERM)
            self.assertEqual(proxy.process.wait(timeout=10), 0)
            self.assertEqual(idle.recv(10), b"")
            reply = slow.recv(65536)
            self.assertTrue(reply.startswith(b"HTTP/1.1 200 OK"), reply[:40])
            self.assertTrue(reply.endswith(b"in time"), reply[-40:])
            for s in (idle, slow):
                s.close()
            conn.close()
        finally:
            proxy.stop()
            upstream.stop()


if __name__ == "__main__":
    unittest.main()
