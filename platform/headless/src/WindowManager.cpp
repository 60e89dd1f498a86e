// Window classes and windows: creation, destruction, show, move and size.
#include "Backend.h"

#include <algorithm>

namespace headless {

Backend& Backend::Get() {
    static Backend* backend = new Backend();  // never destroyed: windows may outlive static destructors
    return *backend;
}

Backend::Backend() {
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->kind = GdiKind::Bitmap;
    bitmap->stock = true;
    bitmap->bits.reset(new uint32_t[1]());
    bitmap->surface = PixelSurface{bitmap->bits.get(), 1, 1, false};
    stockBitmap = NewHandle();
    objects[stockBitmap] = std::move(bitmap);

    auto brush = std::make_unique<GdiObject>();
    brush->kind = GdiKind::Brush;
    brush->stock = true;
    brush->color = RGB(255, 255, 255);
    stockBrush = NewHandle();
    objects[stockBrush] = std::move(brush);
}

void* Backend::NewHandle() {
    // Handles are never reused, so a stale handle is always recognised as such.
    nextHandle += 4;
    return reinterpret_cast<void*>(nextHandle);
}

Window* Backend::FindWindow(HWND hwnd) {
    auto it = windows.find(hwnd);
    return it == windows.end() ? nullptr : it->second.get();
}

DeviceContext* Backend::FindDc(HDC dc) {
    auto it = dcs.find(dc);
    return it == dcs.end() ? nullptr : it->second.get();
}

GdiObject* Backend::FindObject(HGDIOBJ object) {
    auto it = objects.find(object);
    return it == objects.end() ? nullptr : it->second.get();
}

std::u16string LowerName(LPCWSTR name) {
    std::u16string result;
    for (; name && *name; ++name) {
        char16_t c = *name;
        result += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
    }
    return result;
}

bool IsDrawable(HWND hwnd) {
    Backend& b = Backend::Get();
    for (Window* w = b.FindWindow(hwnd); w; w = b.FindWindow(w->parent)) {
        if (!(w->style & WS_VISIBLE)) return false;
    }
    return b.FindWindow(hwnd) != nullptr;
}

bool IsSameOrDescendant(HWND ancestor, HWND hwnd) {
    Backend& b = Backend::Get();
    for (Window* w = b.FindWindow(hwnd); w; w = b.FindWindow(w->parent)) {
        if (w->handle == ancestor) return true;
    }
    return false;
}

POINT ClientOriginOnScreen(HWND hwnd) {
    Backend& b = Backend::Get();
    POINT origin{0, 0};
    for (Window* w = b.FindWindow(hwnd); w; w = b.FindWindow(w->parent)) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

void ResizeSurface(Window& window) {
    // Keeps what overlaps, as a window's bits survive a size change.
    int width = std::max(0, window.Width());
    int height = std::max(0, window.Height());
    std::vector<uint32_t> resized(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < std::min(height, window.surfaceHeight); ++y) {
        std::copy_n(window.surfaceStore.data() + static_cast<size_t>(y) * window.surfaceWidth,
                    std::min(width, window.surfaceWidth), resized.data() + static_cast<size_t>(y) * width);
    }
    window.surfaceStore.swap(resized);
    window.surfaceWidth = width;
    window.surfaceHeight = height;
}

}  // namespace headless

using namespace headless;

namespace {

// Application classes belong to the module that registered them.
std::u16string ClassKey(LPCWSTR name, HINSTANCE instance) {
    std::string module = std::to_string(reinterpret_cast<uintptr_t>(instance));
    return LowerName(name) + u'|' + std::u16string(module.begin(), module.end());
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance) {
    Backend& b = Backend::Get();
    for (HINSTANCE candidate : {instance, static_cast<HINSTANCE>(nullptr)}) {
        auto it = b.classes.find(ClassKey(name, candidate));
        if (it != b.classes.end()) return it->second;
    }
    return nullptr;
}

Window* ValidWindow(HWND hwnd) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

ATOM RegisterClassInfo(const WNDCLASSEXW& info) {
    Backend& b = Backend::Get();
    if (!info.lpszClassName || !info.lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string key = ClassKey(info.lpszClassName, info.hInstance);
    if (b.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->name = info.lpszClassName;
    windowClass->info = info;
    windowClass->info.lpszClassName = windowClass->name.c_str();
    windowClass->info.lpszMenuName = nullptr;
    b.classes[key] = windowClass;
    return static_cast<ATOM>(0xC000 + b.classes.size());
}

std::vector<HWND>& Siblings(Window& w) {
    Backend& b = Backend::Get();
    Window* parent = b.FindWindow(w.parent);
    return parent ? parent->children : b.topLevels;
}

void Unlink(Window& w) {
    auto& siblings = Siblings(w);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), w.handle), siblings.end());
}

void SendDestroyMessages(HWND hwnd) {
    // Win32 sends WM_DESTROY to the window first, then to its children.
    SendMessageW(hwnd, WM_DESTROY, 0, 0);
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) SendDestroyMessages(child);
}

