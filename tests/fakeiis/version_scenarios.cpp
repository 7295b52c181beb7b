// The two version calls IIS makes when it loads the DLL in its two roles.
#include <cstdio>
#include <cstring>
#include <vector>

#include "scenario.h"

namespace fakeiis {
namespace {

// One string of the DLL's version resource, in its first listed translation.
std::string VersionString(const std::vector<char>& info, const char* name) {
  struct Translation {
    WORD language;
    WORD codePage;
  };
  void* block = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &block, &size) ||
      size < sizeof(Translation)) {
    return "(no translation)";
  }
  const Translation* translation = static_cast<const Translation*>(block);
  char path[128];
  std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                translation->codePage, name);
  if (!VerQueryValueA(info.data(), path, &block, &size) || size == 0) return "(missing)";
  return std::string(static_cast<const char*>(block),
                     strnlen(static_cast<const char*>(block), size));
}

}  // namespace

std::vector<Scenario> VersionScenarios() {
  return {
      {"filter-version",
       [](Fixture& fixture, Outcome& outcome) {
         HTTP_FILTER_VERSION version{};
         version.dwServerFilterVersion = HTTP_FILTER_REVISION;
         std::memset(version.lpszFilterDesc, 'x', sizeof version.lpszFilterDesc);
         const BOOL result = fixture.module.getFilterVersion(&version);
         outcome.Expect(result == TRUE, "GetFilterVersion returned FALSE");
         outcome.Expect(version.dwFilterVersion == 0x40000,
                        "dwFilterVersion " + std::to_string(version.dwFilterVersion));
         outcome.Expect(version.dwFlags == 0x00025600,
                        "dwFlags " + std::to_string(version.dwFlags));
         const std::size_t length = strnlen(version.lpszFilterDesc, sizeof version.lpszFilterDesc);
         outcome.Expect(length < sizeof version.lpszFilterDesc, "description not terminated");
         outcome.Expect(std::string(version.lpszFilterDesc, length) == "OrvFilter Ver2.1",
                        "description '" + Printable({version.lpszFilterDesc, length}) + "'");
       }},
      {"extension-version",
       [](Fixture& fixture, Outcome& outcome) {
         HSE_VERSION_INFO version{};
         std::memset(version.lpszExtensionDesc, 'x', sizeof version.lpszExtensionDesc);
         const BOOL result = fixture.module.getExtensionVersion(&version);
         outcome.Expect(result == TRUE, "GetExtensionVersion returned FALSE");
         outcome.Expect(version.dwExtensionVersion != 0, "dwExtensionVersion is 0");
         const std::size_t length =
             strnlen(version.lpszExtensionDesc, sizeof version.lpszExtensionDesc);
         outcome.Expect(length < sizeof version.lpszExtensionDesc, "description not terminated");
         outcome.Expect(std::string(version.lpszExtensionDesc, length) == "OrvFilter Extension",
                        "description '" + Printable({version.lpszExtensionDesc, length}) + "'");
       }},
      {"version-resource",
       [](Fixture& fixture, Outcome& outcome) {
         const std::string path = fixture.folder + "OrvFilter.dll";
         DWORD ignored = 0;
         const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
         std::vector<char> info(size);
         if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data())) {
           outcome.Expect(false, "no version resource in " + path);
           return;
         }
         void* block = nullptr;
         UINT length = 0;
         if (VerQueryValueA(info.data(), "\\", &block, &length) &&
             length >= sizeof(VS_FIXEDFILEINFO)) {
           const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(block);
           outcome.Expect(fixed->dwFileVersionMS == 0x00020001, "file version is not 2.1");
           outcome.Expect(fixed->dwFileType == VFT_DLL, "file type is not a DLL");
         } else {
           outcome.Expect(false, "no fixed version block");
         }
         outcome.Expect(VersionString(info, "ProductName") == "Orvane",
                        "ProductName '" + VersionString(info, "ProductName") + "'");
         outcome.Expect(VersionString(info, "FileDescription") == "OrvFilter",
                        "FileDescription '" + VersionString(info, "FileDescription") + "'");
         outcome.Expect(VersionString(info, "FileVersion") == "2.1",
                        "FileVersion '" + VersionString(info, "FileVersion") + "'");
       }},
  };
}

}  // namespace fakeiis
