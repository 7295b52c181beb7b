"""orvproxy --metrics end to end: the counters a Prometheus scraper reads move as requests pass,
as the upstream fails in each of its ways, and as the settings are reloaded; the endpoint
answers only /metrics, and only on its own address."""

import http.client
import http.server
import os
import re
import shutil
import signal
import socket
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import orvproxy_harness as h  # noqa: E402

SAMPLE = re.compile(r'^([a-zA-Z_:][a-zA-Z0-9_:]*(?:\{[^}]*\})?) (\S+)$')


def parse(text):
    """The samples of an exposition by name and labels; comments skipped."""
    samples = {}
    for line in text.splitlines():
        if line.startswith("#") or not line:
            continue
        match = SAMPLE.match(line)
        if not match:
            raise AssertionError("not a sample line: %r" % line)
        samples[match.group(1)] = float(match.group(2))
    return samples


def key(name, **labels):
    if not labels:
        return name
    return name + "{" + ",".join('%s="%s"' % item for item in labels.items()) + "}"


class MetricsUpstreamHandler(h.UpstreamHandler):
    """The harness's upstream, and one path whose answer is not HTTP at all."""

    def do_GET(self):
        if self.path == "/not-http":
            self.wfile.write(b"SPLAT 200 whatever\r\n\r\n")
            self.close_connection = True
            return None
        return super().do_GET()


class MetricsUpstream(h.Upstream):
    def __init__(self, site):  # noqa: super().__init__ would start the harness's handler
        handler = lambda *a, **k: MetricsUpstreamHandler(*a, directory=site, **k)  # noqa: E731
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()


def metrics_port(proxy):
    match = re.search(r"metrics on 127\.0\.0\.1:(\d+)", proxy.startup)
    if not match:
        raise AssertionError("no metrics address in the startup line: " + proxy.startup)
    return int(match.group(1))


class MetricsCase(unittest.TestCase):
    """One upstream and one orvproxy with --metrics for the whole class."""

    @classmethod
    def setUpClass(cls):
        cls.workdir = h.new_workdir()
        cls.config = h.make_config(cls.workdir)
        cls.site = h.make_site(cls.workdir)
        cls.upstream = MetricsUpstream(cls.site)
        try:
            cls.proxy = h.Proxy(cls.config, upstream=cls.upstream.url,
                                extra=["--metrics", "127.0.0.1:0",
                                       "--trusted-proxy", "127.0.0.1"])
            cls.metrics_port = metrics_port(cls.proxy)
        except Exception:
            cls.upstream.stop()
            shutil.rmtree(cls.workdir, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        try:
            cls.proxy.stop()
        finally:
            cls.upstream.stop()
            shutil.rmtree(cls.workdir, ignore_errors=True)

    def fetch(self, method="GET", path="/metrics", headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.metrics_port, timeout=10)
        try:
            conn.request(method, path, headers=headers or {})
            response = conn.getresponse()
            return response, response.read()
        finally:
            conn.close()

    def scrape(self):
        response, data = self.fetch()
        self.assertEqual(response.status, 200)
        return parse(data.decode("utf-8"))

    def reload(self, line):
        """SIGHUP, then waits for a new stderr line that contains `line`."""
        seen = len(self.proxy.lines)
        self.proxy.process.send_signal(signal.SIGHUP)
        deadline = time.monotonic() + 10
        while not any(line in text for text in self.proxy.lines[seen:]):
            self.assertLess(time.monotonic(), deadline, "no %r after SIGHUP" % line)
            time.sleep(0.02)

    def wait_for(self, before, moved, timeout=10):
        """Scrapes until each key has moved by at least its amount since `before`. A response
        is counted once its last byte is written, which the client may see a moment earlier."""
        deadline = time.monotonic() + timeout
        while True:
            now = self.scrape()
            if all(now.get(k, 0) - before.get(k, 0) >= n for k, n in moved.items()):
                return now
            if time.monotonic() > deadline:
                self.fail("counters did not move: %s" % {
                    k: now.get(k, 0) - before.get(k, 0) for k in moved})
            time.sleep(0.02)


class EndpointTest(MetricsCase):
    def test_scrape_format_and_methods(self):
        response, data = self.fetch()
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Type"),
                         "text/plain; version=0.0.4; charset=utf-8")
        text = data.decode("utf-8")
        self.assertIn("# TYPE orvproxy_requests_total counter\n", text)
        self.assertIn("# TYPE orvproxy_request_duration_seconds histogram\n", text)
        samples = parse(text)
        self.assertGreater(samples["orvproxy_start_time_seconds"], 1.5e9)
        self.assertLessEqual(samples["orvproxy_start_time_seconds"], time.time())

        response, data = self.fetch("HEAD")
        self.assertEqual((response.status, data), (200, b""))
        self.assertGreater(int(response.getheader("Content-Length")), 0)

        for method, path in (("GET", "/"), ("GET", "/metrics/x"), ("GET", "/pass-utf8.html"),
                             ("POST", "/metrics"), ("DELETE", "/metrics")):
            response, data = self.fetch(method, path)
            self.assertEqual(response.status, 404, (method, path))
            self.assertNotIn(b"orvproxy_", data, (method, path))

    def test_keep_alive_scrapes_and_bounded_heads(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.metrics_port, timeout=10)
        try:
            for _ in range(3):
                conn.request("GET", "/metrics")
                response = conn.getresponse()
                self.assertEqual(response.status, 200)
                self.assertIn(b"orvproxy_requests_total", response.read())
        finally:
            conn.close()
        with socket.create_connection(("127.0.0.1", self.metrics_port), timeout=10) as s:
            s.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\nX-Big: " + b"a" * 20000 + b"\r\n\r\n")
            reply = s.recv(65536)
        self.assertTrue(reply.startswith(b"HTTP/1.1 431 "), reply[:60])
        with socket.create_connection(("127.0.0.1", self.metrics_port), timeout=10) as s:
            s.sendall(b"NOT HTTP AT ALL\r\n\r\n")
            self.assertTrue(s.recv(65536).startswith(b"HTTP/1.1 400 "))
        # A scraper that never finishes its head is closed at the time limit.
        with socket.create_connection(("127.0.0.1", self.metrics_port), timeout=10) as s:
            s.sendall(b"GET /metrics HTTP/1.1\r\n")
            self.assertEqual(s.recv(65536), b"")

    def test_counters_are_not_served_on_the_proxy_port(self):
        response, data = self.proxy.get("/metrics")
        self.assertEqual(response.status, 404)  # the upstream's answer: it has no such file
        self.assertNotIn(b"orvproxy_requests_total", data)


