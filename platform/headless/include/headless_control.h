// Test control of the headless Win32 backend: the things a person or the
// window system would do, for tests and the demo. Screen coordinates equal
// the client coordinates of top-level windows plus their position.
#pragma once

#include <windows.h>

#define HEADLESS_API __attribute__((visibility("default")))

#include <string>
#include <vector>

namespace headless {

// A visible top-level window (no frame, client area = window area), the
// stand-in for the application's own window that hosts child windows.
HEADLESS_API HWND CreateTopLevelWindow(int x, int y, int width, int height);

// Pointer and buttons, at screen points. Messages are queued as input and
// routed as Win32 routes them: to the capture window if any, else the window
// under the point; a tracked window that the pointer leaves gets its
// WM_MOUSELEAVE posted.
enum class Button { Left, Right };
HEADLESS_API void MoveMouse(int screenX, int screenY);
HEADLESS_API void PressButton(Button button, int screenX, int screenY);
HEADLESS_API void ReleaseButton(Button button, int screenX, int screenY);
// Wheel input goes to the focus window, else to the window under the point.
HEADLESS_API void TurnWheel(int delta, int screenX, int screenY);
// Key press or release, to the focus window. repeatCount goes to the low
// word of lParam, scanCode to bits 16-23.
HEADLESS_API void PressKey(int virtualKey, int repeatCount, int scanCode);
HEADLESS_API void ReleaseKey(int virtualKey, int scanCode);
// Key state as GetKeyState reports it, without any message.
HEADLESS_API void SetKeyDown(int virtualKey, bool down);

// Message boxes: the next ones are answered from this queue, in order; with
// the queue empty a box answers its first button (IDOK or IDYES).
struct MessageBoxRecord {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
    int answer;
};
HEADLESS_API void AnswerNextMessageBoxes(const std::vector<int>& answers);
HEADLESS_API std::vector<MessageBoxRecord> TakeShownMessageBoxes();

// A copy of a window's client pixels, 0x00RRGGBB, row by row from the top.
HEADLESS_API std::vector<uint32_t> ReadWindowPixels(HWND hwnd, int* width, int* height);

// The child windows of a window, bottom of the z-order first.
HEADLESS_API std::vector<HWND> ChildWindows(HWND parent);

// Default processing: from WatchDefaultProcessing on, every message that
// reaches DefWindowProcW for the window is kept (hwnd, message and both
// parameters) until taken. Reset stops every watch.
HEADLESS_API void WatchDefaultProcessing(HWND hwnd);
HEADLESS_API std::vector<MSG> TakeDefaultProcessed(HWND hwnd);

// From now until Reset, every BitBlt onto a window waits this long before
// it reads its source, as a slow display would.
HEADLESS_API void DelayBlitsOntoWindows(int milliseconds);

// Every text given to OutputDebugStringW since the last call, oldest first.
HEADLESS_API std::vector<std::u16string> TakeDebugOutput();

// Live counts, to find leaks.
HEADLESS_API int CountLiveDCs();
HEADLESS_API int CountLiveGdiObjects();
HEADLESS_API int CountLiveWindows();

// Dispatches every queued message of the calling thread (posted, input,
// paint) until the queue is empty; returns how many were dispatched. Stops
// early at WM_QUIT, which it leaves for the caller's next PeekMessageW.
HEADLESS_API int RunUntilIdle();

// Destroys every window and forgets all input state, for a fresh test.
HEADLESS_API void Reset();

}  // namespace headless
