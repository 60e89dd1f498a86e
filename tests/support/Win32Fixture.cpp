#include "Win32Fixture.h"

#include <algorithm>

#ifndef _WIN32
#include <headless_control.h>
#endif

Win32Fixture* Win32Fixture::current = nullptr;

namespace {
const char16_t kRecordingClass[] = u"ConformanceRecorder";
const char16_t kTopLevelClass[] = u"ConformanceTopLevel";

void RegisterOnce(const char16_t* name, WNDPROC proc, UINT style, HBRUSH brush) {
    WNDCLASSEXW wc{};
    HINSTANCE module = ModuleOfAddress(reinterpret_cast<const void*>(&RegisterOnce));
    if (GetClassInfoExW(module, AsWide(name), &wc)) return;
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = brush;
    wc.lpszClassName = AsWide(name);
    ASSERT_NE(RegisterClassExW(&wc), 0);
}
}  // namespace

void Win32Fixture::SetUp() {
    current = this;
    RegisterOnce(kRecordingClass, &Win32Fixture::RecordingProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, nullptr);
#ifdef _WIN32
    RegisterOnce(kTopLevelClass, &DefWindowProcW, 0, nullptr);
    static HWND sharedTopLevel = nullptr;
    if (!IsWindow(sharedTopLevel)) {
        HINSTANCE module = ModuleOfAddress(reinterpret_cast<const void*>(&RegisterOnce));
        sharedTopLevel = CreateWindowExW(0, AsWide(kTopLevelClass), AsWide(u"conformance"), WS_POPUP | WS_VISIBLE,
                                         kTopLeft, kTopLeft, 400, 300, nullptr, nullptr, module, nullptr);
        SetForegroundWindow(sharedTopLevel);
    }
    topLevel = sharedTopLevel;
#else
    (void)kTopLevelClass;
    headless::Reset();
    topLevel = headless::CreateTopLevelWindow(kTopLeft, kTopLeft, 400, 300);
#endif
    ASSERT_NE(topLevel, nullptr);
    Pump();
    ClearRecord();
}

void Win32Fixture::TearDown() {
    onMessage = nullptr;
#ifdef _WIN32
    // The top-level window stays for the next test of the process: under
    // Wine, hiding a top-level window can wait seconds for the X server.
    while (HWND child = GetWindow(topLevel, GW_CHILD)) DestroyWindow(child);
#else
    if (IsWindow(topLevel)) DestroyWindow(topLevel);
#endif
    Pump();
    current = nullptr;
}

HWND Win32Fixture::CreateChild(DWORD style, int x, int y, int width, int height, HWND parent) {
    HINSTANCE module = ModuleOfAddress(reinterpret_cast<const void*>(&RegisterOnce));
    return CreateWindowExW(0, AsWide(kRecordingClass), nullptr, style | WS_CHILD, x, y, width, height,
                           parent ? parent : topLevel, nullptr, module, nullptr);
}

LRESULT CALLBACK Win32Fixture::RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (current) {
        current->record.push_back(RecordedMessage{hwnd, message, wParam, lParam});
        LRESULT result = 0;
        if (current->onMessage && current->onMessage(hwnd, message, wParam, lParam, &result)) return result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::vector<UINT> Win32Fixture::Messages(HWND hwnd, std::initializer_list<UINT> wanted) const {
    std::vector<UINT> result;
    for (const RecordedMessage& m : record) {
        if ((hwnd && m.hwnd != hwnd) || std::find(wanted.begin(), wanted.end(), m.message) == wanted.end()) continue;
        result.push_back(m.message);
    }
    return result;
}

std::vector<RecordedMessage> Win32Fixture::Recorded(HWND hwnd, UINT message) const {
    std::vector<RecordedMessage> result;
    for (const RecordedMessage& m : record) {
        if ((!hwnd || m.hwnd == hwnd) && m.message == message) result.push_back(m);
    }
    return result;
}

void Win32Fixture::ClearRecord() { record.clear(); }

void Win32Fixture::Pump() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the test
            break;
        }
        DispatchMessageW(&msg);
    }
}

bool Win32Fixture::PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        Pump();
        if (condition()) return true;
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
        Sleep(10);
    }
}

void Win32Fixture::MovePointer(int screenX, int screenY) {
#ifdef _WIN32
    SetCursorPos(screenX, screenY);
#else
    headless::MoveMouse(screenX, screenY);
#endif
}

BITMAPINFO TopDownDibInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits) {
    BITMAPINFO info = TopDownDibInfo(width, height);
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}
