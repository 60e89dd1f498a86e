// The child program of the process tests. "echo" copies its standard input
// to its standard output until the input ends, then ends with 7; "wait"
// waits until it is ended.
#include <Platform.h>

#include <cstring>

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
    return 2;
}