class CountersTest(MetricsCase):
    def test_requests_responses_and_latency(self):
        before = self.scrape()
        for _ in range(3):
            response, _ = self.proxy.get("/pass-utf8.html")
            self.assertEqual(response.status, 200)
        response, _ = self.proxy.get("/nothing-here.html")
        self.assertEqual(response.status, 404)
        response, _ = self.proxy.get("/blocked%2fx.html")  # refused by the proxy itself
        self.assertEqual(response.status, 400)
        after = self.wait_for(before, {
            "orvproxy_requests_total": 5,
            key("orvproxy_responses_total", **{"class": "2xx"}): 3,
            key("orvproxy_responses_total", **{"class": "4xx"}): 2,
            "orvproxy_request_duration_seconds_count": 5})
        self.assertGreater(after["orvproxy_request_duration_seconds_sum"],
                           before["orvproxy_request_duration_seconds_sum"])
        self.assertEqual(after[key("orvproxy_request_duration_seconds_bucket", le="+Inf")],
                         after["orvproxy_request_duration_seconds_count"])
        # Scrapes are the administrator's, not the site's: they are not requests.
        again = self.scrape()
        self.assertEqual(again["orvproxy_requests_total"], after["orvproxy_requests_total"])

    def test_open_connections(self):
        before = self.scrape()["orvproxy_open_connections"]
        conn = self.proxy.connection()
        conn.request("GET", "/pass-utf8.html")
        conn.getresponse().read()
        try:
            self.assertGreaterEqual(self.scrape()["orvproxy_open_connections"], before + 1)
        finally:
            conn.close()
        deadline = time.monotonic() + 10
        while self.scrape()["orvproxy_open_connections"] > before:
            self.assertLess(time.monotonic(), deadline, "the closed connection is still counted")
            time.sleep(0.02)

    def test_upstream_failures_by_kind(self):
        cases = (("/reset-early", 502, "closed"), ("/not-http", 502, "bad_response"),
                 ("/silent", 504, "timeout"))
        for path, status, kind in cases:
            before = self.scrape()
            response, _ = self.proxy.get(path)
            self.assertEqual(response.status, status, path)
            after = self.wait_for(before, {
                key("orvproxy_upstream_errors_total", kind=kind): 1,
                key("orvproxy_responses_total", **{"class": "5xx"}): 1})
            for other in ("connect", "timeout", "closed", "bad_response", "tls"):
                if other != kind:
                    name = key("orvproxy_upstream_errors_total", kind=other)
                    self.assertEqual(after[name], before[name], (path, other))
            if kind == "timeout":
                # Timed from the request to the 504's last byte: past the upstream's time limit.
                inf = key("orvproxy_request_duration_seconds_bucket", le="+Inf")
                fast = key("orvproxy_request_duration_seconds_bucket", le="0.25")
                self.assertEqual(after[inf] - before[inf], 1)
                self.assertEqual(after[fast] - before[fast], 0)

    def test_reload_is_counted(self):
        before = self.scrape()
        self.reload("settings reloaded")
        after = self.wait_for(before, {key("orvproxy_reloads_total", outcome="ok"): 1})
        name = key("orvproxy_reloads_total", outcome="failed")
        self.assertEqual(after[name], before[name])

    def test_screen_outcomes(self):
        with open(os.path.join(self.site, "replace-utf8.html"), "rb") as page:
            replace_page = page.read()
        # The demo's replace list holds these three.
        replaced_words = sum(replace_page.count(word.encode()) for word in ("badword", "敏感词", "坏蛋"))
        form = {"Content-Type": "application/x-www-form-urlencoded"}
        steps = (
            (("GET", "/blocked/x.html", None, {}), {key("orvproxy_blocks_total", cause="url"): 1}),
            (("GET", "/pass-utf8.html", None, {"X-Forwarded-For": "10.9.8.7"}),
             {key("orvproxy_blocks_total", cause="ip"): 1}),
            (("GET", "/deny-utf8.html", None, {}),
             {key("orvproxy_blocks_total", cause="keyword"): 1}),
            (("POST", "/form.html", b"message=forbiddenword", form),
             {key("orvproxy_blocks_total", cause="body"): 1}),
            (("GET", "/replace-utf8.html", None, {}),
             {"orvproxy_replaced_chunks_total": 1, "orvproxy_replaced_words_total": replaced_words}),
            # A recorded page goes out unchanged: a record and a pass.
            (("GET", "/record-utf8.html", None, {}),
             {"orvproxy_records_total": 1, key("orvproxy_passes_total", reason="screened"): 1}),
            (("GET", "/deny-utf8.html?orvsafe", None, {}),
             {key("orvproxy_passes_total", reason="safe_code"): 1}),
            (("GET", "/admin/x.html", None, {}),
             {key("orvproxy_passes_total", reason="white_list"): 1}),
            (("GET", "/style.css", None, {}),
             {key("orvproxy_passes_total", reason="unmonitored_type"): 1}),
            (("GET", "/pass-utf8.html", None, {}),
             {key("orvproxy_passes_total", reason="screened"): 1}),
        )
        outcomes = [k for k in self.scrape() if k.startswith((
            "orvproxy_blocks_total", "orvproxy_replaced_", "orvproxy_records_total",
            "orvproxy_passes_total"))]
        for (method, path, body, headers), moved in steps:
            before = self.scrape()
            self.proxy.get(path, method=method, body=body, headers=headers)
            after = self.wait_for(before, moved)
            for name in outcomes:  # exactly these moved, by exactly as much
                self.assertEqual(after[name] - before[name], moved.get(name, 0), (path, name))

        # Filtering switched off: everything passes for that reason.
        ini = os.path.join(self.config, "OrvFilter.ini")
        text = open(ini, "rb").read()
        try:
            with open(ini, "wb") as f:
                f.write(text.replace(b"KeyIsSystem=1", b"KeyIsSystem=0"))
            self.reload("filtering off")
            before = self.scrape()
            self.proxy.get("/deny-utf8.html")
            self.wait_for(before, {key("orvproxy_passes_total", reason="switched_off"): 1})
        finally:
            with open(ini, "wb") as f:
                f.write(text)
            self.reload("filtering on")


class UnreachableUpstreamTest(unittest.TestCase):
    def test_connect_failure_is_counted(self):
        workdir = h.new_workdir()
        proxy = h.Proxy(h.make_config(workdir), upstream="http://127.0.0.1:%d" % h.free_port(),
                        extra=["--metrics", "127.0.0.1:0"])
        try:
            response, _ = proxy.get("/pass-utf8.html")
            self.assertEqual(response.status, 502)
            conn = http.client.HTTPConnection("127.0.0.1", metrics_port(proxy), timeout=10)
            deadline = time.monotonic() + 10
            while True:
                conn.request("GET", "/metrics")
                samples = parse(conn.getresponse().read().decode("utf-8"))
                if samples[key("orvproxy_upstream_errors_total", kind="connect")] == 1:
                    break
                self.assertLess(time.monotonic(), deadline, samples)
                time.sleep(0.02)
            conn.close()
        finally:
            self.assertEqual(proxy.stop(), 0)
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    unittest.main()
