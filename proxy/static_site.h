// The folder orvproxy serves with --root: which file a decoded request path names, and never
// one outside the folder, whatever the path or a symbolic link inside the folder says.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orv::proxy {

struct SiteLookup {
  enum class Kind { kFile, kRedirect, kNotFound };
  Kind kind = Kind::kNotFound;
  std::filesystem::path file;  // kFile: the canonical path
  std::string location;        // kRedirect: the folder's path with its "/", never "//..."
};

class StaticSite {
 public:
  // `root` must name a folder; Valid() tells.
  explicit StaticSite(const std::filesystem::path& root);

  bool Valid() const { return !root_.empty(); }
  const std::filesystem::path& Root() const { return root_; }

  // `decodedPath`: the URL server variable (decoded, dot segments resolved). `rawPath`: the
  // path as sent, used for the redirect of a folder named without its trailing "/".
  SiteLookup Lookup(std::string_view decodedPath, std::string_view rawPath) const;

 private:
  bool Inside(const std::filesystem::path& canonical) const;
  std::filesystem::path root_;  // canonical
};

// Content-Type by file extension (case-insensitive); "application/octet-stream" otherwise.
std::string_view ContentTypeFor(const std::filesystem::path& file);

}  // namespace orv::proxy
