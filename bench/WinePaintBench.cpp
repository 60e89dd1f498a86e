// The full repaint of a 1920 x 1080 host window under Wine, against a bare
// BitBlt of a DIB section of that size to the same window in the same
// process. Google Benchmark is not built for Windows here, so this program
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

// Nanoseconds per run of `body`: the median of the repetitions.
double MedianNanoseconds(const std::function<void()>& body) {
    std::vector<double> perRun;
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        auto start = std::chrono::steady_clock::now();
        long runs = 0;
        double elapsed = 0;
        do {
            body();
            GdiFlush();
            ++runs;
            elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (elapsed < kMinSeconds);
        perRun.push_back(elapsed * 1e9 / static_cast<double>(runs));
    }
    std::sort(perRun.begin(), perRun.end());
    return perRun[perRun.size() / 2];
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

    window->SetVariable("fill", "1");
    double host = MedianNanoseconds([&] { window->DrawArea(all); });
    window->SetVariable("fill", "0");
    double share = MedianNanoseconds([&] { window->DrawArea(all); });

    // The floor: a DIB section of the same size, copied to the same window.
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC windowDC = GetDC(window->GetSafeHwnd());
    HBITMAP bitmap = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memoryDC = CreateCompatibleDC(windowDC);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);
    std::fill_n(static_cast<uint32_t*>(bits), kWidth * kHeight, 0x336699u);
    double bare = MedianNanoseconds([&] { BitBlt(windowDC, 0, 0, kWidth, kHeight, memoryDC, 0, 0, SRCCOPY); });
    // What the frame costs without a host: the engine's own fill (the engine
    // told not to blit), then a BitBlt of the frame through the window's DC,
    // taken and given back as a program that paints its window must.
    window->SetVariable("fill", "1");
    window->SetVariable("blit", "0");
    double engineFill = MedianNanoseconds([&] { window->DrawArea(all); });
    window->SetVariable("blit", "1");
    double blitThroughDC = MedianNanoseconds([&] {
        HDC dc = GetDC(window->GetSafeHwnd());
        BitBlt(dc, 0, 0, kWidth, kHeight, memoryDC, 0, 0, SRCCOPY);
        ReleaseDC(window->GetSafeHwnd(), dc);
    });
    double frame = engineFill + blitThroughDC;
    // Where the rest of the host's share goes: the DCs it takes for each BlitRect.
    double windowDCs = MedianNanoseconds([&] { ReleaseDC(window->GetSafeHwnd(), GetDC(window->GetSafeHwnd())); });
    HDC keptDC = CreateCompatibleDC(windowDC);
    double selects = MedianNanoseconds([&] {
        HGDIOBJ old = SelectObject(keptDC, window->GetBackBufferBitmap());
        SelectObject(keptDC, old);
    });
    DeleteDC(keptDC);
    double memoryDCs = MedianNanoseconds([&] {
        HDC dc = CreateCompatibleDC(windowDC);
        HGDIOBJ old = SelectObject(dc, window->GetBackBufferBitmap());
        SelectObject(dc, old);
        DeleteDC(dc);
    });
    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    DeleteObject(bitmap);
    ReleaseDC(window->GetSafeHwnd(), windowDC);

    ResultTable table("Full repaint under Wine (64-bit build, Xvfb; median of 9 repetitions of at least 0.5 s)");
    table.Add({"full repaint 1920 x 1080: engine fills, BlitRect, BitBlt to the window", PerFrame(host),
               "the engine's fill alone, then a BitBlt of a DIB section through the window's DC: " + PerFrame(frame), frame / host,
               ">= 0.95", frame / host >= 0.95});
    // A BlitRect takes the window DC and selects the back buffer in and out
    // (the engine may ask for the bitmap to select it itself): the floor of
    // the host's share is the bare BitBlt and those.
    double shareFloor = bare + windowDCs + selects;
    table.Add({"the same repaint, engine does not fill (the host's share)", PerFrame(share),
               "bare BitBlt: " + PerFrame(bare) + "; with the window DC taken and the buffer selected: " +
                   PerFrame(shareFloor),
               shareFloor / share, ">= 0.95", shareFloor / share >= 0.95});
    char notes[320];
    std::snprintf(notes, sizeof notes,
                  "Per BlitRect the host takes the window DC (GetDC/ReleaseDC: %.1f us here) and selects the "
                  "back buffer into the memory DC it keeps and out again (%.1f us; a memory DC made for each "
                  "blit would cost %.1f us). The engine's fill alone: %.2f ms a frame.",
                  windowDCs / 1000, selects / 1000, memoryDCs / 1000, engineFill / 1e6);
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
