// The child program of the process tests. "echo" copies its standard input
// to its standard output until the input ends, then ends with 7; "wait"
// waits until it is ended; "map" reads a file mapping's handle (a number, its
// own) from its input, writes kMappedMark at the start of the mapping and
// says "mapped"; "env NAME" writes the variable's value.
#include <Platform.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kMappedMark = 0x5EC7104;

void Say(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string ReadLine() {
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) && read == 1 && c != '\n') line += c;
    return line;
}

int MapAndMark() {
    auto handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(std::strtoll(ReadLine().c_str(), nullptr, 10)));
    auto* view = static_cast<uint32_t*>(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) {
        Say("failed " + std::to_string(GetLastError()));
        return 1;
    }
    view[0] = kMappedMark;
    UnmapViewOfFile(view);
    CloseHandle(handle);
    Say("mapped");
    return 0;
}

int WriteVariable(const char* name) {
    std::u16string wide(name, name + std::strlen(name));
    WCHAR value[256];
    DWORD length = GetEnvironmentVariableW(AsWide(wide.c_str()), value, 256);
    if (length == 0 || length >= 256) return 1;
    std::string text;
    for (DWORD i = 0; i < length; ++i) text += static_cast<char>(value[i]);
    Say(text);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "echo") == 0) {
        HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        char buffer[4096];
        DWORD read = 0, written = 0;
        while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
            WriteFile(out, buffer, read, &written, nullptr);
        }
        return 7;
    }
    if (std::strcmp(mode, "wait") == 0) {
        for (;;) Sleep(1000);
    }
    if (std::strcmp(mode, "map") == 0) return MapAndMark();
    if (std::strcmp(mode, "env") == 0 && argc > 2) return WriteVariable(argv[2]);
    return 2;
}