void FreeWindowTree(HWND hwnd) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(hwnd);
    if (!w) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) FreeWindowTree(child);
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    w = b.FindWindow(hwnd);
    if (!w) return;
    if (b.focus == hwnd) b.focus = nullptr;
    if (b.capture == hwnd) b.capture = nullptr;
    if (b.trackedForLeave == hwnd) b.trackedForLeave = nullptr;
    if (b.lastClick.window == hwnd) b.lastClick = ClickMemory{};
    ForgetWindowMessages(hwnd);
    Unlink(*w);
    b.windows.erase(hwnd);
}

void ReleaseInputFrom(HWND hwnd) {
    Backend& b = Backend::Get();
    if (b.capture && IsSameOrDescendant(hwnd, b.capture)) ReleaseCapture();
    if (b.focus && IsSameOrDescendant(hwnd, b.focus)) {
        Window* w = b.FindWindow(hwnd);
        SetFocus(w ? w->parent : nullptr);
    }
}

void SendPositionMessages(HWND hwnd, WINDOWPOS& pos) {
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

}  // namespace

// ---- classes -------------------------------------------------------------------

extern "C" ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
    if (!wc || wc->cbSize != sizeof(WNDCLASSEXW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return RegisterClassInfo(*wc);
}

extern "C" ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXW info{sizeof(WNDCLASSEXW), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                     wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                     wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassInfo(info);
}

extern "C" BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR name, WNDCLASSEXW* wc) {
    std::shared_ptr<WindowClass> windowClass = FindClass(name, instance);
    if (!windowClass || !wc) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    *wc = windowClass->info;
    wc->cbSize = sizeof(WNDCLASSEXW);
    return TRUE;
}

extern "C" BOOL UnregisterClassW(LPCWSTR name, HINSTANCE instance) {
    Backend& b = Backend::Get();
    if (b.classes.erase(ClassKey(name, instance)) == 0) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    return TRUE;
}

// ---- creation and destruction ----------------------------------------------------

extern "C" HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    Backend& b = Backend::Get();
    std::shared_ptr<WindowClass> windowClass = FindClass(className, instance);
    if (!windowClass) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent && !b.FindWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if ((style & WS_CHILD) && !parent) {
        SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
        return nullptr;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) width = height = 100;

    auto window = std::make_unique<Window>();
    HWND hwnd = static_cast<HWND>(b.NewHandle());
    window->handle = hwnd;
    window->windowClass = windowClass;
    window->parent = parent;
    window->style = style & ~WS_VISIBLE;  // shown after creation, as Win32 does
    window->exStyle = exStyle;
    window->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    window->text = windowName ? windowName : u"";
    window->id = reinterpret_cast<LONG_PTR>(menu);
    window->instance = instance;
    window->proc = windowClass->info.lpfnWndProc;
    window->extraBytes.assign(std::max(0, windowClass->info.cbWndExtra), 0);
    window->threadId = GetCurrentThreadId();
    ResizeSurface(*window);
    Siblings(*window).push_back(hwnd);
    b.windows[hwnd] = std::move(window);

    CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) {
        FreeWindowTree(hwnd);
        return nullptr;
    }
    RECT clientRect = b.FindWindow(hwnd) ? b.FindWindow(hwnd)->rect : RECT{};
    SendMessageW(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&clientRect));
    if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        FreeWindowTree(hwnd);  // never created: no WM_DESTROY, only WM_NCDESTROY
        return nullptr;
    }
    if (!b.FindWindow(hwnd)) return nullptr;
    SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(std::max(0, width), std::max(0, height)));
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
    if (parent && !(exStyle & WS_EX_NOPARENTNOTIFY) && (style & WS_CHILD)) {
        SendMessageW(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, LOWORD(reinterpret_cast<LONG_PTR>(menu))),
                     reinterpret_cast<LPARAM>(hwnd));
    }
    if ((style & WS_VISIBLE) && b.FindWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
    return b.FindWindow(hwnd) ? hwnd : nullptr;
}

extern "C" BOOL DestroyWindow(HWND hwnd) {
    Window* w = ValidWindow(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    if ((w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY) && w->parent) {
        SendMessageW(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, LOWORD(w->id)), reinterpret_cast<LPARAM>(hwnd));
    }
    if (IsWindow(hwnd) && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_VISIBLE)) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (IsWindow(hwnd)) ReleaseInputFrom(hwnd);
    if (IsWindow(hwnd)) SendDestroyMessages(hwnd);
    FreeWindowTree(hwnd);
    return TRUE;
}

