// The full repaint of a 1920 x 1080 host window under Wine, against the
// same frame without a host: the engine's own fill and the host's blit of
// the back buffer to the window made by hand. Google Benchmark is not built for Windows here, so this program
// uses the same method by hand: each repetition runs for a minimum time, and
// the figure is the median of the repetitions.
// Then the same repaint with the engine in a process of its own, against
// the first, and, given the 32-bit build's engines, with the 32-bit engine.
// Usage: paint_bench.exe RESULTS_FRAGMENT [32-BIT ENGINES FOLDER]
#include <RecordingEngineClient.h>
#include <VantraPlayerWnd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "ResultTable.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kMinSeconds = 0.5;
constexpr int kRepetitions = 9;

// Nanoseconds per run of `body` over one repetition of at least kMinSeconds.
double NanosecondsPerRun(const std::function<void()>& body) {
    auto start = std::chrono::steady_clock::now();
    long runs = 0;
    double elapsed = 0;
    do {
        body();
        GdiFlush();
        ++runs;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } while (elapsed < kMinSeconds);
    return elapsed * 1e9 / static_cast<double>(runs);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Nanoseconds per run of `body`: the median of the repetitions.
double MedianNanoseconds(const std::function<void()>& body) {
    std::vector<double> perRun;
    for (int repetition = 0; repetition < kRepetitions; ++repetition) perRun.push_back(NanosecondsPerRun(body));
    return Median(perRun);
}

// A figure taken in turn with others: `prepare` sets the engine up for it, untimed.
struct TimedInTurn {
    std::function<void()> prepare;
    std::function<void()> body;
};

// The medians of several figures whose repetitions are taken in turn, so
// that the machine's drift over the run falls on each of them alike; every
// other round in the opposite order, as a figure taken after another can
// be a few per cent slower or faster for it (seen under Wine).
std::vector<double> MedianNanosecondsInTurn(const std::vector<TimedInTurn>& figures) {
    std::vector<std::vector<double>> perRun(figures.size());
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        for (size_t k = 0; k < figures.size(); ++k) {
            size_t i = repetition % 2 == 0 ? k : figures.size() - 1 - k;
            if (figures[i].prepare) figures[i].prepare();
            perRun[i].push_back(NanosecondsPerRun(figures[i].body));
        }
    }
    std::vector<double> medians;
    for (const auto& runs : perRun) medians.push_back(Median(runs));
    return medians;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

HWND CreateTopLevel() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"PaintBenchTopLevel";
    RegisterClassW(&windowClass);
    RECT frame{0, 0, kWidth, kHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    return CreateWindowExW(0, L"PaintBenchTopLevel", L"paint bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN,
                           0, 0, frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

const std::string& LongValue() {
    static const std::string value(size_t{64} << 20, 'v');
    return value;
}

// What a long value costs to copy at all: into the ring and out of it.
double LongCopyNs() {
    static const double ns = [] {
        std::vector<char> target(LongValue().size());
        return MedianNanoseconds([&] {
            std::memcpy(target.data(), LongValue().data(), target.size());
            std::memcpy(target.data(), LongValue().data(), target.size());
        });
    }();
    return ns;
}

std::string PerFrame(double ns) { return ResultTable::Format(ns / 1e6, "ms/frame"); }

// The figures of a window whose engine runs in a process of its own.
struct RemoteFigures {
    double fill = 0;   // ns per full repaint, the engine filling
    double share = 0;  // the same, the engine not filling
    double call = 0;   // ns per DoPlay
    double longText = 0;  // ns per SetVariable of a 64 MiB value (shared memory only)
};


// A host window of the full size with the engine of the folder, shown; null when it cannot be made.
CPlayerWnd* OpenWindow(HWND parent, const std::u16string& folderText) {
    auto* window = new CPlayerWnd();
    window->SetPlayerFolder(folderText);
    if (!parent || !window->CreateHostWindow(parent)) return nullptr;
    ShowWindow(window->GetSafeHwnd(), SW_SHOWNORMAL);
    MoveWindow(window->GetSafeHwnd(), 0, 0, kWidth, kHeight, TRUE);
    Pump();
    return window;
}

// The engine is released with its last window.
void CloseHostWindow(CPlayerWnd* window) {
    window->StopPlay();
    window->DestroyWindow();
    window->DeleteWhenSafe();
}

bool MeasureEngineProcess(HWND parent, const std::u16string& folderText, RemoteFigures* figures, bool longText) {
    CPlayerWnd* window = OpenWindow(parent, folderText);
    if (!window || !window->GetInstanceRecord()) return false;
    const AreaRect all{0, kWidth, 0, kHeight};
    window->SetVariable("fill", "1");
    figures->fill = MedianNanoseconds([&] { window->DrawArea(all); });
    window->SetVariable("fill", "0");
    figures->share = MedianNanoseconds([&] { window->DrawArea(all); });
    figures->call = MedianNanoseconds([&] { window->DoPlay(); });
    if (longText) figures->longText = MedianNanoseconds([&] { window->SetVariable("text", LongValue().c_str()); });
    CloseHostWindow(window);
    return true;
}

// Over shared memory, beside in process and over pipes.
void AddRemoteFigures(ResultTable& table, const RemoteFigures& remote, const RemoteFigures& pipes, double host,
                      double share) {
    table.Add({"full repaint 1920 x 1080: engine fills the shared back buffer, BlitRect, BitBlt", PerFrame(remote.fill),
               "in process: " + PerFrame(host) + "; pipes: " + PerFrame(pipes.fill), host / remote.fill, ">= 0.8",
               host / remote.fill >= 0.8});
    table.Add({"the same repaint, engine does not fill", PerFrame(remote.share),
               "in process: " + PerFrame(share) + "; pipes: " + PerFrame(pipes.share), share / remote.share, ">= 0.8",
               share / remote.share >= 0.8});
    table.Add({"an engine call's round trip (DoPlay) under Wine", ResultTable::Format(remote.call / 1000, "us"),
               "pipes: " + ResultTable::Format(pipes.call / 1000, "us"), remote.call / pipes.call, "<= 10 us",
               remote.call <= 10e3});
    // 64 MiB through a 1 MiB ring: the writer waits for room 64 times, woken
    // by the reader (with 1 ms naps, each rounded up to the timer's tick on Windows).
    table.Add({"SetVariable with a 64 MiB value under Wine", ResultTable::Format(remote.longText / 1e6, "ms"),
               "memcpy of 64 MiB twice: " + ResultTable::Format(LongCopyNs() / 1e6, "ms"),
               remote.longText / LongCopyNs(), "none (reported)", true});
}

// The same window over both transports.
bool MeasureBothTransports(HWND parent, const std::u16string& folderText, RemoteFigures* shared, RemoteFigures* pipes) {
    SetEnvironmentVariableW(L"VANTRA_PLAYER_ENGINE_CHANNEL", L"pipes");
    bool measured = MeasureEngineProcess(parent, folderText, pipes, false);
    SetEnvironmentVariableW(L"VANTRA_PLAYER_ENGINE_CHANNEL", nullptr);
    return measured && MeasureEngineProcess(parent, folderText, shared, true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND parent = CreateTopLevel();
    CPlayerWnd* window = OpenWindow(parent, RecordingEngineClient::FolderText("noop"));
    if (!window) return 1;
    const AreaRect all{0, kWidth, 0, kHeight};
    HWND hwnd = window->GetSafeHwnd();
    auto engineSettings = [window](const char* fill, const char* blit) {
        return [window, fill, blit] {
            window->SetVariable("fill", fill);
            window->SetVariable("blit", blit);
        };
    };

    // The memory DC kept, as the host keeps one; no other DC of the window
    // is held while the figures are taken, as none is while the host paints.
    HDC windowDC = GetDC(hwnd);
    HDC keptDC = CreateCompatibleDC(windowDC);
    ReleaseDC(hwnd, windowDC);

    // The host's BlitRect made by hand, without engine or host: the window
    // DC taken, the back buffer selected into a kept memory DC (the engine
    // may ask for the bitmap to select it itself, so it is not left there),
    // the BitBlt, and both given back, as a program painting its window
    // outside a paint must.
    auto blitRectByHand = [&] {
        HDC dc = GetDC(hwnd);
        HGDIOBJ old = SelectObject(keptDC, window->GetBackBufferBitmap());
        BitBlt(dc, 0, 0, kWidth, kHeight, keptDC, 0, 0, SRCCOPY);
        SelectObject(keptDC, old);
        ReleaseDC(hwnd, dc);
    };
    // What the frame costs without a host is the engine's own fill (the
    // engine told not to blit), then that copy.
    std::vector<double> figures = MedianNanosecondsInTurn({
        {engineSettings("1", "1"), [&] { window->DrawArea(all); }},
        {engineSettings("0", "1"), [&] { window->DrawArea(all); }},
        {nullptr, blitRectByHand},
        {engineSettings("1", "0"), [&] { window->DrawArea(all); }},
    });
    double host = figures[0], share = figures[1], copy = figures[2], engineFill = figures[3];

    // Where the floor's time goes: the copy alone (a DIB section of the same
    // size through a DC held), the window DC, the selects.
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    windowDC = GetDC(hwnd);
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    std::fill_n(static_cast<uint32_t*>(bits), kWidth * kHeight, 0x336699u);
    double bare = MedianNanoseconds([&] { BitBlt(windowDC, 0, 0, kWidth, kHeight, memoryDC, 0, 0, SRCCOPY); });
    double windowDCs = MedianNanoseconds([&] { ReleaseDC(hwnd, GetDC(hwnd)); });
    double selects = MedianNanoseconds([&] {
        HGDIOBJ old = SelectObject(keptDC, window->GetBackBufferBitmap());
        SelectObject(keptDC, old);
    });
    double memoryDCs = MedianNanoseconds([&] {
        HDC dc = CreateCompatibleDC(windowDC);
        HGDIOBJ old = SelectObject(dc, window->GetBackBufferBitmap());
        SelectObject(dc, old);
        DeleteDC(dc);
    });
    DeleteDC(keptDC);
    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
    ReleaseDC(hwnd, windowDC);

    ResultTable table(
        "Full repaint under Wine (64-bit build, Xvfb; median of 9 repetitions of at least 0.5 s, each row's figures "
        "taken in turn)");
    table.Add({"full repaint 1920 x 1080: engine fills, BlitRect, BitBlt to the window", PerFrame(host),
               "the engine's fill alone, then the same BlitRect made by hand: " + PerFrame(engineFill + copy),
               (engineFill + copy) / host, ">= 0.95", (engineFill + copy) / host >= 0.95});
    table.Add({"the same repaint, engine does not fill (the host's share)", PerFrame(share),
               "the same BlitRect made by hand (window DC taken, back buffer selected, BitBlt): " + PerFrame(copy) +
                   "; bare BitBlt: " + PerFrame(bare),
               copy / share, ">= 0.95", copy / share >= 0.95});
    char notes[512];
    std::snprintf(notes, sizeof notes,
                  "Per BlitRect the host takes the window DC (GetDC/ReleaseDC alone: %.1f us here) and selects the "
                  "back buffer into the memory DC it keeps and out again (%.1f us; a memory DC made for each "
                  "blit would cost %.1f us). The first BitBlt through a DC just taken costs more than the two "
                  "apart: the BlitRect made by hand is %.1f us over the bare BitBlt plus both. The engine's fill "
                  "alone: %.2f ms a frame.",
                  windowDCs / 1000, selects / 1000, memoryDCs / 1000, (copy - bare - windowDCs - selects) / 1000,
                  engineFill / 1e6);
    table.Write(argv[1], notes);

    // The engine is loaded again, in its own process, for the next window.
    CloseHostWindow(window);
    SetEnvironmentVariableW(L"VANTRA_PLAYER_ENGINE_HOST", L"process");
    RemoteFigures remote, pipes;
    if (!MeasureBothTransports(parent, RecordingEngineClient::FolderText("noop"), &remote, &pipes)) return 1;
    ResultTable process(
        "Full repaint under Wine with the engine in a process of its own over shared memory, against in process "
        "and pipes (same method)");
    AddRemoteFigures(process, remote, pipes, host, share);
    process.Write(argv[1]);
    SetEnvironmentVariableW(L"VANTRA_PLAYER_ENGINE_HOST", nullptr);

    if (argc > 2) {  // the 32-bit engine, which the 64-bit library runs in VantraPlayerEngineHost32.exe
        std::string folder = argv[2];
        RemoteFigures cross, crossPipes;
        if (!MeasureBothTransports(parent, u"/" + std::u16string(folder.begin(), folder.end()) + u"/noop/", &cross,
                                   &crossPipes))
            return 1;
        ResultTable table(
            "Full repaint under Wine: the 32-bit engine behind the 64-bit library (VantraPlayerEngineHost32.exe), "
            "as on a current JVM (same method)");
        AddRemoteFigures(table, cross, crossPipes, host, share);
        table.Write(argv[1]);
    }
    DestroyWindow(parent);
    return 0;
}
