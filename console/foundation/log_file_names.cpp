#include "console/foundation/log_file_names.h"

#include <string_view>

#include "console/foundation/dates_paths.h"
#include "platform/ascii.h"

namespace orv::console {

namespace {
void RemoveAll(std::string& text, std::string_view part) {
  std::size_t at;
  while ((at = text.find(part)) != std::string::npos) {
    text.erase(at, part.size());
  }
}

std::string DateKey(std::string name, bool lowerFirst) {
  if (lowerFirst) {
    ascii::LowerInPlace(name);
  }
  RemoveAll(name, "orv");
  RemoveAll(name, ".log");
  return NormalizeDateText(name);
}
}  // namespace

std::size_t SortLogFileNames(std::vector<std::string>& names, bool newestFirst) {
  if (names.empty()) {
    return 0;
  }
  // Placed names keep their (unlowered) key next to them so the walk does not recompute it.
  struct Placed {
    std::string name;
    std::string key;
  };
  std::vector<Placed> ordered;
  for (const std::string& name : names) {
    const std::string key = DateKey(name, true);
    if (key.size() < 4) {
      continue;
    }
    auto position = ordered.begin();
    for (; position != ordered.end(); ++position) {
      if (position->key > key && position->key.size() > 4) {
        break;
      }
    }
    if (position != ordered.end()) {
      ordered.insert(position, Placed{name, DateKey(name, false)});
    } else if (name.size() > 4) {
      ordered.push_back(Placed{name, DateKey(name, false)});
    }
  }
  names.clear();
  if (newestFirst) {
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it) {
      names.push_back(it->name);
    }
  } else {
    for (const Placed& placed : ordered) {
      names.push_back(placed.name);
    }
  }
  return names.size();
}

}  // namespace orv::console
