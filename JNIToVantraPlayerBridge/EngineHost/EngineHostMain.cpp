// VantraPlayerEngineHost "<engine file>": runs one engine for the library
// that started it, over the pipes it was given as standard input and output.
#include <Platform.h>

#include <string>

#include "EngineHost.h"

namespace {

int Serve(const std::u16string& enginePath) {
    EngineHost host(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
    return host.Run(enginePath);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    return Serve(reinterpret_cast<const char16_t*>(argv[1]));
}
#else
int main(int argc, char** argv) {
    if (argc != 2) return 2;
    return Serve(Utf16FromUtf8(argv[1]));
}
#endif
