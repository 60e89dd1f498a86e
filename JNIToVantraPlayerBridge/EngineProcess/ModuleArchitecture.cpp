#include "ModuleArchitecture.h"

#include <Platform.h>

#include <vector>

namespace {

constexpr size_t kHeaderBytes = 4096;  // the PE header sits within the first page
constexpr uint16_t kPeI386 = 0x014C, kPeAmd64 = 0x8664;
constexpr uint16_t kElf386 = 3, kElfX86_64 = 62;

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32At(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

ModuleArchitecture FromMachine(uint16_t machine, uint16_t x86, uint16_t x64) {
    if (machine == x86) return ModuleArchitecture::X86;
    if (machine == x64) return ModuleArchitecture::X64;
    return ModuleArchitecture::Unknown;
}

}  // namespace

ModuleArchitecture ModuleArchitectureOf(const uint8_t* header, size_t size) {
    if (size >= 0x40 && header[0] == 'M' && header[1] == 'Z') {
        uint32_t pe = U32At(header + 0x3C);
        if (pe > size || size - pe < 6) return ModuleArchitecture::Unknown;
        if (header[pe] != 'P' || header[pe + 1] != 'E' || header[pe + 2] != 0 || header[pe + 3] != 0) {
            return ModuleArchitecture::Unknown;
        }
        return FromMachine(U16At(header + pe + 4), kPeI386, kPeAmd64);
    }
    if (size >= 20 && header[0] == 0x7F && header[1] == 'E' && header[2] == 'L' && header[3] == 'F') {
        return FromMachine(U16At(header + 18), kElf386, kElfX86_64);  // little-endian files only
    }
    return ModuleArchitecture::Unknown;
}

ModuleArchitecture ReadModuleArchitecture(const std::u16string& path) {
    HANDLE file = CreateFileW(AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ModuleArchitecture::Unknown;
    std::vector<uint8_t> header(kHeaderBytes);
    size_t filled = 0;
    DWORD read = 0;
    while (filled < header.size() &&
           ReadFile(file, header.data() + filled, static_cast<DWORD>(header.size() - filled), &read, nullptr) &&
           read > 0) {
        filled += read;
    }
    CloseHandle(file);
    return ModuleArchitectureOf(header.data(), filled);
}

ModuleArchitecture OwnArchitecture() { return sizeof(void*) == 8 ? ModuleArchitecture::X64 : ModuleArchitecture::X86; }
