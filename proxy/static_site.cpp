#include "proxy/static_site.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/ascii.h"

namespace orv::proxy {

namespace fs = std::filesystem;

StaticSite::StaticSite(const fs::path& root) {
  std::error_code ec;
  fs::path canonical = fs::canonical(root, ec);
  if (!ec && fs::is_directory(canonical, ec) && !ec) root_ = canonical;
}

bool StaticSite::Inside(const fs::path& canonical) const {
  // Component-wise, so that "/srv/site2" is not taken to be inside "/srv/site".
  auto [rootEnd, pathIt] =
      std::mismatch(root_.begin(), root_.end(), canonical.begin(), canonical.end());
  return rootEnd == root_.end();
}

SiteLookup StaticSite::Lookup(std::string_view decodedPath, std::string_view rawPath) const {
  SiteLookup result;
  if (!Valid() || decodedPath.empty() || decodedPath.front() != '/' ||
      decodedPath.find('\0') != std::string_view::npos)
    return result;

  std::error_code ec;
  fs::path wanted = root_ / fs::path(decodedPath.substr(1));
  // canonical() resolves every symbolic link and "..", so the test below sees where the path
  // really leads; a path that does not exist fails here and is simply not found.
  fs::path target = fs::canonical(wanted, ec);
  if (ec || !Inside(target)) return result;

  if (fs::is_directory(target, ec)) {
    if (decodedPath.back() != '/') {
      result.kind = SiteLookup::Kind::kRedirect;
      // Exactly one "/" first: "//host/..." or "/\host/..." would send the browser to
      // another site.
      std::string_view rest = rawPath;
      while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) rest.remove_prefix(1);
      result.location.reserve(rest.size() + 2);
      result.location += '/';
      result.location.append(rest.begin(), rest.end());
      result.location += '/';
      return result;
    }
    target = fs::canonical(target / "index.html", ec);
    if (ec || !Inside(target)) return result;
  }
  if (!fs::is_regular_file(target, ec) || ec) return result;
  result.kind = SiteLookup::Kind::kFile;
  result.file = std::move(target);
  return result;
}

std::string_view ContentTypeFor(const fs::path& file) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 22> kTypes = {{
      {".html", "text/html"},        {".htm", "text/html"},       {".shtml", "text/html"},
      {".asp", "text/html"},         {".aspx", "text/html"},      {".php", "text/html"},
      {".txt", "text/plain"},        {".css", "text/css"},        {".js", "application/javascript"},
      {".json", "application/json"}, {".xml", "application/xml"}, {".svg", "image/svg+xml"},
      {".png", "image/png"},         {".jpg", "image/jpeg"},      {".jpeg", "image/jpeg"},
      {".gif", "image/gif"},         {".ico", "image/x-icon"},    {".webp", "image/webp"},
      {".pdf", "application/pdf"},   {".woff", "font/woff"},      {".woff2", "font/woff2"},
      {".wasm", "application/wasm"},
  }};
  std::string extension = file.extension().string();
  ascii::LowerInPlace(extension);
  for (const auto& [suffix, type] : kTypes)
    if (suffix == extension) return type;
  return "application/octet-stream";
}

}  // namespace orv::proxy
