"""orvproxy over TLS: HTTPS listeners beside plain ones, certificate reload, https:// upstreams.

Certificates and keys are made here with the openssl command in a temporary folder; none is
kept in the repository.
"""

import http.client
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import time
import unittest
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import orvproxy_harness as h  # noqa: E402


def make_certificate(folder, name, names=("DNS:localhost", "IP:127.0.0.1")):
    """A self-signed ECDSA certificate (its own CA) and its key; returns the two paths."""
    cert = os.path.join(folder, name + ".crt")
    key = os.path.join(folder, name + ".key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=" + name,
                    "-addext", "subjectAltName=" + ",".join(names)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def client_context(cafile, **settings):
    context = ssl.create_default_context(cafile=cafile)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)  # old protocols named on purpose
        for name, value in settings.items():
            setattr(context, name, value)
    return context


def served_certificate(port, timeout=10):
    """The certificate a new connection to the port is shown (DER), unverified."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as raw:
        with context.wrap_socket(raw, server_hostname="localhost") as tls:
            return tls.getpeercert(binary_form=True)


def der(cert_path):
    with open(cert_path) as f:
        return ssl.PEM_cert_to_DER_cert(f.read())


def tls_port(proxy):
    for part in proxy.startup.split(", "):
        if part.endswith("(TLS)"):
            return int(part.split(" ")[0].rsplit(":", 1)[1])
    raise AssertionError("no TLS listener in: " + proxy.startup)


class TlsUpstream(h.Upstream):
    """The test upstream behind a TLS listener with the given certificate."""

    def __init__(self, site, cert, key):
        super().__init__(site)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        self.server.socket = context.wrap_socket(self.server.socket, server_side=True)

    @property
    def url(self):
        return "https://127.0.0.1:%d" % self.port


class HttpsListenerTest(unittest.TestCase):
    """A root-mode proxy with a plain and a TLS listener in one process."""

    @classmethod
    def setUpClass(cls):
        cls.work = h.new_workdir()
        cls.site = h.make_site(cls.work)
        cls.cert, cls.key = make_certificate(cls.work, "first")
        config = h.make_config(cls.work)
        ini = os.path.join(config, "OrvFilter.ini")
        with open(ini, "rb") as f:
            settings = f.read()
        # The request URL names port 443 for an HTTPS request whose Host gives none.
        with open(ini, "wb") as f:
            f.write(settings.replace(b"KeyHeiUrl=", b"KeyHeiUrl=localhost:443/|"))
        cls.proxy = h.Proxy(config, root=cls.site,
                            extra=["--listen-tls", "127.0.0.1:0", "--tls-cert", cls.cert,
                                   "--tls-key", cls.key])
        cls.port = tls_port(cls.proxy)

    @classmethod
    def tearDownClass(cls):
        cls.proxy.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def https(self, cafile=None, **settings):
        return http.client.HTTPSConnection(
            "localhost", self.port, timeout=10,
            context=client_context(cafile or self.cert, **settings))

    def test_curl_handshake_alpn_and_keep_alive(self):
        url = "https://localhost:%d/pass-utf8.html" % self.port
        done = subprocess.run(["curl", "-sv", "--cacert", self.cert, "-o", "/dev/null",
                               "-o", "/dev/null", url, url],
                              capture_output=True, text=True, timeout=30)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("ALPN: server accepted http/1.1", done.stderr)
        self.assertIn("Re-using existing connection", done.stderr)

    def test_pass_and_block_over_one_connection(self):
        with open(os.path.join(self.site, "pass-utf8.html"), "rb") as f:
            page = f.read()
        conn = self.https()
        try:
            sock = None
            for _ in range(2):
                conn.request("GET", "/pass-utf8.html")
                passed = conn.getresponse()
                self.assertEqual((passed.status, passed.read()), (200, page))
                self.assertIs(conn.sock, sock or conn.sock, "a request needed a new connection")
                sock = conn.sock
            conn.request("GET", "/deny-utf8.html")
            blocked = conn.getresponse()
            body = blocked.read()
            self.assertEqual(blocked.status, 401)
            self.assertNotIn(b"forbiddenword", body)
            self.assertEqual(blocked.getheader("Connection"), "close")
        finally:
            conn.close()

    def test_python_handshake_picks_http11(self):
        context = client_context(self.cert)
        context.set_alpn_protocols(["h2", "http/1.1"])
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as raw:
            with context.wrap_socket(raw, server_hostname="localhost") as tls:
                self.assertEqual(tls.selected_alpn_protocol(), "http/1.1")
                self.assertEqual(tls.version(), "TLSv1.3")
        # A client that offers only other protocols is still served, without ALPN.
        context = client_context(self.cert)
        context.set_alpn_protocols(["h2"])
        conn = http.client.HTTPSConnection("localhost", self.port, timeout=10, context=context)
        conn.request("GET", "/pass-utf8.html")
        self.assertEqual(conn.getresponse().status, 200)
        conn.close()

    def test_old_protocols_and_weak_ciphers_refused(self):
        old = [getattr(ssl.TLSVersion, name) for name in ("TLSv1", "TLSv1_1")]  # deprecated names
        for settings in ({"minimum_version": old[0], "maximum_version": old[1]},
                         {"maximum_version": ssl.TLSVersion.TLSv1_2}):
            context = client_context(self.cert, **settings)
            context.set_ciphers("ECDHE-ECDSA-AES128-SHA:@SECLEVEL=0")  # CBC, no AEAD
            conn = http.client.HTTPSConnection("localhost", self.port, timeout=10,
                                               context=context)
            with self.assertRaises(ssl.SSLError, msg=str(settings)):
                conn.request("GET", "/pass-utf8.html")
            conn.close()
        # The same client with an AEAD suite and TLS 1.2 gets in: the refusals above were
        # the server's.
        context = client_context(self.cert, maximum_version=ssl.TLSVersion.TLSv1_2)
        context.set_ciphers("ECDHE-ECDSA-AES128-GCM-SHA256")
        conn = http.client.HTTPSConnection("localhost", self.port, timeout=10, context=context)
        conn.request("GET", "/pass-utf8.html")
        self.assertEqual(conn.getresponse().status, 200)
        self.assertEqual(conn.sock.version(), "TLSv1.2")
        conn.close()

    def test_host_without_port_means_443_over_tls(self):
        conn = self.https()
        conn.putrequest("GET", "/pass-utf8.html", skip_host=True)
        conn.putheader("Host", "localhost")
        conn.endheaders()
        response = conn.getresponse()
        response.read()
        conn.close()
        self.assertEqual(response.status, 403)
        plain = self.proxy.connection()
        plain.putrequest("GET", "/pass-utf8.html", skip_host=True)
        plain.putheader("Host", "localhost")
        plain.endheaders()
        self.assertEqual(plain.getresponse().status, 200)
        plain.close()

    def test_plain_listener_beside_tls(self):
        response, _ = self.proxy.get("/pass-utf8.html")
        self.assertEqual(response.status, 200)
        # Plain HTTP on the TLS port gets no page: the handshake fails and the connection ends.
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(b"GET /pass-utf8.html HTTP/1.1\r\nHost: x\r\n\r\n")
            reply = b""
            while True:
                piece = s.recv(65536)
                if not piece:
                    break
                reply += piece
        self.assertNotIn(b"HTTP/1.1 200", reply)

    def test_silent_client_is_dropped_during_handshake(self):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(b"\x16\x03\x01")  # the start of a hello, and then nothing
            self.assertEqual(s.recv(100), b"")  # closed by the proxy well before our timeout


class CertificateReloadTest(unittest.TestCase):
    def setUp(self):
        self.work = h.new_workdir()
        self.site = h.make_site(self.work)
        self.cert = os.path.join(self.work, "live.crt")
        self.key = os.path.join(self.work, "live.key")
        self.first = make_certificate(self.work, "first")
        self.second = make_certificate(self.work, "second")
        self.install(self.first)
        self.proxy = h.Proxy(h.make_config(self.work), root=self.site,
                             extra=["--listen-tls", "127.0.0.1:0", "--tls-cert", self.cert,
                                    "--tls-key", self.key])
        self.port = tls_port(self.proxy)

    def tearDown(self):
        self.proxy.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    def install(self, pair):
        shutil.copyfile(pair[0], self.cert)
        shutil.copyfile(pair[1], self.key)

    def reload(self, expected_line):
        before = len(self.proxy.lines)
        self.proxy.process.send_signal(signal.SIGHUP)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if any(expected_line in line for line in self.proxy.lines[before:]):
                return
            time.sleep(0.02)
        self.fail("no %r after SIGHUP: %s" % (expected_line, self.proxy.lines[before:]))

    def test_new_pair_served_to_new_connections_only(self):
        old = http.client.HTTPSConnection("localhost", self.port, timeout=10,
                                          context=client_context(self.first[0]))
        old.request("GET", "/pass-utf8.html")
        first = old.getresponse()
        first.read()
        self.assertEqual(first.status, 200)
        self.install(self.second)
        self.reload("certificate reloaded")
        self.assertEqual(served_certificate(self.port), der(self.second[0]))
        # The connection made before the reload goes on.
        old.request("GET", "/pass-utf8.html")
        self.assertEqual(old.getresponse().status, 200)
        old.close()

    def test_bad_pairs_refused_old_one_kept(self):
        with open(os.path.join(self.work, "garbage"), "w") as f:
            f.write("not a certificate\n")
        for cert, key, reason in ((self.second[0], self.first[1], "does not belong"),
                                  (os.path.join(self.work, "garbage"), self.first[1], "certificate"),
                                  (self.first[0], os.path.join(self.work, "missing.key"), "key")):
            shutil.copyfile(cert, self.cert)
            if os.path.exists(key):
                shutil.copyfile(key, self.key)
            else:
                os.remove(self.key)
            self.reload("still serving the certificate read before")
            self.assertTrue(any(reason in line for line in self.proxy.lines), reason)
            self.assertEqual(served_certificate(self.port), der(self.first[0]))
            self.install(self.first)


class HttpsUpstreamTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = h.new_workdir()
        cls.site = h.make_site(cls.work)
        cls.config = h.make_config(cls.work)
        cls.cert, key = make_certificate(cls.work, "origin")
        cls.upstream = TlsUpstream(cls.site, cls.cert, key)
        other, other_key = make_certificate(cls.work, "elsewhere", names=("DNS:elsewhere.test",))
        cls.misnamed = TlsUpstream(cls.site, other, other_key)
        cls.other_ca = other

    @classmethod
    def tearDownClass(cls):
        cls.upstream.stop()
        cls.misnamed.stop()
        shutil.rmtree(cls.work, ignore_errors=True)

    def run_proxy(self, upstream, *extra):
        proxy = h.Proxy(self.config, upstream=upstream, extra=list(extra))
        self.addCleanup(proxy.stop)
        return proxy

    def test_pinned_ca_passes_and_screens(self):
        proxy = self.run_proxy(self.upstream.url, "--upstream-ca", self.cert)
        conn = proxy.connection()
        conn.request("GET", "/pass-utf8.html")
        response = conn.getresponse()
        with open(os.path.join(self.site, "pass-utf8.html"), "rb") as f:
            self.assertEqual((response.status, response.read()), (200, f.read()))
        conn.request("GET", "/replace-utf8.html")  # a kept TLS connection to the origin
        replaced = conn.getresponse().read()
        self.assertNotIn(b"badword", replaced)
        conn.close()
        response, _ = proxy.get("/deny-utf8.html")
        self.assertEqual(response.status, 401)

    def test_unverified_certificates_get_502(self):
        cases = (
            # Not in the system's store.
            (self.upstream.url, ()),
            # Trusted, but made out to another name.
            ("https://127.0.0.1:%d" % self.misnamed.port, ("--upstream-ca", self.other_ca)),
            # A CA that did not sign it.
            (self.upstream.url, ("--upstream-ca", self.other_ca)),
        )
        for url, extra in cases:
            proxy = self.run_proxy(url, *extra)
            response, _ = proxy.get("/pass-utf8.html")
            self.assertEqual(response.status, 502, (url, extra))
            self.assertTrue(proxy.wait_for_line("TLS to upstream 127.0.0.1"), proxy.lines)
            self.assertTrue(any("certificate" in line for line in proxy.lines), proxy.lines)

    def test_plain_upstream_behind_https_url_gets_502(self):
        plain = h.Upstream(self.site)
        self.addCleanup(plain.stop)
        proxy = self.run_proxy("https://127.0.0.1:%d" % plain.port, "--upstream-ca", self.cert)
        response, _ = proxy.get("/pass-utf8.html")
        self.assertEqual(response.status, 502)


if __name__ == "__main__":
    unittest.main()
