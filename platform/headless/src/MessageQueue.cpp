// Sent and posted messages, the per-thread queue, and default processing.
#include <unistd.h>

#include <algorithm>

#include "Backend.h"

namespace headless {

void PostToQueue(DWORD threadId, const QueuedMessage& message, bool input) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    ThreadQueue& queue = b.queues[threadId];
    (input ? queue.input : queue.posted).push_back(message);
    WakeQueue(queue);
}

void WakeQueue(ThreadQueue& queue) {
    uint64_t one = 1;
    if (queue.wakeFd >= 0 && write(queue.wakeFd, &one, sizeof one) < 0) {
        // the counter is full: the waiter wakes anyway
    }
}

void ForgetWindowMessages(HWND hwnd) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    for (auto& entry : b.queues) {
        for (auto* list : {&entry.second.posted, &entry.second.input}) {
            list->erase(std::remove_if(list->begin(), list->end(),
                                       [hwnd](const QueuedMessage& m) { return m.msg.hwnd == hwnd; }),
                        list->end());
        }
    }
}

}  // namespace headless

using namespace headless;

namespace {

bool MatchesFilter(const MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (hwnd == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd) return false;
    } else if (hwnd && !IsSameOrDescendant(hwnd, msg.hwnd)) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool TakeFrom(std::deque<QueuedMessage>& list, HWND hwnd, UINT filterMin, UINT filterMax, bool remove,
              QueuedMessage* out) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!MatchesFilter(it->msg, hwnd, filterMin, filterMax)) continue;
        *out = *it;
        if (remove) list.erase(it);
        return true;
    }
    return false;
}

// A window of this thread that needs painting, parents before children.
HWND FindWindowToPaint(const std::vector<HWND>& level, HWND filter, DWORD thread) {
    Backend& b = Backend::Get();
    for (HWND hwnd : level) {
        Window* w = b.FindWindow(hwnd);
        if (!w || !(w->style & WS_VISIBLE)) continue;
        if (w->hasInvalidArea && w->threadId == thread && (!filter || IsSameOrDescendant(filter, hwnd))) {
            return hwnd;
        }
        if (HWND child = FindWindowToPaint(w->children, filter, thread)) return child;
    }
    return nullptr;
}

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

void ApplyInputState(const QueuedMessage& m) {
    Backend& b = Backend::Get();
    if (!m.stateKey) return;
    BYTE& state = b.keyState[m.stateKey & 0xFF];
    if (m.stateDown) {
        if (!(state & 0x80)) state ^= 0x01;  // toggle on each new press
        state |= 0x80;
    } else {
        state &= static_cast<BYTE>(~0x80);
    }
}

bool TakeQueued(HWND hwnd, UINT filterMin, UINT filterMax, bool remove, QueuedMessage* out) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    ThreadQueue& queue = b.queues[GetCurrentThreadId()];
    if (TakeFrom(queue.posted, hwnd, filterMin, filterMax, remove, out)) return true;
    if (TakeFrom(queue.input, hwnd, filterMin, filterMax, remove, out)) return true;
    bool quitInRange = (filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax);
    if (queue.quitPosted && quitInRange) {
        *out = QueuedMessage{};
        out->msg.message = WM_QUIT;
        out->msg.wParam = static_cast<WPARAM>(queue.quitCode);
        if (remove) queue.quitPosted = false;
        return true;
    }
    return false;
}

}  // namespace

extern "C" LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->proc(hwnd, message, wParam, lParam);
}

extern "C" LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

extern "C" BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Backend& b = Backend::Get();
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        Window* w = b.FindWindow(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        thread = w->threadId;
    }
    QueuedMessage m;
    m.msg = MSG{hwnd, message, wParam, lParam, GetTickCount(), b.cursor};
    PostToQueue(thread, m, false);
    return TRUE;
}

extern "C" void PostQuitMessage(int exitCode) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    ThreadQueue& queue = b.queues[GetCurrentThreadId()];
    queue.quitPosted = true;
    queue.quitCode = exitCode;
    WakeQueue(queue);
}

extern "C" BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
    Backend& b = Backend::Get();
    // Sent messages only: they were delivered as they were sent.
    if ((remove >> 16) == QS_SENDMESSAGE) return FALSE;
    bool removing = (remove & PM_REMOVE) != 0;
    QueuedMessage queued;
    if (TakeQueued(hwnd, filterMin, filterMax, removing, &queued)) {
        if (removing && queued.isInput) {
            ApplyInputState(queued);
            // Win32 asks the window for its cursor as it takes a mouse message.
            if (IsMouseMessage(queued.msg.message) && !b.capture && queued.msg.message != WM_MOUSEWHEEL &&
                IsWindow(queued.msg.hwnd)) {
                SendMessageW(queued.msg.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(queued.msg.hwnd),
                             MAKELPARAM(HTCLIENT, queued.msg.message));
            }
        }
        if (msg) *msg = queued.msg;
        return TRUE;
    }
    bool paintInRange = (filterMin == 0 && filterMax == 0) || (WM_PAINT >= filterMin && WM_PAINT <= filterMax);
    if (paintInRange && hwnd != reinterpret_cast<HWND>(-1)) {
        // WM_PAINT is never removed: it comes back until the window is validated.
        if (HWND toPaint = FindWindowToPaint(b.topLevels, hwnd, GetCurrentThreadId())) {
            if (msg) *msg = MSG{toPaint, WM_PAINT, 0, 0, GetTickCount(), b.cursor};
            return TRUE;
        }
    }
    return FALSE;
}

extern "C" BOOL TranslateMessage(const MSG*) { return FALSE; }

extern "C" LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd) return 0;
    return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

extern "C" LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(hwnd);
    if (!w) return 0;
    auto watched = b.defaultProcessed.find(hwnd);
    if (watched != b.defaultProcessed.end()) watched->second.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    switch (message) {
        case WM_NCCREATE: return TRUE;
        case WM_NCHITTEST: return HTCLIENT;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND: {
            HBRUSH brush = w->windowClass->info.hbrBackground;
            if (!brush) return 0;
            RECT client;
            GetClientRect(hwnd, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            return 1;
        }
        case WM_WINDOWPOSCHANGED: {
            auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            RECT rect = w->rect;
            if (!(pos->flags & SWP_NOCLIENTMOVE)) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
            if (!(pos->flags & SWP_NOCLIENTSIZE)) {
                SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rect.right - rect.left, rect.bottom - rect.top));
            }
            return 0;
        }
        case WM_SETCURSOR: {
            // A parent may set the cursor for its children first.
            if ((w->style & WS_CHILD) && w->parent && SendMessageW(w->parent, message, wParam, lParam)) return TRUE;
            w = b.FindWindow(hwnd);
            if (w && LOWORD(lParam) == HTCLIENT && w->windowClass->info.hCursor) {
                SetCursor(w->windowClass->info.hCursor);
                return TRUE;
            }
            return FALSE;
        }
        case WM_MOUSEWHEEL:
            // Unhandled wheel input goes up to the parent.
            if ((w->style & WS_CHILD) && w->parent) return SendMessageW(w->parent, message, wParam, lParam);
            return 0;
        default: return 0;
    }
}

namespace headless {

int RunUntilIdle() {
    int dispatched = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (msg.message == WM_QUIT) break;
        PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
        DispatchMessageW(&msg);
        if (++dispatched > 100000) break;  // a window that never validates itself
    }
    return dispatched;
}

}  // namespace headless
