// What running the engine in a process of its own costs, against the same
// work with the engine in this process, measured side by side on the headless
// backend with the no-op engine: an engine call's round trip, a full 1080p
// repaint (the engine draws into the shared back buffer), a mouse move; a call
// that serves one request and the repaint with the processors idle, with the
// benchmark pinned to one, and with every one busy with another process; then
// 1,000 engine processes started and ended, half of them by a crash, and what
// is left behind.
// Usage: engine_process_bench RESULTS_FRAGMENT [processors: that table alone]
#include <RecordingEngineClient.h>
#include <VantraPlayerManager.h>
#include <VantraPlayerWnd.h>
#include <dirent.h>
#include <headless_control.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchWindow.h"
#include "ResultTable.h"

namespace {

constexpr int kFullWidth = 1920;
constexpr int kFullHeight = 1080;
constexpr int kRepetitions = 9;

enum class Mode { InProcess, SharedMemory, Pipes };

void Use(Mode mode) {
    if (mode == Mode::InProcess) {
        unsetenv("VANTRA_PLAYER_ENGINE_HOST");
    } else {
        setenv("VANTRA_PLAYER_ENGINE_HOST", "process", 1);
    }
    if (mode == Mode::Pipes) {
        setenv("VANTRA_PLAYER_ENGINE_CHANNEL", "pipes", 1);
    } else {
        unsetenv("VANTRA_PLAYER_ENGINE_CHANNEL");
    }
}

// The median over repetitions of the time per iteration, in nanoseconds.
double MedianNs(int iterations, const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < kRepetitions; ++r) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < iterations; ++i) work();
        auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::nano>(end - start).count() / iterations);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct ModeFigures {
    double callNs = 0, paintNs = 0, paintShareNs = 0, moveNs = 0, moveCallsNs = 0, longValueNs = 0;
};

ModeFigures MeasureMode(Mode mode) {
    Use(mode);
    ModeFigures figures;
    {
        BenchWindow window(640, 480);
        if (window->GetInstanceRecord() == nullptr) std::abort();
        figures.callNs = MedianNs(20000, [&] { window->DoPlay(); });
        HWND hwnd = window->GetSafeHwnd();
        int x = 0;
        figures.moveNs = MedianNs(20000, [&] { SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(++x & 511, 100)); });
        figures.moveCallsNs = MedianNs(20000, [&] { window.MoveThroughTheEngineTable(++x & 511, 100); });
        static const std::string longValue(size_t{64} << 20, 'v');
        figures.longValueNs = MedianNs(3, [&] { window->SetVariable("text", longValue.c_str()); });
    }
    {
        BenchWindow window(kFullWidth, kFullHeight);
        window->SetVariable("fill", "1");
        figures.paintNs = MedianNs(100, [&] { window->DrawArea(AreaRect{0, kFullWidth, 0, kFullHeight}); });
        window->SetVariable("fill", "0");
        figures.paintShareNs = MedianNs(100, [&] { window->DrawArea(AreaRect{0, kFullWidth, 0, kFullHeight}); });
    }
    return figures;
}

// What the processors are doing while a figure is taken.
enum class Processors { Idle, OneCore, AllBusy };

const char* Describe(Processors processors) {
    switch (processors) {
        case Processors::Idle: return "idle processors";
        case Processors::OneCore: return "pinned to one core";
        default: return "every core busy with another process";
    }
}

