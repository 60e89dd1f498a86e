// Many window lifecycles in a row: create, resize, paint, input, destroy,
// with the engine loaded and unloaded each time. Nothing may be left behind:
// windows, DCs, GDI objects, the engine module, heap memory.
// VP_SOAK_CYCLES sets the number of cycles (a short run by default); the
// figures are printed for reports.
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "WindowFixture.h"

#ifdef _WIN32
#include <psapi.h>
#else
#include <headless_control.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();  // the sanitizer's heap, in bytes
#else
#include <malloc.h>
#endif
#endif

namespace {

int Cycles() {
    const char* text = std::getenv("VP_SOAK_CYCLES");
    int cycles = text ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : 100;
}

// What the process holds: heap bytes in use on Linux, private bytes on Windows.
long long MemoryInUse() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    // Wine leaves PrivateUsage at 0; PagefileUsage counts the same committed private bytes.
    return static_cast<long long>(counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage);
#elif defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

struct Counts {
    int windows = 0;
    int dcs = 0;
    int gdiObjects = 0;

    static Counts Now() {
#ifdef _WIN32
        return Counts{0, 0, static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))};
#else
        return Counts{headless::CountLiveWindows(), headless::CountLiveDCs(), headless::CountLiveGdiObjects()};
#endif
    }
};

}  // namespace

using Soak = WindowTest;

TEST_F(Soak, WindowLifecyclesLeaveNothingBehind) {
    engine.reset();  // the host loads and releases the engine on its own each cycle
    const std::u16string engineFile = RecordingEngineClient::EngineFile("recording");
    const int cycles = Cycles();
    const int warmUp = std::max(10, cycles / 10);
    Counts before = Counts::Now();
    long long memoryAfterWarmUp = 0;
    double firstSeconds = 0, lastSeconds = 0;
    auto sliceStart = std::chrono::steady_clock::now();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        CPlayerWnd* window = CreatePlayer();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->GetInstanceRecord(), nullptr);
        HWND hwnd = window->GetSafeHwnd();
        Place(window, cycle % 7, cycle % 5, 60 + cycle % 50, 40 + cycle % 30);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
        window->BlitRect(0, 0, 20, 20);
        window->FillBackground(cycle, 0, 0);
        Pump();
        DestroyPlayer(window);
        ClearRecord();  // the parent's message record is the test's, not the library's
        ASSERT_FALSE(IsWindow(hwnd));
        ASSERT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
        ASSERT_EQ(VantraPlayerManager::Get(true)->EngineModule(), nullptr) << "cycle " << cycle;
        ASSERT_EQ(GetModuleHandleW(AsWide(engineFile.c_str())), nullptr) << "engine still mapped after cycle " << cycle;

        if (cycle + 1 == warmUp || cycle + 1 == cycles) {
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - sliceStart).count();
            (cycle + 1 == warmUp ? firstSeconds : lastSeconds) = seconds;
            if (cycle + 1 == warmUp) memoryAfterWarmUp = MemoryInUse();
        }
        if (cycle + 1 == cycles - warmUp) sliceStart = std::chrono::steady_clock::now();
    }
    Counts after = Counts::Now();
    long long memoryAtEnd = MemoryInUse();
    std::cout << "soak: " << cycles << " cycles; first " << warmUp << " took " << firstSeconds * 1000 << " ms, last "
              << warmUp << " " << lastSeconds * 1000 << " ms; memory after warm-up " << memoryAfterWarmUp
              << " B, at end " << memoryAtEnd << " B; GDI objects (GetGuiResources on Windows, 0 under Wine) "
              << before.gdiObjects << " -> " << after.gdiObjects << std::endl;
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.dcs, before.dcs);
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    // Whatever the cycles leave behind grows with their number; a fixed margin
    // covers allocator caches.
    EXPECT_LT(memoryAtEnd - memoryAfterWarmUp, 4LL << 20);
}
