// Many window lifecycles in a row: create, resize, paint, input, destroy,
// with the engine loaded and unloaded each time. Nothing may be left behind:
// windows, DCs, GDI objects, the engine module, heap memory.
// VP_SOAK_CYCLES sets the number of cycles (a short run by default); the
// figures are printed for reports.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>

#include <DebugOutputCapture.h>

#include "WindowFixture.h"

#ifndef _WIN32
#include <headless_control.h>
#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();  // the sanitizer's heap, in bytes
#else
#include <malloc.h>
#endif
#endif

namespace {

int PositiveFromEnvironment(const char* name, int otherwise) {
    const char* text = std::getenv(name);
    int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : otherwise;
}

int Cycles() { return PositiveFromEnvironment("VP_SOAK_CYCLES", 100); }

// The loading-alone comparison's cycles, as many as the soak's unless
// VP_SOAK_LOADS_ALONE says: on 32-bit Windows every load of one of our
// engines keeps a TLS index (the static MinGW runtime's thread library
// allocates one and never frees it), and a process has 1,088, so a soak of
// 1,000 cycles there must load the engine alone fewer times.
int LoadsAlone(int cycles) { return PositiveFromEnvironment("VP_SOAK_LOADS_ALONE", cycles); }

// What the process holds: heap bytes in use on Linux; on Windows the
// committed private memory, summed over the address space with VirtualQuery
// (Wine fills GetProcessMemoryInfo from the host process, which under the
// emulator is the emulator's own memory, translated code and all).
long long MemoryInUse() {
#ifdef _WIN32
    long long committed = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr; VirtualQuery(address, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) committed += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return committed;
#elif defined(__SANITIZE_ADDRESS__)
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    return static_cast<long long>(mallinfo2().uordblks);
#endif
}

// Growth per cycle after a warm-up of a tenth of the cycles (at least 10).
struct Growth {
    long long afterWarmUp = 0;
    long long atEnd = 0;
    int measuredCycles = 0;
    double PerCycle() const { return measuredCycles ? double(atEnd - afterWarmUp) / measuredCycles : 0; }
};

template <typename Cycle>
Growth Measure(int cycles, Cycle&& cycle) {
    const int warmUp = std::max(10, cycles / 10);
    Growth growth;
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
        if (i + 1 == warmUp) growth.afterWarmUp = MemoryInUse();
    }
    growth.atEnd = MemoryInUse();
    growth.measuredCycles = cycles - warmUp;
    return growth;
}

// Loading and releasing a module alone, as the host does it each cycle.
Growth LoadOnly(const std::u16string& file, int cycles) {
    return Measure(cycles, [&](int) {
        HMODULE module = LoadLibraryW(AsWide(file.c_str()));
        if (module) FreeLibrary(module);
    });
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
    // The platform's share first: the same engine loaded and released alone.
    Growth loading = LoadOnly(engineFile, LoadsAlone(cycles));
    Counts before = Counts::Now();
    DebugOutputCapture debug;  // why an engine could not be had, should it happen
    auto start = std::chrono::steady_clock::now();
    Growth lifecycles = Measure(cycles, [&](int cycle) {
        CPlayerWnd* window = CreatePlayer();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->GetInstanceRecord(), nullptr) << "cycle " << cycle << ": " << debug.TakeText();
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
    });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    Counts after = Counts::Now();
    double hostShare = lifecycles.PerCycle() - loading.PerCycle();
    std::cout << "soak: " << cycles << " cycles in " << seconds * 1000
              << " ms; memory per cycle after warm-up: " << lifecycles.PerCycle() << " B (" << lifecycles.afterWarmUp
              << " -> " << lifecycles.atEnd << "), loading the engine alone " << loading.PerCycle() << " B ("
              << loading.afterWarmUp << " -> " << loading.atEnd << "), the host's share " << hostShare
              << " B; GDI objects " << before.gdiObjects << " -> " << after.gdiObjects << std::endl;
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.dcs, before.dcs);
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    // Whatever the cycles leave behind grows with their number; a fixed margin
    // covers allocator caches.
    EXPECT_LT(lifecycles.atEnd - lifecycles.afterWarmUp, 4LL << 20);
    EXPECT_LT(hostShare * lifecycles.measuredCycles, (2LL << 10) * lifecycles.measuredCycles + (256LL << 10))
        << "the host keeps more than 2 KB a cycle";
}

// Loading and releasing modules alone: our engines against trivial modules
// (a C function; C++ with its runtime linked in statically), for reports.
TEST(ModuleLoading, EnginesCostNoMoreThanATrivialCppModule) {
    const int cycles = Cycles();
    auto measure = [&](const char* what, const std::u16string& file) {
        Growth growth = LoadOnly(file, cycles);
        std::cout << "loading alone, " << cycles << " cycles: " << what << " " << growth.PerCycle() << " B a cycle ("
                  << growth.afterWarmUp << " -> " << growth.atEnd << ")" << std::endl;
        return growth;
    };
    measure("a trivial C module", RecordingEngineClient::TestModuleFile("trivial_c_module"));
    Growth trivialCpp = measure("a trivial C++ module", RecordingEngineClient::TestModuleFile("trivial_cxx_module"));
    double recording = measure("the recording engine", RecordingEngineClient::EngineFile("recording")).PerCycle();
    double sample = measure("the sample engine", RecordingEngineClient::EngineFile("sample")).PerCycle();
    // One step of the heap's growth (64 KB) as slack over the measured cycles.
    const double limit = trivialCpp.PerCycle() + 65536.0 / std::max(1, trivialCpp.measuredCycles);
    EXPECT_LE(recording, limit);
    EXPECT_LE(sample, limit);
}
