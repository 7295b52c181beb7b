// TLS on both sides of the proxy: the HTTPS listeners' certificate and settings, and the
// client side that speaks to an https:// upstream. Both run over Debian's OpenSSL through
// Asio's SSL streams; a connection's plain socket is always the stream's lowest layer, so the
// time limits and the shutdown code treat both kinds alike.
#pragma once

#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <memory>
#include <string>

#include "proxy/loop_stream.h"

namespace orv::proxy {

using TlsStream = boost::asio::ssl::stream<LoopSocket>;

inline LoopSocket& LowestLayer(LoopSocket& stream) {
  return stream;
}
inline LoopSocket& LowestLayer(TlsStream& stream) {
  return stream.next_layer();
}

// A server context for one certificate chain and its key (PEM): TLS 1.2 and 1.3 only,
// forward-secret AEAD ciphers only, ALPN "http/1.1". Null, with the reason in `error`, when
// a file cannot be read or the key does not belong to the certificate.
std::shared_ptr<boost::asio::ssl::context> MakeServerTlsContext(const std::string& certificateFile,
                                                                const std::string& keyFile,
                                                                std::string& error);

// The client context for an https:// upstream: the peer must present a certificate that
// chains to `caFile` (PEM), or to the system's store when it is empty. Null, with the reason
// in `error`, when the CA file cannot be used.
std::shared_ptr<boost::asio::ssl::context> MakeUpstreamTlsContext(const std::string& caFile,
                                                                  std::string& error);

// Asks a new upstream connection to check that the certificate names `host` (a name or an
// address) and sends the name as SNI. False when OpenSSL refuses the name.
bool ExpectUpstreamName(TlsStream& stream, const std::string& host);

// Before the stream's shutdown: send our close_notify without waiting for the peer's, which
// a client that is done with us may never send.
void CloseWithoutWaiting(TlsStream& stream);

// Why a handshake failed, for a one-line message: the certificate check's verdict when that
// was the cause, otherwise OpenSSL's reason.
std::string HandshakeErrorText(TlsStream& stream, const boost::system::error_code& ec);

}  // namespace orv::proxy
