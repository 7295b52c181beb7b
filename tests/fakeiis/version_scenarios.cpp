// The two version calls IIS makes when it loads the DLL in its two roles.
#include <cstring>

#include "scenario.h"

namespace fakeiis {

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
  };
}

}  // namespace fakeiis
