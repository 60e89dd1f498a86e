// Focus, mouse capture, leave tracking, key state, and injected input.
#include "Backend.h"

#include <cstdlib>

namespace headless {

namespace {

HWND DeepestAt(const std::vector<HWND>& level, POINT screen) {
    Backend& b = Backend::Get();
    for (auto it = level.rbegin(); it != level.rend(); ++it) {  // top of the z-order first
        Window* w = b.FindWindow(*it);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        RECT onScreen;
        GetWindowRect(*it, &onScreen);
        if (!PtInRect(&onScreen, screen)) continue;
        HWND child = DeepestAt(w->children, screen);
        return child ? child : *it;
    }
    return nullptr;
}

}  // namespace

HWND WindowFromScreenPoint(POINT screen) { return DeepestAt(Backend::Get().topLevels, screen); }

// Posts WM_MOUSELEAVE when the pointer is no longer over the tracked window;
// tracking ends with it, as in Win32.
bool CheckLeaveTracking() {
    Backend& b = Backend::Get();
    HWND tracked = b.trackedForLeave;
    if (!tracked || WindowFromScreenPoint(b.cursor) == tracked) return false;
    b.trackedForLeave = nullptr;
    PostMessageW(tracked, WM_MOUSELEAVE, 0, 0);
    return true;
}

}  // namespace headless

using namespace headless;

extern "C" HWND GetFocus() { return Backend::Get().focus; }

