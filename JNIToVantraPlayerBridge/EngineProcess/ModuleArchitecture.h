// The processor a module file was built for, read from its header without
// loading it (PE on Windows, ELF on the headless backend): an engine built
// for another processor than the library's can only run in a process of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class ModuleArchitecture { Unknown, X86, X64 };

// Unknown when the file cannot be read or is no module of either.
ModuleArchitecture ReadModuleArchitecture(const std::u16string& path);
// The same from a file's first bytes.
ModuleArchitecture ModuleArchitectureOf(const uint8_t* header, size_t size);
// The library's own.
ModuleArchitecture OwnArchitecture();