extern "C" BOOL IsWindow(HWND hwnd) { return Backend::Get().FindWindow(hwnd) != nullptr; }

extern "C" BOOL IsWindowVisible(HWND hwnd) { return IsDrawable(hwnd); }

extern "C" HWND GetParent(HWND hwnd) {
    Window* w = ValidWindow(hwnd);
    return w && (w->style & WS_CHILD) ? w->parent : nullptr;
}

namespace {

// Handles grow as windows are made: their order is the order of making.
std::vector<HWND> WindowsWhere(bool (*wanted)(const Window&, HWND), HWND parent) {
    std::vector<HWND> found;
    for (auto& [handle, window] : Backend::Get().windows) {
        if (!window->destroying && wanted(*window, parent)) found.push_back(handle);
    }
    std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
        return reinterpret_cast<uintptr_t>(a) < reinterpret_cast<uintptr_t>(b);
    });
    return found;
}

bool IsTopLevel(const Window& window, HWND) { return window.parent == nullptr; }

bool IsDescendantOf(const Window& window, HWND ancestor) {
    for (HWND up = window.parent; up; up = Backend::Get().FindWindow(up) ? Backend::Get().FindWindow(up)->parent : nullptr) {
        if (up == ancestor) return true;
    }
    return false;
}

BOOL Enumerate(const std::vector<HWND>& windows, WNDENUMPROC proc, LPARAM param) {
    for (HWND window : windows) {
        if (IsWindow(window) && !proc(window, param)) return FALSE;
    }
    return TRUE;
}

int CopyText(const std::u16string& text, LPWSTR into, int room) {
    if (!into || room <= 0) return 0;
    int length = std::min(static_cast<int>(text.size()), room - 1);
    std::copy_n(text.data(), length, reinterpret_cast<char16_t*>(into));
    into[length] = 0;
    return length;
}

}  // namespace

extern "C" BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    return Enumerate(WindowsWhere(IsTopLevel, nullptr), proc, param);
}

extern "C" BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
    if (!ValidWindow(parent)) return FALSE;
    return Enumerate(WindowsWhere(IsDescendantOf, parent), proc, param);
}

extern "C" DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    Window* w = ValidWindow(hwnd);
    if (!w) return 0;
    if (processId) *processId = GetCurrentProcessId();
    return w->threadId;
}

extern "C" int InternalGetWindowText(HWND hwnd, LPWSTR text, int room) {
    Window* w = ValidWindow(hwnd);
    return w ? CopyText(w->text, text, room) : 0;
}

extern "C" int GetClassNameW(HWND hwnd, LPWSTR name, int room) {
    Window* w = ValidWindow(hwnd);
    return w ? CopyText(w->windowClass->name, name, room) : 0;
}

// ---- show, move and size -----------------------------------------------------------

extern "C" BOOL ShowWindow(HWND hwnd, int cmd) {
    Window* w = ValidWindow(hwnd);
    if (!w) return FALSE;
    bool wasVisible = (w->style & WS_VISIBLE) != 0;
    bool show = cmd != SW_HIDE;
    if (show == wasVisible) return wasVisible;
    SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!IsWindow(hwnd)) return wasVisible;
    UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    if (cmd == SW_SHOWNA) flags |= SWP_NOACTIVATE;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, flags);
    if (!show && IsWindow(hwnd)) {
        Backend& b = Backend::Get();
        if (b.focus && IsSameOrDescendant(hwnd, b.focus)) SetFocus(b.FindWindow(hwnd)->parent);
    }
    return wasVisible;
}