extern "C" HWND SetFocus(HWND hwnd) {
    Backend& b = Backend::Get();
    if (hwnd && !b.FindWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND previous = b.focus;
    if (previous == hwnd) return previous;
    b.focus = hwnd;
    if (previous && IsWindow(previous)) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && IsWindow(hwnd) && b.focus == hwnd) {
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

extern "C" HWND GetCapture() { return Backend::Get().capture; }

extern "C" HWND SetCapture(HWND hwnd) {
    Backend& b = Backend::Get();
    if (hwnd && !b.FindWindow(hwnd)) return nullptr;
    HWND previous = b.capture;
    b.capture = hwnd;
    // Sent at once, after the change, to the window that lost the capture.
    if (previous && previous != hwnd && IsWindow(previous)) {
        SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return previous;
}

extern "C" BOOL ReleaseCapture() {
    Backend& b = Backend::Get();
    HWND previous = b.capture;
    b.capture = nullptr;
    if (previous && IsWindow(previous)) SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

extern "C" BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track) {
    Backend& b = Backend::Get();
    if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!b.FindWindow(track->hwndTrack)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(track->dwFlags & TME_LEAVE)) return TRUE;
    if (track->dwFlags & TME_CANCEL) {
        if (b.trackedForLeave == track->hwndTrack) b.trackedForLeave = nullptr;
        return TRUE;
    }
    b.trackedForLeave = track->hwndTrack;
    CheckLeaveTracking();  // not over the window: the leave comes at once
    return TRUE;
}

extern "C" SHORT GetKeyState(int virtualKey) {
    BYTE state = Backend::Get().keyState[virtualKey & 0xFF];
    return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

extern "C" BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = Backend::Get().cursor;
    return TRUE;
}

extern "C" UINT GetDoubleClickTime() { return 500; }

// ---- injected input --------------------------------------------------------------

namespace headless {

namespace {

constexpr int kDoubleClickDistance = 4;

bool KeyDown(int vk) { return (Backend::Get().asyncKeyState[vk] & 0x80) != 0; }

void SetAsyncKey(int vk, bool down) {
    BYTE& state = Backend::Get().asyncKeyState[vk & 0xFF];
    state = down ? static_cast<BYTE>(state | 0x80) : static_cast<BYTE>(state & ~0x80);
}

// The button and modifier word of mouse messages, after the given change.
WPARAM MouseKeyState(int changedKey, bool down) {
    auto isDown = [&](int vk) { return vk == changedKey ? down : KeyDown(vk); };
    WPARAM state = 0;
    if (isDown(VK_LBUTTON)) state |= MK_LBUTTON;
    if (isDown(VK_RBUTTON)) state |= MK_RBUTTON;
    if (isDown(VK_SHIFT)) state |= MK_SHIFT;
    if (isDown(VK_CONTROL)) state |= MK_CONTROL;
    return state;
}

void QueueInput(HWND target, UINT message, WPARAM wParam, LPARAM lParam, int stateKey, bool stateDown) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(target);
    if (!w) return;
    QueuedMessage m;
    m.msg = MSG{target, message, wParam, lParam, GetTickCount(), b.cursor};
    m.isInput = true;
    m.stateKey = stateKey;
    m.stateDown = stateDown;
    PostToQueue(w->threadId, m, true);
}

HWND MouseTarget() {
    Backend& b = Backend::Get();
    return b.capture ? b.capture : WindowFromScreenPoint(b.cursor);
}

LPARAM ClientPoint(HWND target) {
    POINT p = Backend::Get().cursor;
    ScreenToClient(target, &p);
    return MAKELPARAM(p.x, p.y);
}

bool IsDoubleClick(HWND target, UINT downMessage) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(target);
    const ClickMemory& last = b.lastClick;
    return w && (w->windowClass->info.style & CS_DBLCLKS) && last.window == target && last.downMessage == downMessage &&
           GetTickCount() - last.time <= GetDoubleClickTime() &&
           std::abs(last.screenPoint.x - b.cursor.x) <= kDoubleClickDistance / 2 &&
           std::abs(last.screenPoint.y - b.cursor.y) <= kDoubleClickDistance / 2;
}

}  // namespace

void MoveMouse(int screenX, int screenY) {
    Backend& b = Backend::Get();
    b.cursor = POINT{screenX, screenY};
    CheckLeaveTracking();
    HWND target = MouseTarget();
    if (target) QueueInput(target, WM_MOUSEMOVE, MouseKeyState(0, false), ClientPoint(target), 0, false);
}

void PressButton(Button button, int screenX, int screenY) {
    Backend& b = Backend::Get();
    MoveMouse(screenX, screenY);
    HWND target = MouseTarget();
    int vk = button == Button::Left ? VK_LBUTTON : VK_RBUTTON;
    UINT down = button == Button::Left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
    UINT message = down;
    if (IsDoubleClick(target, down)) {
        message = button == Button::Left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
        b.lastClick = ClickMemory{};
    } else {
        b.lastClick = ClickMemory{target, down, b.cursor, GetTickCount()};
    }
    SetAsyncKey(vk, true);
    if (target) QueueInput(target, message, MouseKeyState(vk, true), ClientPoint(target), vk, true);
}

void ReleaseButton(Button button, int screenX, int screenY) {
    MoveMouse(screenX, screenY);
    HWND target = MouseTarget();
    int vk = button == Button::Left ? VK_LBUTTON : VK_RBUTTON;
    SetAsyncKey(vk, false);
    if (target) {
        QueueInput(target, button == Button::Left ? WM_LBUTTONUP : WM_RBUTTONUP, MouseKeyState(vk, false),
                   ClientPoint(target), vk, false);
    }
}

void TurnWheel(int delta, int screenX, int screenY) {
    Backend& b = Backend::Get();
    b.cursor = POINT{screenX, screenY};
    CheckLeaveTracking();
    HWND target = b.focus ? b.focus : WindowFromScreenPoint(b.cursor);
    if (target) {
        QueueInput(target, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyState(0, false), delta), MAKELPARAM(screenX, screenY), 0,
                   false);
    }
}

void PressKey(int virtualKey, int repeatCount, int scanCode) {
    Backend& b = Backend::Get();
    bool wasDown = KeyDown(virtualKey & 0xFF);
    LPARAM lParam = (repeatCount & 0xFFFF) | ((scanCode & 0xFF) << 16) | (wasDown ? (1 << 30) : 0);
    SetAsyncKey(virtualKey, true);
    if (b.focus) QueueInput(b.focus, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), lParam, virtualKey & 0xFF, true);
}

void ReleaseKey(int virtualKey, int scanCode) {
    Backend& b = Backend::Get();
    LPARAM lParam = static_cast<LPARAM>(static_cast<DWORD>(1 | ((scanCode & 0xFF) << 16) | (1u << 30) | (1u << 31)));
    SetAsyncKey(virtualKey, false);
    if (b.focus) QueueInput(b.focus, WM_KEYUP, static_cast<WPARAM>(virtualKey), lParam, virtualKey & 0xFF, false);
}

void SetKeyDown(int virtualKey, bool down) {
    SetAsyncKey(virtualKey, down);
    BYTE& state = Backend::Get().keyState[virtualKey & 0xFF];
    state = down ? static_cast<BYTE>(state | 0x80) : static_cast<BYTE>(state & ~0x80);
}

}  // namespace headless
