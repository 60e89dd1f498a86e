/* Minimal reproducers of what the emulated 32-bit Wine (Wine's 32-bit loader
 * run by qemu-i386) does unlike Windows and unlike the 64-bit Wine. Each case
 * prints "survived" where the system behaves as Windows does.
 *
 *   exception-beside-a-thread  Once a second thread has started, a structured
 *                              exception handled by unwinding in the first
 *                              (OutputDebugStringA raises and handles one)
 *                              ends the process: the unwind reloads the fs
 *                              segment, and the emulator's shared descriptor
 *                              table then holds the newest thread's block.
 *                              GoogleTest starts such a thread at a test's
 *                              first failure or skip, then calls
 *                              OutputDebugStringA.
 *   page-fault                 IsBadWritePtr on an unmapped page: Windows
 *                              catches the access violation inside the call;
 *                              under the emulator it arrives as an illegal
 *                              instruction nobody handles.
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static HANDLE release;

static DWORD WINAPI Waiter(void* unused) {
    (void)unused;
    WaitForSingleObject(release, INFINITE);
    return 0;
}

static int ExceptionBesideAThread(void) {
    release = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE other = CreateThread(NULL, 0, Waiter, NULL, 0, NULL);
    if (!release || !other) return 0;
    Sleep(200);
    DWORD before = GetCurrentThreadId();
    OutputDebugStringA("emulator probe\n");
    DWORD after = GetCurrentThreadId();
    SetEvent(release);
    WaitForSingleObject(other, 30000);
    CloseHandle(other);
    CloseHandle(release);
    return before == after;
}

static int PageFault(void) { return IsBadWritePtr((void*)1, 4) != 0; }

int main(int argc, char** argv) {
    const char* which = argc > 1 ? argv[1] : "";
    int behaved = 0;
    printf("emulator probe: %s\n", which);
    fflush(stdout);
    if (strcmp(which, "exception-beside-a-thread") == 0) {
        behaved = ExceptionBesideAThread();
    } else if (strcmp(which, "page-fault") == 0) {
        behaved = PageFault();
    } else {
        fprintf(stderr, "usage: emulator_probe exception-beside-a-thread|page-fault\n");
        return 2;
    }
    printf("%s\n", behaved ? "survived" : "behaved unlike Windows");
    fflush(stdout);
    return behaved ? 0 : 1;
}
