// What the host costs on its hot paths, against the floor measured in the
// same run, on the headless backend with the no-op engine: a full repaint
// against memcpy, a mouse move against formatting its text alone, component
// data operations as they grow, and 10,000 window lifecycles.
// Usage: host_bench RESULTS_FRAGMENT [Google Benchmark options]
#include <ComponentData.h>
#include <EngineGuard.h>
#include <RecordingEngineClient.h>
#include <VantraPlayerManager.h>
#include <VantraPlayerWnd.h>
#include <benchmark/benchmark.h>
#include <headless_control.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "BenchWindow.h"
#include "ResultTable.h"

namespace {

constexpr int kFullWidth = 1920;
constexpr int kFullHeight = 1080;
constexpr int64_t kFrameBytes = int64_t{kFullWidth} * kFullHeight * 4;

// ---- paint path ----

void PaintFullWindow(benchmark::State& state, bool engineFills) {
    BenchWindow window(kFullWidth, kFullHeight);
    window->SetVariable("fill", engineFills ? "1" : "0");
    for (auto _ : state) window->DrawArea(AreaRect{0, kFullWidth, 0, kFullHeight});
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}

void BM_Paint_Host(benchmark::State& state) { PaintFullWindow(state, true); }
void BM_Paint_HostShare(benchmark::State& state) { PaintFullWindow(state, false); }

void BM_Paint_Memcpy(benchmark::State& state) {
    std::vector<uint32_t> from(static_cast<size_t>(kFullWidth) * kFullHeight, 0x336699), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), static_cast<size_t>(kFrameBytes));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}

// The engine's own fill alone (told not to blit): with a memcpy of the frame,
// what the frame costs without a host.
void BM_Paint_EngineFillOnly(benchmark::State& state) {
    BenchWindow window(kFullWidth, kFullHeight);
    window->SetVariable("blit", "0");
    for (auto _ : state) window->DrawArea(AreaRect{0, kFullWidth, 0, kFullHeight});
    state.SetBytesProcessed(state.iterations() * kFrameBytes);
}

// ---- mouse-move path ----

void BM_MouseMove_Host(benchmark::State& state) {
    BenchWindow window(640, 480);
    HWND hwnd = window->GetSafeHwnd();
    int x = 0;
    for (auto _ : state) {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x & 511, 100));
        ++x;
    }
}

void BM_MouseMove_FormatOnly(benchmark::State& state) {
    int x = 0;
    for (auto _ : state) {
        std::string text = MouseInvocation("handleMouseMove", x & 511, 100, ModifierKeys{false, false, false});
        benchmark::DoNotOptimize(text);
        ++x;
    }
}

// What a move costs without a host: the event and the text made, both given
// to the engine straight through its table, its reply freed.
void BM_MouseMove_FormatAndEngine(benchmark::State& state) {
    BenchWindow window(640, 480);
    int x = 0;
    for (auto _ : state) window.MoveThroughTheEngineTable(x++ & 511, 100);
}

// ---- a call into the engine, without JNI ----

// What the window adds to an engine call of its own: the instance and entry
// looked at, the call counted (a window closed inside it goes once it
// returns), and the look after the outermost call.
void BM_DoPlay_Window(benchmark::State& state) {
    BenchWindow window(200, 150);
    for (auto _ : state) benchmark::DoNotOptimize(window->DoPlay());
}

// The same entry on the same record, inside the same fault guard, alone.
void BM_DoPlay_GuardedEntry(benchmark::State& state) {
    BenchWindow window(200, 150);
    InstanceRecord* record = window->GetInstanceRecord();
    auto doPlay = EntryAs<int32_t(ENGINE_CDECL*)(InstanceRecord*)>(window->engineFunctions->entries[kDoPlay]);
    for (auto _ : state) benchmark::DoNotOptimize(CallEngineGuarded([&] { doPlay(record); }));
}

// ---- component data ----

ComponentData ArrayOf(int64_t count) {
    ComponentData data;
    data.Reset(ComponentData::KindArray);
    for (int64_t i = 0; i < count; ++i) {
        std::string text = "item " + std::to_string(i);
        data.AddItem(std::u16string(text.begin(), text.end()), ComponentData::KindDefault);
    }
    return data;
}

