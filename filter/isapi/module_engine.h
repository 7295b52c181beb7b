// The one FilterEngine of a loaded OrvFilter.dll. IIS loads the module once per worker
// process and calls into it from many threads in two roles; both roles share this engine.
//
// The engine is built on the first entry call rather than in DllMain: building it reads
// files and takes locks, which must not happen under the loader lock. It is destroyed when
// the module is unloaded with FreeLibrary (not when the process is ending, when other threads
// have already been stopped wherever they were).
#pragma once

#include <windows.h>

#include <string>

#include "filter/engine.h"

namespace orv::isapi {

// DllMain, DLL_PROCESS_ATTACH: the module whose folder holds the settings and resources.
void RememberModule(HMODULE module);
HMODULE ThisModule();

// The folder of `module`'s file with its trailing "\", or empty when the name cannot be had
// whole (longer than MAX_PATH).
std::string ModuleDirectory(HMODULE module);

// The engine, built on first use. Null if it could not be built; the entry points then let
// every request pass.
filter::FilterEngine* Engine();

// DllMain, DLL_PROCESS_DETACH on FreeLibrary: flushes the event log and frees the engine.
void DestroyEngine();

}  // namespace orv::isapi