// Sets the condition up for as long as it lives: this process (and the engine
// processes it starts, which inherit it) pinned to the first core, or one
// spinning process per core beside it.
class ProcessorCondition {
public:
    explicit ProcessorCondition(Processors processors) {
        sched_getaffinity(0, sizeof all_, &all_);
        if (processors == Processors::OneCore) {
            cpu_set_t one;
            CPU_ZERO(&one);
            for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
                if (CPU_ISSET(cpu, &all_)) {
                    CPU_SET(cpu, &one);
                    break;
                }
            }
            sched_setaffinity(0, sizeof one, &one);
        } else if (processors == Processors::AllBusy) {
            for (long i = 0; i < sysconf(_SC_NPROCESSORS_ONLN); ++i) {
                pid_t busy = fork();
                if (busy == 0) {
                    for (volatile unsigned long spin = 0;; ++spin) {
                    }
                }
                if (busy > 0) busy_.push_back(busy);
            }
        }
        usleep(1200 * 1000);  // the library reads its processors again after a second
    }
    ~ProcessorCondition() {
        for (pid_t busy : busy_) {
            kill(busy, SIGKILL);
            waitpid(busy, nullptr, 0);
        }
        sched_setaffinity(0, sizeof all_, &all_);
        usleep(1200 * 1000);
    }
    ProcessorCondition(const ProcessorCondition&) = delete;
    ProcessorCondition& operator=(const ProcessorCondition&) = delete;

private:
    cpu_set_t all_;
    std::vector<pid_t> busy_;
};

struct ContendedFigures {
    double askNs = 0, paintNs = 0;
};

// A DoPlay in which the engine asks one host service, and the filled 1080p repaint.
ContendedFigures MeasureContended(Mode mode, Processors processors) {
    ProcessorCondition condition(processors);
    Use(mode);
    ContendedFigures figures;
    {
        BenchWindow window(640, 480);
        if (window->GetInstanceRecord() == nullptr) std::abort();
        window->SetVariable("ask", "1");
        figures.askNs = MedianNs(500, [&] { window->DoPlay(); });
    }
    {
        BenchWindow window(kFullWidth, kFullHeight);
        figures.paintNs = MedianNs(50, [&] { window->DrawArea(AreaRect{0, kFullWidth, 0, kFullHeight}); });
    }
    return figures;
}

void ReportContended(const std::string& path) {
    auto us = [](double ns) { return ResultTable::Format(ns / 1000, "us"); };
    auto ms = [](double ns) { return ResultTable::Format(ns / 1e6, "ms"); };
    ResultTable table(
        "A call that serves one request, and the 1080p repaint, as the processors allow (headless backend, no-op "
        "engine; the engine process spins only where the process may use two processors)");
    for (Processors processors : {Processors::Idle, Processors::OneCore, Processors::AllBusy}) {
        ContendedFigures in = MeasureContended(Mode::InProcess, processors);
        for (Mode mode : {Mode::SharedMemory, Mode::Pipes}) {
            ContendedFigures out = MeasureContended(mode, processors);
            std::string how = std::string(mode == Mode::Pipes ? "pipes" : "shared memory") + ", " +
                              Describe(processors);
            bool oneCore = processors == Processors::OneCore;
            table.Add({"DoPlay serving one request (" + how + ")", us(out.askNs), "in process: " + us(in.askNs),
                       out.askNs / in.askNs, oneCore ? "<= 50 us" : "none (reported)", !oneCore || out.askNs <= 50000});
            table.Add({"full repaint 1920 x 1080, the engine fills (" + how + ", throughput)", ms(out.paintNs),
                       "in process: " + ms(in.paintNs), in.paintNs / out.paintNs, oneCore ? ">= 0.83 (1.2 x)" : "none (reported)",
                       !oneCore || in.paintNs / out.paintNs >= 1 / 1.2});
        }
    }
    table.Write(path);
}