void BM_Component_ToString(benchmark::State& state) {
    ComponentData data = ArrayOf(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(data.ToString());
    state.SetComplexityN(state.range(0));
}

void BM_Component_Normalize(benchmark::State& state) {
    ComponentData data = ArrayOf(state.range(0));
    for (auto _ : state) {
        data.Normalize();
        benchmark::ClobberMemory();
    }
    state.SetComplexityN(state.range(0));
}

void BM_Component_Copy(benchmark::State& state) {
    ComponentData data = ArrayOf(state.range(0));
    for (auto _ : state) {
        ComponentData copy = data;
        benchmark::DoNotOptimize(copy);
    }
    state.SetComplexityN(state.range(0));
}

void BM_Component_Equality(benchmark::State& state) {
    ComponentData data = ArrayOf(state.range(0)), other = data;
    for (auto _ : state) benchmark::DoNotOptimize(data == other);
    state.SetComplexityN(state.range(0));
}

void BM_Component_Build(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ArrayOf(state.range(0)));
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_Paint_Host)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Paint_HostShare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Paint_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Paint_EngineFillOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MouseMove_Host)->UseRealTime();
BENCHMARK(BM_MouseMove_FormatOnly)->UseRealTime();
BENCHMARK(BM_MouseMove_FormatAndEngine)->UseRealTime();
BENCHMARK(BM_DoPlay_Window)->UseRealTime();
BENCHMARK(BM_DoPlay_GuardedEntry)->UseRealTime();
BENCHMARK(BM_Component_ToString)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();
BENCHMARK(BM_Component_Normalize)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();
BENCHMARK(BM_Component_Copy)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();
BENCHMARK(BM_Component_Equality)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();
BENCHMARK(BM_Component_Build)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();

// Keeps the median of the repetitions of every benchmark, in nanoseconds.
class MedianCollector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                double nanoseconds = run.GetAdjustedRealTime() *
                                     benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                     benchmark::GetTimeUnitMultiplier(run.time_unit);
                medians[run.run_name.function_name + (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    nanoseconds;
            }
        }
    }
    std::map<std::string, double> medians;
};

// ---- window lifecycle ----

struct LifecycleFigures {
    int cycles = 0;
    double firstThousandMs = 0, lastThousandMs = 0;
    std::vector<long long> heapByThousand;  // heap in use after each thousand cycles
    long long heapBefore = 0, heapAfter = 0;
    int gdiBefore = 0, gdiAfter = 0, dcsBefore = 0, dcsAfter = 0;
};

long long HeapInUse() { return static_cast<long long>(mallinfo2().uordblks); }

// The heap is followed thousand by thousand, in room taken before the first
// cycle: the figures must not grow the heap they measure.
LifecycleFigures RunLifecycles(int cycles) {
    LifecycleFigures figures;
    figures.cycles = cycles;
    figures.heapByThousand.reserve(static_cast<size_t>(cycles / 1000));
    auto cycle = [](int i) {
        BenchWindow window(100 + i % 50, 80 + i % 40);
        MoveWindow(window->GetSafeHwnd(), 0, 0, 200, 150, TRUE);
        window->DrawArea(AreaRect{0, 200, 0, 150});
        UpdateWindow(window->GetSafeHwnd());
    };
    cycle(0);  // the first load of the engine and the framework's one-time set-up
    headless::RunUntilIdle();
    figures.heapBefore = HeapInUse();
    figures.gdiBefore = headless::CountLiveGdiObjects();
    figures.dcsBefore = headless::CountLiveDCs();
    auto sliceStart = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
        headless::RunUntilIdle();
        if ((i + 1) % 1000 == 0) {
            auto now = std::chrono::steady_clock::now();
            double ms = std::chrono::duration<double, std::milli>(now - sliceStart).count();
            if (i + 1 == 1000) figures.firstThousandMs = ms;
            if (i + 1 == cycles) figures.lastThousandMs = ms;
            figures.heapByThousand.push_back(HeapInUse());
            sliceStart = now;
        }
    }
    figures.heapAfter = HeapInUse();
    figures.gdiAfter = headless::CountLiveGdiObjects();
    figures.dcsAfter = headless::CountLiveDCs();
    return figures;
}

// Every tenth of the heap figures, and the last.
void ReportLifecycle(const LifecycleFigures& life, const std::string& path) {
    ResultTable lifecycle("Window lifecycle, " + std::to_string(life.cycles / 1000) +
                          ",000 cycles (create, resize, paint, destroy; engine loaded and released each cycle)");
    lifecycle.Add({"last thousand cycles", ResultTable::Format(life.lastThousandMs, "ms"),
                   "first thousand: " + ResultTable::Format(life.firstThousandMs, "ms"),
                   life.lastThousandMs / life.firstThousandMs, "<= 1.10",
                   life.lastThousandMs / life.firstThousandMs <= 1.10});
    lifecycle.Add(HeapRow("heap in use after the cycles", life.heapBefore, life.heapByThousand, life.heapAfter));
    lifecycle.Add({"live GDI objects / DCs after",
                   std::to_string(life.gdiAfter) + " / " + std::to_string(life.dcsAfter),
                   "before: " + std::to_string(life.gdiBefore) + " / " + std::to_string(life.dcsBefore),
                   life.gdiBefore ? static_cast<double>(life.gdiAfter) / life.gdiBefore : 1.0, "end where they began",
                   life.gdiAfter == life.gdiBefore && life.dcsAfter == life.dcsBefore});
    lifecycle.Write(path, "Heap in use (bytes) after so many thousand cycles: " + HeapByThousand(life.heapByThousand) +
                              ". The first thousand cycles take the heap to its working size once; from there "
                              "it stays (an earlier version of this table counted from the first cycle and "
                              "collected these figures in a text that grew as it measured, which read as growth).");
}