extern "C" BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Backend& b = Backend::Get();
    Window* w = ValidWindow(hwnd);
    if (!w) return FALSE;
    WINDOWPOS pos{hwnd, insertAfter, x, y, std::max(0, cx), std::max(0, cy), flags};
    if (flags & SWP_NOMOVE) {
        pos.x = w->rect.left;
        pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        pos.cx = w->Width();
        pos.cy = w->Height();
    }
    SendMessageW(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    w = b.FindWindow(hwnd);
    if (!w) return FALSE;

    RECT oldRect = w->rect;
    bool wasDrawable = IsDrawable(hwnd);
    w->rect = RECT{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
    bool sizeChanged = w->Width() != oldRect.right - oldRect.left || w->Height() != oldRect.bottom - oldRect.top;
    bool moved = w->rect.left != oldRect.left || w->rect.top != oldRect.top;
    if (!sizeChanged) pos.flags |= SWP_NOCLIENTSIZE;
    if (!moved) pos.flags |= SWP_NOCLIENTMOVE;
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) {
        w->style &= ~WS_VISIBLE;
        w->hasInvalidArea = false;
        w->eraseNeeded = false;
    }
    if (sizeChanged) ResizeSurface(*w);

    bool drawable = IsDrawable(hwnd);
    if (drawable && !(flags & SWP_NOREDRAW)) {
        RECT client{0, 0, w->Width(), w->Height()};
        UINT classStyle = w->windowClass->info.style;
        bool redrawAll = !wasDrawable || (sizeChanged && (classStyle & (CS_HREDRAW | CS_VREDRAW)));
        if (redrawAll) {
            InvalidateTree(hwnd, client, true);
        } else if (sizeChanged) {
            // Only the newly exposed strips need painting.
            int oldWidth = oldRect.right - oldRect.left;
            int oldHeight = oldRect.bottom - oldRect.top;
            if (w->Width() > oldWidth) InvalidateTree(hwnd, RECT{oldWidth, 0, w->Width(), w->Height()}, true);
            if (w->Height() > oldHeight) InvalidateTree(hwnd, RECT{0, oldHeight, w->Width(), w->Height()}, true);
        }
    }
    if ((moved || sizeChanged || (flags & SWP_HIDEWINDOW)) && wasDrawable && w->parent && !(flags & SWP_NOREDRAW)) {
        InvalidateTree(w->parent, oldRect, true);  // the parent shows where the window was
    }
    SendPositionMessages(hwnd, pos);
    return TRUE;
}

extern "C" BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

extern "C" BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = ValidWindow(hwnd);
    if (!w || !rect) return FALSE;
    *rect = RECT{0, 0, w->Width(), w->Height()};
    return TRUE;
}

extern "C" BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = ValidWindow(hwnd);
    if (!w || !rect) return FALSE;
    POINT origin = ClientOriginOnScreen(hwnd);
    *rect = RECT{origin.x, origin.y, origin.x + w->Width(), origin.y + w->Height()};
    return TRUE;
}

extern "C" BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    if (!ValidWindow(hwnd) || !point) return FALSE;
    POINT origin = ClientOriginOnScreen(hwnd);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

extern "C" BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    if (!ValidWindow(hwnd) || !point) return FALSE;
    POINT origin = ClientOriginOnScreen(hwnd);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

extern "C" LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
    Window* w = ValidWindow(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_USERDATA: return w->userData;
        case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
        case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
        case GWLP_ID: return w->id;
        default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extraBytes.size()) {
        SetLastError(1413);  // ERROR_INVALID_INDEX
        return 0;
    }
    LONG_PTR value;
    std::copy_n(w->extraBytes.data() + index, sizeof value, reinterpret_cast<unsigned char*>(&value));
    return value;
}

extern "C" LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    Window* w = ValidWindow(hwnd);
    if (!w) return 0;
    LONG_PTR old = GetWindowLongPtrW(hwnd, index);
    switch (index) {
        case GWLP_WNDPROC: w->proc = reinterpret_cast<WNDPROC>(value); return old;
        case GWLP_USERDATA: w->userData = value; return old;
        case GWL_STYLE: w->style = static_cast<DWORD>(value); return old;
        case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); return old;
        case GWLP_ID: w->id = value; return old;
        case GWLP_HINSTANCE: w->instance = reinterpret_cast<HINSTANCE>(value); return old;
        default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extraBytes.size()) {
        SetLastError(1413);
        return 0;
    }
    std::copy_n(reinterpret_cast<const unsigned char*>(&value), sizeof value, w->extraBytes.data() + index);
    return old;
}

extern "C" HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    // System cursors only: their handles are their resource numbers, shifted
    // out of the range of real handles.
    if (instance) return nullptr;
    auto id = reinterpret_cast<uintptr_t>(name);
    if (id != 32512 && id != 32513) return nullptr;
    return reinterpret_cast<HCURSOR>(id << 4);
}

extern "C" HCURSOR CreateCursor(HINSTANCE, int, int, int width, int height, const void* andPlane,
                                const void* xorPlane) {
    if (width <= 0 || height <= 0 || !andPlane || !xorPlane) return nullptr;
    return static_cast<HCURSOR>(Backend::Get().NewHandle());
}

extern "C" BOOL DestroyCursor(HCURSOR cursor) { return cursor != nullptr; }

extern "C" HCURSOR GetCursor() { return Backend::Get().currentCursor; }

extern "C" HCURSOR SetCursor(HCURSOR cursor) {
    Backend& b = Backend::Get();
    HCURSOR previous = b.currentCursor;
    b.currentCursor = cursor;
    return previous;
}