int CountEntries(const char* directory) {
    int count = 0;
    if (DIR* dir = opendir(directory)) {
        while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

// The ids of this process's children that are still there (running or not
// reaped); false when the list cannot be read.
bool Children(std::vector<int>* children) {
    std::string path = "/proc/self/task/" + std::to_string(getpid()) + "/children";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return false;
    int pid = 0;
    while (std::fscanf(file, "%d", &pid) == 1) children->push_back(pid);
    std::fclose(file);
    return true;
}

// CPU seconds a process has used: this one, or a child by its id.
double CpuSeconds(int pid) {
    std::string path = pid ? "/proc/" + std::to_string(pid) + "/stat" : "/proc/self/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file) return -1;
    char text[1024] = {};
    size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    std::string stat(text, length);
    size_t at = stat.rfind(')');  // fields after the command's name: state is the 3rd, utime the 14th
    unsigned long user = 0, system = 0;
    if (at == std::string::npos ||
        std::sscanf(stat.c_str() + at + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        return -1;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Both processes' share of a core over 10 s with a widget open and nothing asked of it.
struct IdleFigures {
    double library = 0, engine = 0;
};

IdleFigures MeasureIdle() {
    Use(Mode::SharedMemory);
    BenchWindow window(640, 480);
    std::vector<int> children;
    int child = Children(&children) && !children.empty() ? children[0] : 0;
    double libraryBefore = CpuSeconds(0), engineBefore = CpuSeconds(child);
    sleep(10);
    return {(CpuSeconds(0) - libraryBefore) / 10, (CpuSeconds(child) - engineBefore) / 10};
}

struct CycleFigures {
    int cycles = 0;
    double firstHundredMs = 0, lastHundredMs = 0, perCycleMs = 0;
    std::vector<long long> heapByThousand;  // heap in use after each thousand cycles, in room taken before
    long long heapBefore = 0, heapAfter = 0;
    int fdsBefore = 0, fdsAfter = 0, childrenAfter = 0, gdiBefore = 0, gdiAfter = 0;
};

// Each cycle starts an engine process; odd cycles end it by a crash inside
// DoPlay, even ones by destroying the window.
CycleFigures RunStartsAndDeaths(int cycles) {
    Use(Mode::SharedMemory);
    RecordingEngineClient recording("recording");
    auto cycle = [&](int i) {
        recording.reset();
        {
            BenchWindow window(120, 90, "recording");
            if (i % 2) {
                recording.setRaise(kDoPlay, kRaiseAbort);
                if (window->DoPlay() || window->GetInstanceRecord()) std::abort();
            }
        }
        headless::RunUntilIdle();
    };
    cycle(0);
    cycle(1);
    CycleFigures figures;
    figures.cycles = cycles;
    figures.heapByThousand.reserve(static_cast<size_t>(cycles / 1000));
    figures.heapBefore = static_cast<long long>(mallinfo2().uordblks);
    figures.fdsBefore = CountEntries("/proc/self/fd");
    figures.gdiBefore = headless::CountLiveGdiObjects();
    auto start = std::chrono::steady_clock::now(), slice = start;
    for (int i = 0; i < cycles; ++i) {
        cycle(i);
        if ((i + 1) % 100 == 0) {
            auto now = std::chrono::steady_clock::now();
            double ms = std::chrono::duration<double, std::milli>(now - slice).count();
            if (i + 1 == 100) figures.firstHundredMs = ms;
            if (i + 1 == cycles) figures.lastHundredMs = ms;
            slice = now;
        }
        if ((i + 1) % 1000 == 0) figures.heapByThousand.push_back(static_cast<long long>(mallinfo2().uordblks));
    }
    auto end = std::chrono::steady_clock::now();
    figures.perCycleMs = std::chrono::duration<double, std::milli>(end - start).count() / cycles;
    figures.heapAfter = static_cast<long long>(mallinfo2().uordblks);
    figures.fdsAfter = CountEntries("/proc/self/fd");
    std::vector<int> children;
    figures.childrenAfter = Children(&children) ? static_cast<int>(children.size()) : -1;
    figures.gdiAfter = headless::CountLiveGdiObjects();
    return figures;
}

void Report(const ModeFigures& in, const ModeFigures& out, const ModeFigures& pipes, const IdleFigures& idle,
            const CycleFigures& life, const std::string& path) {
    auto us = [](double ns) { return ResultTable::Format(ns / 1000, "us"); };
    auto ms = [](double ns) { return ResultTable::Format(ns / 1e6, "ms"); };
    ResultTable costs(
        "The engine in a process of its own over shared memory, against in process and against pipes (headless "
        "backend, no-op engine)");
    costs.Add({"an engine call's round trip (DoPlay)", us(out.callNs),
               "in process: " + us(in.callNs) + "; pipes: " + us(pipes.callNs), out.callNs / in.callNs, "<= 1 us",
               out.callNs <= 1000});
    costs.Add({"full repaint 1920 x 1080: the engine fills the shared buffer, BlitRect, copy (throughput)",
               ms(out.paintNs), "in process: " + ms(in.paintNs) + "; pipes: " + ms(pipes.paintNs),
               in.paintNs / out.paintNs, ">= 0.95", in.paintNs / out.paintNs >= 0.95});
    costs.Add({"the same repaint, the engine does not fill (the host's share)", ms(out.paintShareNs),
               "in process: " + ms(in.paintShareNs) + "; pipes: " + ms(pipes.paintShareNs),
               in.paintShareNs / out.paintShareNs, ">= 0.95", in.paintShareNs / out.paintShareNs >= 0.95});
    // The floor: the move's two engine calls (two round trips, the text and
    // the reply carried) made without the window.
    costs.Add({"WM_MOUSEMOVE through the window (HandleEvent and CallFunction2, two round trips)", us(out.moveNs),
               "the same two calls without the window: " + us(out.moveCallsNs) + " (in process: " + us(in.moveNs) +
                   "; pipes: " + us(pipes.moveNs) + ")",
               out.moveNs / out.moveCallsNs, "<= 1.15", out.moveNs <= 1.15 * out.moveCallsNs});
    costs.Add({"SetVariable with a 64 MiB value (through a 1 MiB ring: the writer waits for room, woken by the reader)",
               ms(out.longValueNs), "in process: " + ms(in.longValueNs) + "; pipes: " + ms(pipes.longValueNs),
               out.longValueNs / in.longValueNs, "none (reported)", true});
    char idleText[64];
    std::snprintf(idleText, sizeof idleText, "%.2f %% / %.2f %%", idle.library * 100, idle.engine * 100);
    costs.Add({"a widget open, idle for 10 s: the library's / the engine process's CPU", idleText, "a core: 100 %",
               std::max(idle.library, idle.engine), "under 1 % each", idle.library < 0.01 && idle.engine < 0.01});
    costs.Write(path);

    ResultTable cycles(std::to_string(life.cycles / 1000) +
                       ",000 engine processes started and ended (half by abort inside DoPlay, half by closing)");
    cycles.Add({"per start and end", ResultTable::Format(life.perCycleMs, "ms"),
                "first hundred: " + ResultTable::Format(life.firstHundredMs / 100, "ms"),
                life.lastHundredMs / life.firstHundredMs, "last hundred <= 1.10 x first",
                life.lastHundredMs <= 1.10 * life.firstHundredMs});
    cycles.Add(HeapRow("heap in use after", life.heapBefore, life.heapByThousand, life.heapAfter));
    cycles.Add({"open descriptors / child processes / GDI objects after",
                std::to_string(life.fdsAfter) + " / " + std::to_string(life.childrenAfter) + " / " +
                    std::to_string(life.gdiAfter),
                "before: " + std::to_string(life.fdsBefore) + " / 0 / " + std::to_string(life.gdiBefore),
                life.fdsBefore ? static_cast<double>(life.fdsAfter) / life.fdsBefore : 1.0, "end where they began",
                life.fdsAfter == life.fdsBefore && life.childrenAfter == 0 && life.gdiAfter == life.gdiBefore});
    cycles.Write(path, "Heap in use (bytes) after so many thousand engine processes: " +
                           HeapByThousand(life.heapByThousand) + ".");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 3 && std::string(argv[2]) == "processors")) {
        std::fprintf(stderr, "usage: engine_process_bench RESULTS_FRAGMENT [processors]\n");
        return 2;
    }
    if (argc == 3) {  // that table alone
        ReportContended(argv[1]);
        return 0;
    }
    ModeFigures inProcess = MeasureMode(Mode::InProcess);
    ModeFigures pipes = MeasureMode(Mode::Pipes);
    ModeFigures engineProcess = MeasureMode(Mode::SharedMemory);
    CycleFigures life = RunStartsAndDeaths(10000);
    IdleFigures idle = MeasureIdle();
    Report(inProcess, engineProcess, pipes, idle, life, argv[1]);
    ReportContended(argv[1]);
    return 0;
}
