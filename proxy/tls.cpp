#include "proxy/tls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ssl/error.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orv::proxy {

namespace asio = boost::asio;
namespace ssl = asio::ssl;

namespace {

// TLS 1.2 suites with forward secrecy and authenticated encryption; TLS 1.3 has only such.
constexpr const char* kTls12Ciphers =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

constexpr unsigned char kHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};

// Picks "http/1.1" from the client's offer. A client that offers only other protocols still
// gets a connection without ALPN rather than a failed handshake: it then speaks HTTP/1.1 or
// finds out from the reply.
int SelectHttp11(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* in,
                 unsigned inLength, void*) {
  unsigned char* selected = nullptr;
  if (SSL_select_next_proto(&selected, outLength, kHttp11, sizeof kHttp11, in, inLength) !=
      OPENSSL_NPN_NEGOTIATED)
    return SSL_TLSEXT_ERR_NOACK;
  *out = selected;
  return SSL_TLSEXT_ERR_OK;
}

bool LimitVersionsAndCiphers(SSL_CTX* context) {
  return SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) == 1 &&
         SSL_CTX_set_max_proto_version(context, TLS1_3_VERSION) == 1 &&
         SSL_CTX_set_cipher_list(context, kTls12Ciphers) == 1;
}

// OpenSSL says only "system lib" for a file it cannot open.
bool Readable(const std::string& file, std::string& reason) {
  std::FILE* opened = std::fopen(file.c_str(), "rb");
  if (opened == nullptr) {
    reason = std::strerror(errno);
    return false;
  }
  std::fclose(opened);
  return true;
}

std::string LastOpenSslError(const char* fallback) {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return fallback;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace

std::shared_ptr<ssl::context> MakeServerTlsContext(const std::string& certificateFile,
                                                   const std::string& keyFile, std::string& error) {
  auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
  SSL_CTX* native = context->native_handle();
  boost::system::error_code ec;
  // No compression (CRIME), no renegotiation (a client could make us redo handshakes).
  context->set_options(ssl::context::default_workarounds | ssl::context::no_compression |
                           ssl::context::single_dh_use,
                       ec);
  SSL_CTX_set_options(native, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
  if (!LimitVersionsAndCiphers(native)) {
    error = LastOpenSslError("cannot restrict the TLS versions and ciphers");
    return nullptr;
  }
  SSL_CTX_set_alpn_select_cb(native, SelectHttp11, nullptr);
  std::string reason;
  if (!Readable(certificateFile, reason)) {
    error = "cannot open certificate " + certificateFile + ": " + reason;
    return nullptr;
  }
  if (!Readable(keyFile, reason)) {
    error = "cannot open key " + keyFile + ": " + reason;
    return nullptr;
  }
  context->use_certificate_chain_file(certificateFile, ec);
  if (ec) {
    error = "cannot read certificate " + certificateFile + ": " + ec.message();
    return nullptr;
  }
  context->use_private_key_file(keyFile, ssl::context::pem, ec);
  const bool mismatched =
      ec && ec.category() == asio::error::get_ssl_category() &&
      ERR_GET_REASON(static_cast<unsigned long>(ec.value())) == X509_R_KEY_VALUES_MISMATCH;
  if (ec && !mismatched) {
    error = "cannot read key " + keyFile + ": " + ec.message();
    return nullptr;
  }
  if (mismatched || SSL_CTX_check_private_key(native) != 1) {
    ERR_clear_error();
    error = "key " + keyFile + " does not belong to certificate " + certificateFile;
    return nullptr;
  }
  return context;
}

std::shared_ptr<ssl::context> MakeUpstreamTlsContext(const std::string& caFile,
                                                     std::string& error) {
  auto context = std::make_shared<ssl::context>(ssl::context::tls_client);
  SSL_CTX* native = context->native_handle();
  boost::system::error_code ec;
  context->set_options(ssl::context::default_workarounds | ssl::context::no_compression, ec);
  SSL_CTX_set_options(native, SSL_OP_NO_RENEGOTIATION);
  if (!LimitVersionsAndCiphers(native)) {
    error = LastOpenSslError("cannot restrict the TLS versions and ciphers");
    return nullptr;
  }
  SSL_CTX_set_alpn_protos(native, kHttp11, sizeof kHttp11);
  if (caFile.empty())
    context->set_default_verify_paths(ec);
  else
    context->load_verify_file(caFile, ec);
  if (ec) {
    error = caFile.empty() ? "cannot open the system's CA store: " + ec.message()
                           : "cannot read CA file " + caFile + ": " + ec.message();
    return nullptr;
  }
  context->set_verify_mode(ssl::verify_peer, ec);
  return context;
}

bool ExpectUpstreamName(TlsStream& stream, const std::string& host) {
  SSL* native = stream.native_handle();
  X509_VERIFY_PARAM* param = SSL_get0_param(native);
  X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  boost::system::error_code ec;
  asio::ip::make_address(host, ec);
  if (!ec) return X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
  // SNI carries names only, never addresses.
  return SSL_set1_host(native, host.c_str()) == 1 &&
         SSL_set_tlsext_host_name(native, host.c_str()) == 1;
}

void CloseWithoutWaiting(TlsStream& stream) {
  // As if the peer's close_notify had come: the shutdown then only sends ours.
  SSL_set_shutdown(stream.native_handle(), SSL_RECEIVED_SHUTDOWN);
}

std::string HandshakeErrorText(TlsStream& stream, const boost::system::error_code& ec) {
  const long verdict = SSL_get_verify_result(stream.native_handle());
  if (verdict != X509_V_OK)
    return std::string("certificate not trusted: ") + X509_verify_cert_error_string(verdict);
  return ec.message();
}

}  // namespace orv::proxy