void Report(const std::map<std::string, double>& m, const LifecycleFigures& life, const std::string& path) {
    // When benchmarks were filtered out of the run, only the lifecycle is reported.
    if (!m.count("BM_Paint_Host") || !m.count("BM_MouseMove_Host") || !m.count("BM_Component_Build/100")) {
        std::fprintf(stderr, "host_bench: some benchmarks did not run; their tables are left out\n");
        ReportLifecycle(life, path);
        return;
    }
    ResultTable hot("Host paths on the headless backend (Google Benchmark, median of repetitions)");
    double paint = m.at("BM_Paint_Host"), share = m.at("BM_Paint_HostShare"), copy = m.at("BM_Paint_Memcpy");
    double frame = m.at("BM_Paint_EngineFillOnly") + copy;
    auto gbps = [](double ns) { return ResultTable::Format(kFrameBytes / ns, "GB/s"); };
    // The engine's fill is part of the frame whoever shows it: the floor is
    // that fill and a copy of the frame, without a host.
    hot.Add({"full repaint 1920 x 1080: engine fills, BlitRect, copy to the window (throughput)", gbps(paint),
             "the engine's fill alone, then a memcpy of the frame: " + gbps(frame), frame / paint, ">= 0.8",
             frame / paint >= 0.8});
    hot.Add({"the same repaint, engine does not fill (the host's share)", gbps(share), "memcpy: " + gbps(copy),
             copy / share, ">= 0.8", copy / share >= 0.8});
    double move = m.at("BM_MouseMove_Host"), format = m.at("BM_MouseMove_FormatOnly");
    double bare = m.at("BM_MouseMove_FormatAndEngine");
    hot.Add({"WM_MOUSEMOVE through the window (event, invocation, CallFunction2, Free)",
             ResultTable::Format(move, "ns"),
             "the event and the text made and given to the engine without a host: " + ResultTable::Format(bare, "ns") +
                 " (formatting the text alone: " + ResultTable::Format(format, "ns") + ")",
             move / bare, "<= 1.5", move / bare <= 1.5});
    double call = m.at("BM_DoPlay_Window"), guarded = m.at("BM_DoPlay_GuardedEntry");
    hot.Add({"DoPlay through the window, without JNI (the instance and entry looked at, the call counted, the look "
             "after it)",
             ResultTable::Format(call, "ns"), "the entry in the fault guard alone: " + ResultTable::Format(guarded, "ns"),
             call / guarded, "none (reported: the window's own share of VPP_DoPlay)", true});
    hot.Write(path);

    ResultTable scaling(
        "Component data as it grows (ns per item; ratio = per-item cost at 10,000 items over at 1,000)");
    for (const char* op : {"ToString", "Normalize", "Copy", "Equality", "Build"}) {
        std::string name = std::string("BM_Component_") + op;
        std::string perItem;
        for (int n : {10, 100, 1000, 10000}) {
            perItem += (perItem.empty() ? "" : ", ") + std::to_string(n) + ": " +
                       ResultTable::Format(m.at(name + "/" + std::to_string(n)) / n, "ns");
        }
        double growth = (m.at(name + "/10000") / 10000) / (m.at(name + "/1000") / 1000);
        bool build = std::string(op) == "Build";
        scaling.Add({std::string(op) + (build ? " (AddItem n times; the array grows 128 items at a time)" : ""),
                     perItem, "per item at 1,000: " + ResultTable::Format(m.at(name + "/1000") / 1000, "ns"), growth,
                     build ? "quadratic, as the growth steps imply: <= 12" : "linear: <= 1.5",
                     growth <= (build ? 12.0 : 1.5)});
    }
    scaling.Write(path);
    ReportLifecycle(life, path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: host_bench RESULTS_FRAGMENT [benchmark options]\n");
        return 2;
    }
    std::string path = argv[1];
    argv[1] = argv[0];
    --argc;
    ++argv;
    int cycles = 100000;  // long enough that growth of a few bytes a cycle shows
    if (argc > 1 && std::strncmp(argv[1], "--lifecycles=", 13) == 0) {  // for a longer look at the heap
        cycles = std::atoi(argv[1] + 13);
        argv[1] = argv[0];
        --argc;
        ++argv;
    }
    benchmark::Initialize(&argc, argv);
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    LifecycleFigures life = RunLifecycles(cycles);
    Report(collector.medians, life, path);
    return 0;
}
