// Invalid areas and the paint cycle.
#include "Backend.h"

#include <algorithm>

namespace headless {

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) return RECT{0, 0, 0, 0};
    return r;
}

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

// Adds an area (client coordinates) to the window's invalid area and, where
// the window does not clip its children, to the children it covers.
void InvalidateTree(HWND hwnd, const RECT& area, bool erase) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(hwnd);
    if (!w || !IsDrawable(hwnd)) return;  // hidden windows keep no invalid area
    RECT clipped = Intersect(area, RECT{0, 0, w->Width(), w->Height()});
    if (Empty(clipped)) return;
    if (w->hasInvalidArea) {
        UnionRect(&w->invalidArea, &w->invalidArea, &clipped);
    } else {
        w->invalidArea = clipped;
        w->hasInvalidArea = true;
    }
    w->eraseNeeded = w->eraseNeeded || erase;
    if (w->style & WS_CLIPCHILDREN) return;
    std::vector<HWND> children = w->children;
    for (HWND child : children) {
        Window* c = b.FindWindow(child);
        if (!c) continue;
        RECT inChild{clipped.left - c->rect.left, clipped.top - c->rect.top, clipped.right - c->rect.left,
                     clipped.bottom - c->rect.top};
        InvalidateTree(child, inChild, erase);
    }
}

}  // namespace headless

using namespace headless;

extern "C" BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    InvalidateTree(hwnd, rect ? *rect : RECT{0, 0, w->Width(), w->Height()}, erase != FALSE);
    return TRUE;
}

extern "C" BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return IsWindow(hwnd);
}

extern "C" BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) return FALSE;
    // The invalid area is one rectangle: it goes only when it is covered.
    if (!rect || (rect->left <= w->invalidArea.left && rect->top <= w->invalidArea.top &&
                  rect->right >= w->invalidArea.right && rect->bottom >= w->invalidArea.bottom)) {
        w->hasInvalidArea = false;
        w->eraseNeeded = false;
    }
    return TRUE;
}

extern "C" BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) return FALSE;
    if (rect) *rect = w->hasInvalidArea ? w->invalidArea : RECT{0, 0, 0, 0};
    return w->hasInvalidArea;
}

extern "C" BOOL UpdateWindow(HWND hwnd) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (!w) return FALSE;
    if (w->hasInvalidArea && IsDrawable(hwnd)) SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

extern "C" HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    Backend& b = Backend::Get();
    Window* w = b.FindWindow(hwnd);
    if (!w || !paint) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    RECT area = w->hasInvalidArea ? w->invalidArea : RECT{0, 0, 0, 0};
    bool erase = w->eraseNeeded;
    w->hasInvalidArea = false;
    w->eraseNeeded = false;

    auto dc = std::make_unique<DeviceContext>();
    dc->kind = DcKind::Paint;
    dc->window = hwnd;
    dc->brush = b.stockBrush;
    dc->clip = Intersect(area, RECT{0, 0, w->Width(), w->Height()});
    HDC handle = static_cast<HDC>(b.NewHandle());
    b.dcs[handle] = std::move(dc);

    *paint = PAINTSTRUCT{};
    paint->hdc = handle;
    paint->rcPaint = area;
    paint->fErase = TRUE;
    if (erase) paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(handle), 0) ? FALSE : TRUE;
    return handle;
}

extern "C" BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
    if (!paint) return FALSE;
    Backend::Get().dcs.erase(paint->hdc);
    return TRUE;
}

// ---- rectangles ----------------------------------------------------------------

extern "C" BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

extern "C" BOOL IsRectEmpty(const RECT* rect) { return !rect || Empty(*rect); }

extern "C" BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    *dst = Intersect(*a, *b);
    return !Empty(*dst);
}

extern "C" BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst || !a || !b) return FALSE;
    if (Empty(*a)) {
        *dst = Empty(*b) ? RECT{0, 0, 0, 0} : *b;
    } else if (Empty(*b)) {
        *dst = *a;
    } else {
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return !Empty(*dst);
}

extern "C" BOOL PtInRect(const RECT* rect, POINT point) {
    return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

extern "C" BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
