// Loading the engine library and letting it fill its table: the same steps
// and the same reasons for failure in the library's process and in an engine
// process.
#pragma once

#include <string>

#include "EngineContract.h"

// Loads the library at `path` and calls its entry point with the tables.
// Empty on success, with *module loaded; else why the engine cannot be used,
// with the library released and the table cleared (nothing may be called
// through a table that was not filled).
std::u16string LoadEngineLibrary(const std::u16string& path, HostServices* services, EngineFunctions* functions,
                                 HMODULE* module);

// The system's text for an error, without its line break, and its number.
std::u16string SystemErrorText(DWORD error);
