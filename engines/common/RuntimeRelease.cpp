// Linked into every engine of ours on Windows. The C++ runtime inside a
// statically linked library takes its own emergency exception pool at each
// load and never gives it back; the host loads and releases engines again
// and again, so the pool goes when the library is released (not at process
// exit, when the process takes everything back anyway).
#include <windows.h>

namespace __gnu_cxx {
void __freeres() noexcept;  // libstdc++: releases the emergency exception pool
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID atProcessExit) {
    if (reason == DLL_PROCESS_DETACH && !atProcessExit) __gnu_cxx::__freeres();
    return TRUE;
}
