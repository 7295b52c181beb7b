#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace orv::files {
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
constexpr char kNativeSeparator = '\\';

// Paths are ANSI byte strings; the wide form is what the C++ library and the W API take.
std::wstring Widen(const std::string& path) {
  if (path.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
  return wide;
}

fs::path ToPath(const std::string& path) {
  return fs::path(Widen(path));
}

std::FILE* OpenFile(const std::string& path, const wchar_t* mode) {
  const std::wstring wide = Widen(path);
  if (wide.empty()) return nullptr;
  return _wfopen(wide.c_str(), mode);
}
#define ORV_MODE(m) L##m

bool SyncFile(std::FILE* f) {
  return _commit(_fileno(f)) == 0;
}

bool ReplaceWith(const std::string& temporary, const std::string& path) {
  const std::wstring from = Widen(temporary);
  const std::wstring to = Widen(path);
  // A reader holding the old file open without delete sharing makes the move fail for a
  // moment; try a few times before reporting the failure.
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
        0) {
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) return false;
    Sleep(20);
  }
  return false;
}

void KeepPermissions(const std::string&, const std::string&) {}

std::FILE* CreateReplacement(const std::string& temporary, const std::string&) {
  return OpenFile(temporary, ORV_MODE("wb"));
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}
#else
constexpr char kNativeSeparator = '/';

fs::path ToPath(const std::string& path) {
  return fs::path(path);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  if (path.empty()) return nullptr;
  return std::fopen(path.c_str(), mode);
}
#define ORV_MODE(m) m

bool SyncFile(std::FILE* f) {
  return ::fsync(::fileno(f)) == 0;
}

bool ReplaceWith(const std::string& temporary, const std::string& path) {
  if (std::rename(temporary.c_str(), path.c_str()) != 0) return false;
  // Make the rename itself durable; a failure here does not undo it, so it is not reported.
  const fs::path parent = fs::path(path).parent_path();
  const int dir = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

// The replacement keeps the old file's owner, group and mode, so a file an administrator
// restricted stays so, and a settings file root rewrites stays readable by the service's group.
// Changing the owner fails for an ordinary user; the group and mode are still kept where allowed.
void KeepPermissions(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return;
  if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0) {
    [[maybe_unused]] const int ignored = ::chown(to.c_str(), static_cast<uid_t>(-1), st.st_gid);
  }
  ::chmod(to.c_str(), st.st_mode & 07777);
}

// The replacement of an existing file starts readable by its owner alone and gets the old
// file's permissions once written, so a restricted file (the settings hold the scrambled
// service account) is never readable by others in between. A new file gets the usual mode.
std::FILE* CreateReplacement(const std::string& temporary, const std::string& target) {
  struct stat st {};
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? 0600 : 0666;
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (f == nullptr) ::close(fd);
  return f;
}

unsigned long ProcessId() {
  return static_cast<unsigned long>(::getpid());
}
#endif

constexpr bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

fs::file_status StatusOf(const std::string& path) {
  std::error_code ec;
  if (path.empty()) return fs::file_status(fs::file_type::not_found);
  return fs::status(ToPath(path), ec);
}

}  // namespace

bool IsDirectory(const std::string& path) {
  return fs::is_directory(StatusOf(path));
}
bool IsRegularFile(const std::string& path) {
  return fs::is_regular_file(StatusOf(path));
}
bool Exists(const std::string& path) {
  return fs::exists(StatusOf(path));
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(ToPath(path), ec);
  return IsDirectory(path);
}

char SeparatorOf(std::string_view directory) {
  const std::size_t last = directory.find_last_of("/\\");
  return last == std::string_view::npos ? kNativeSeparator : directory[last];
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  while (!name.empty() && IsSeparator(name.front())) name.remove_prefix(1);
  if (directory.empty()) return std::string(name);
  std::string joined(directory);
  if (!IsSeparator(joined.back())) joined.push_back(SeparatorOf(directory));
  joined.append(name);
  return joined;
}

bool ReadWholeFile(const std::string& path, std::string& out, std::size_t maxBytes) {
  out.clear();
  std::FILE* f = OpenFile(path, ORV_MODE("rb"));
  if (f == nullptr) return false;
  // Read straight into the string: hosts such as IIS run us on threads with small stacks.
  constexpr std::size_t kChunk = 64 * 1024;
  bool ok = true;
  try {
    while (true) {
      const std::size_t have = out.size();
      // One byte more than the limit allows tells a file that is too large.
      const std::size_t room = maxBytes - have;
      const std::size_t want = room >= kChunk ? kChunk : room + 1;
      out.resize(have + want);
      const std::size_t n = std::fread(out.data() + have, 1, want, f);
      out.resize(have + n);
      if (out.size() > maxBytes) {
        ok = false;
        break;
      }
      if (n < want) {
        // A directory opens on some systems and fails only here.
        ok = std::ferror(f) == 0;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  } catch (const std::length_error&) {
    ok = false;
  }
  std::fclose(f);
  if (!ok) std::string().swap(out);
  return ok;
}

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  if (path.empty() || IsSeparator(path.back())) return false;
  static std::atomic<unsigned> sequence{0};
  const std::string temporary =
      path + ".tmp" + std::to_string(ProcessId()) + "-" + std::to_string(sequence.fetch_add(1));
  std::FILE* f = CreateReplacement(temporary, path);
  if (f == nullptr) return false;
  bool ok = content.empty() || std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = std::fflush(f) == 0 && ok;
  ok = SyncFile(f) && ok;
  ok = std::fclose(f) == 0 && ok;
  if (ok) {
    KeepPermissions(path, temporary);
    ok = ReplaceWith(temporary, path);
  }
  if (!ok) {
    std::error_code ec;
    fs::remove(ToPath(temporary), ec);
  }
  return ok;
}

bool AppendToFile(const std::string& path, std::string_view content) {
  std::FILE* f = OpenFile(path, ORV_MODE("ab"));
  if (f == nullptr) return false;
  bool ok = content.empty() || std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

#ifdef _WIN32
namespace {
// Any function of this module; its address names the module that holds the code.
void ModuleAnchor() {}
}  // namespace

std::string ModuleDirectory() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ModuleAnchor), &module)) {
    return {};
  }
  char name[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(module, name, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string path(name, n);
  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string::npos) return {};
  return path.substr(0, last + 1);
}
#else
std::string ModuleDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  std::string directory = exe.parent_path().string();
  if (directory.empty() || directory.back() != '/') directory.push_back('/');
  return directory;
}
#endif

}  // namespace orv::files
