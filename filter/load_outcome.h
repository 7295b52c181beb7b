// Why a settings load left the filter other than the files say: the engine goes on with what
// it has (failing open), and the host shows the reason to the administrator.
#pragma once

#include <string_view>

#include "filter/phases.h"
#include "store/filter_settings.h"

namespace orv::filter {

// Looks at the files a load just read into `loaded`: a settings file that could not be read,
// or a keyword database that could not be opened by a filter that is switched on, makes the
// load a failure with the file's name and the system's reason ("OrvFilter.db: cannot open:
// No such file or directory").
LoadOutcome CheckLoadedFiles(const store::FilterSettings& loaded, std::string_view moduleDirectory);

}  // namespace orv::filter
