// An upstream's response, whatever its bytes, read the way the proxy reads it: in pieces of
// any size, with the body taken in reads of at most a given size. The head and the body must
// come out exactly as Beast's own message parser reads the same bytes at once, and a read
// must never take more than it was allowed.
#include <algorithm>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "proxy/upstream_parser.h"
#include "tests/proxy/piecewise_read.h"

namespace {

namespace http = boost::beast::http;

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Outcome {
  bool ok = false;
  std::string body;
};

// Beast's message parser over all the bytes, the end of the connection after them.
Outcome ReadWhole(std::string_view wire, http::response_parser<http::string_body>& parser) {
  parser.eager(true);
  parser.body_limit(std::uint64_t{1} << 40);
  boost::beast::error_code ec;
  std::size_t used = 0;
  while (!parser.is_done()) {
    const std::size_t step =
        parser.put(boost::asio::buffer(wire.data() + used, wire.size() - used), ec);
    used += step;
    if (ec == http::error::need_more) {
      ec = {};
      if (used < wire.size() && step > 0) continue;
      if (!parser.got_some()) return {};
      parser.put_eof(ec);
      if (ec) return {};
      break;
    }
    if (ec) return {};
    if (step == 0) break;
  }
  if (!parser.is_done()) return {};
  return {true, parser.get().body()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::size_t limit = 1 + data[1] % 32;
  const std::string wire(reinterpret_cast<const char*>(data) + 2, size - 2);

  orv::proxy::UpstreamParser ours;
  const orv::proxy::testing::PiecewiseRead got =
      orv::proxy::testing::ReadInPieces(wire, piece, limit, ours);
  // Each reads one message and leaves what follows. Where both read one whole, they agree on
  // all of it. (Beast's own only after ours: its string body reserves whatever length a head
  // announces, and a head of these few bytes that announces more is never whole.)
  if (!got.ok) return 0;
  Check(got.largestRead <= limit);
  http::response_parser<http::string_body> beast;
  const Outcome want = ReadWhole(wire, beast);
  if (!want.ok) return 0;
  Check(got.body == want.body);
  const auto& message = beast.get();
  Check(ours.Head().status == message.result_int());
  Check(ours.Head().reason == std::string(message.reason()));
  // Fields in the order they came. Beast's container moves a repeated name up behind its
  // first occurrence, so ours are grouped the same way before they are compared.
  std::vector<orv::proxy::HeaderField> grouped = ours.Head().fields;
  std::vector<std::string> firstSeen;
  const auto rank = [&](const std::string& name) {
    for (std::size_t r = 0; r < firstSeen.size(); ++r)
      if (orv::proxy::EqualsNoCase(firstSeen[r], name)) return r;
    firstSeen.push_back(name);
    return firstSeen.size() - 1;
  };
  for (const orv::proxy::HeaderField& field : grouped) rank(field.name);
  std::stable_sort(grouped.begin(), grouped.end(),
                   [&](const auto& a, const auto& b) { return rank(a.name) < rank(b.name); });
  Check(grouped.size() == static_cast<std::size_t>(std::distance(message.begin(), message.end())));
  std::size_t i = 0;
  for (const auto& field : message) {
    Check(grouped[i].name == std::string(field.name_string()));
    Check(grouped[i].value == std::string(field.value()));
    ++i;
  }
  // The announced length is the body's, except where the status has none (a 304 names the
  // length of what it did not send).
  if (ours.Head().contentLength && !orv::proxy::StatusHasNoBody(ours.Head().status))
    Check(*ours.Head().contentLength == want.body.size());
  return 0;
}
