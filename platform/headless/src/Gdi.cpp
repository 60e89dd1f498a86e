// Device contexts, DIB sections, brushes, block transfers and fills.
#include "Backend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

using namespace headless;

namespace {

// The largest DIB section we make, as Win32 refuses sizes it cannot map.
constexpr size_t kMaxBitmapBytes = size_t{1} << 30;

HDC AddDc(std::unique_ptr<DeviceContext> dc) {
    Backend& b = Backend::Get();
    HDC handle = static_cast<HDC>(b.NewHandle());
    b.dcs[handle] = std::move(dc);
    return handle;
}

// What the DC draws on, or an empty surface when its target is gone.
PixelSurface Target(const DeviceContext& dc) {
    Backend& b = Backend::Get();
    if (dc.kind == DcKind::Memory) {
        GdiObject* bitmap = b.FindObject(dc.bitmap);
        return bitmap ? bitmap->surface : PixelSurface{};
    }
    if (dc.kind == DcKind::Screen) return PixelSurface{};
    Window* w = b.FindWindow(dc.window);
    return w ? w->Surface() : PixelSurface{};
}

RECT DrawableArea(const DeviceContext& dc) { return Intersect(dc.clip, Target(dc).Bounds()); }

uint32_t FromColorRef(COLORREF color) {
    return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
}

bool ValidDibHeader(const BITMAPINFOHEADER& h, size_t* bytes) {
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return false;
    if (h.biBitCount != 32 || (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) return false;
    uint64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    uint64_t total = static_cast<uint64_t>(h.biWidth) * rows * 4;
    if (total > kMaxBitmapBytes) return false;
    *bytes = static_cast<size_t>(total);
    return true;
}

}  // namespace

extern "C" HDC GetDC(HWND hwnd) {
    Backend& b = Backend::Get();
    auto dc = std::make_unique<DeviceContext>();
    dc->brush = b.stockBrush;
    if (!hwnd) {
        dc->kind = DcKind::Screen;
        dc->clip = RECT{0, 0, 1024, 768};
        return AddDc(std::move(dc));
    }
    Window* w = b.FindWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    dc->kind = DcKind::Window;
    dc->window = hwnd;
    dc->clip = RECT{0, 0, w->Width(), w->Height()};
    return AddDc(std::move(dc));
}

extern "C" int ReleaseDC(HWND, HDC dc) {
    Backend& b = Backend::Get();
    DeviceContext* context = b.FindDc(dc);
    if (!context || (context->kind != DcKind::Window && context->kind != DcKind::Screen)) return 0;
    b.dcs.erase(dc);
    return 1;
}

extern "C" HDC CreateCompatibleDC(HDC dc) {
    Backend& b = Backend::Get();
    if (dc && !b.FindDc(dc)) return nullptr;
    auto memory = std::make_unique<DeviceContext>();
    memory->kind = DcKind::Memory;
    memory->bitmap = b.stockBitmap;
    memory->brush = b.stockBrush;
    memory->clip = RECT{0, 0, 1, 1};
    return AddDc(std::move(memory));
}

extern "C" BOOL DeleteDC(HDC dc) {
    Backend& b = Backend::Get();
    DeviceContext* context = b.FindDc(dc);
    if (!context || context->kind != DcKind::Memory) return FALSE;
    if (GdiObject* bitmap = b.FindObject(context->bitmap)) bitmap->selectedInto = nullptr;
    b.dcs.erase(dc);
    return TRUE;
}

extern "C" int GetClipBox(HDC dc, LPRECT rect) {
    DeviceContext* context = Backend::Get().FindDc(dc);
    if (!context || !rect) return ERROR;
    *rect = context->clip;
    return Empty(context->clip) ? NULLREGION : SIMPLEREGION;
}

extern "C" HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
    Backend& b = Backend::Get();
    if (bits) *bits = nullptr;
    size_t bytes = 0;
    if ((dc && !b.FindDc(dc)) || !info || usage != DIB_RGB_COLORS || !ValidDibHeader(info->bmiHeader, &bytes)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->kind = GdiKind::Bitmap;
    bitmap->header = info->bmiHeader;
    void* pixels = nullptr;
    if (section) {
        // The pixels are the section's, from the offset on.
        bitmap->sectionView = MapSection(section, offset, bytes, &pixels);
        bitmap->section = section;
        bitmap->sectionOffset = offset;
    } else {
        bitmap->bits.reset(new (std::nothrow) uint32_t[bytes / 4]());
        pixels = bitmap->bits.get();
        if (!pixels) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (!pixels) return nullptr;
    LONG height = info->bmiHeader.biHeight;
    bitmap->surface = PixelSurface{static_cast<uint32_t*>(pixels), info->bmiHeader.biWidth,
                                   height < 0 ? -height : height, height > 0};
    if (bits) *bits = pixels;
    auto handle = static_cast<HBITMAP>(b.NewHandle());
    b.objects[handle] = std::move(bitmap);
    return handle;
}

extern "C" int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    GdiObject* o = Backend::Get().FindObject(object);
    if (!o || o->kind != GdiKind::Bitmap) return 0;
    if (!buffer) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm{
        0, o->surface.width, o->surface.height, o->surface.width * 4, 1, 32, o->stock ? nullptr : o->surface.pixels};
    if (o->stock) bm = BITMAP{0, 1, 1, 2, 1, 1, nullptr};  // the 1 x 1 monochrome default bitmap
    if (size >= static_cast<int>(sizeof(DIBSECTION)) && !o->stock) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = o->header;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(bm.bmWidthBytes) * bm.bmHeight;
        ds.dshSection = o->section;
        ds.dsOffset = o->sectionOffset;
        std::memcpy(buffer, &ds, sizeof ds);
        return sizeof(DIBSECTION);
    }
    std::memcpy(buffer, &bm, sizeof bm);
    return sizeof(BITMAP);
}

extern "C" HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    Backend& b = Backend::Get();
    DeviceContext* context = b.FindDc(dc);
    GdiObject* o = b.FindObject(object);
    if (!context || !o) return nullptr;
    if (o->kind == GdiKind::Brush) {
        HGDIOBJ previous = context->brush;
        context->brush = object;
        return previous;
    }
    // A bitmap goes into one memory DC at a time.
    if (context->kind != DcKind::Memory) return nullptr;
    if (o->selectedInto && o->selectedInto != dc && !o->stock) return nullptr;
    HGDIOBJ previous = context->bitmap;
    if (GdiObject* old = b.FindObject(previous)) old->selectedInto = nullptr;
    context->bitmap = object;
    if (!o->stock) o->selectedInto = dc;
    context->clip = o->surface.Bounds();
    return previous;
}

extern "C" BOOL DeleteObject(HGDIOBJ object) {
    Backend& b = Backend::Get();
    GdiObject* o = b.FindObject(object);
    if (!o) return FALSE;
    if (o->stock) return TRUE;
    if (o->selectedInto) return FALSE;  // still selected: deleting it would leave the DC dangling
    for (auto& entry : b.dcs) {
        if (entry.second->brush == object) return FALSE;
    }
    b.objects.erase(object);
    return TRUE;
}

namespace {

// Rectangles from any coordinates: computed wide, then clamped, so that no
// sum overflows whatever a caller passes.
RECT WideRect(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    auto clamp = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return RECT{clamp(left), clamp(top), clamp(right), clamp(bottom)};
}

}  // namespace

extern "C" BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    Backend& b = Backend::Get();
    DeviceContext* to = b.FindDc(dst);
    DeviceContext* from = b.FindDc(src);
    if (!to || !from || rop != SRCCOPY || width < 0 || height < 0) return FALSE;
    if (to->window && b.blitDelayMs > 0) Sleep(static_cast<DWORD>(b.blitDelayMs));
    PixelSurface target = Target(*to);
    PixelSurface source = Target(*from);
    RECT area = Intersect(WideRect(x, y, int64_t{x} + width, int64_t{y} + height), DrawableArea(*to));
    // Only pixels that exist in the source are copied.
    int64_t dx = int64_t{x} - srcX, dy = int64_t{y} - srcY;
    RECT bounds = source.Bounds();
    area = Intersect(area, WideRect(bounds.left + dx, bounds.top + dy, bounds.right + dx, bounds.bottom + dy));
    if (Empty(area)) return TRUE;
    auto rowBytes = static_cast<size_t>(area.right - area.left) * sizeof(uint32_t);
    // Row by row with memmove; on one surface, rows moving down are copied
    // bottom first, so that overlapping copies work.
    bool upward = target.pixels == source.pixels && dy > 0;
    for (int i = 0; i < area.bottom - area.top; ++i) {
        int targetRow = upward ? area.bottom - 1 - i : area.top + i;
        auto sourceRow = static_cast<int>(targetRow - dy);
        std::memmove(target.Row(targetRow) + area.left, source.Row(sourceRow) + (area.left - dx), rowBytes);
    }
    return TRUE;
}

extern "C" HBRUSH CreateSolidBrush(COLORREF color) {
    Backend& b = Backend::Get();
    auto brush = std::make_unique<GdiObject>();
    brush->kind = GdiKind::Brush;
    brush->color = color & 0x00FFFFFF;
    auto handle = static_cast<HBRUSH>(b.NewHandle());
    b.objects[handle] = std::move(brush);
    return handle;
}

extern "C" int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
    Backend& b = Backend::Get();
    DeviceContext* context = b.FindDc(dc);
    GdiObject* o = b.FindObject(brush);
    if (!context || !rect || !o || o->kind != GdiKind::Brush) return 0;
    PixelSurface target = Target(*context);
    RECT area = Intersect(*rect, DrawableArea(*context));
    uint32_t pixel = FromColorRef(o->color);
    for (int y = area.top; y < area.bottom; ++y) std::fill_n(target.Row(y) + area.left, area.right - area.left, pixel);
    return 1;
}

extern "C" COLORREF GetPixel(HDC dc, int x, int y) {
    DeviceContext* context = Backend::Get().FindDc(dc);
    if (!context) return CLR_INVALID;
    POINT p{x, y};
    RECT area = DrawableArea(*context);
    if (!PtInRect(&area, p)) return CLR_INVALID;
    uint32_t pixel = Target(*context).Row(y)[x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

extern "C" BOOL GdiFlush() { return TRUE; }

namespace headless {

std::vector<uint32_t> ReadWindowPixels(HWND hwnd, int* width, int* height) {
    Window* w = Backend::Get().FindWindow(hwnd);
    if (width) *width = w ? w->surfaceWidth : 0;
    if (height) *height = w ? w->surfaceHeight : 0;
    return w ? w->surfaceStore : std::vector<uint32_t>{};
}

int CountLiveDCs() { return static_cast<int>(Backend::Get().dcs.size()); }

int CountLiveGdiObjects() {
    int count = 0;
    for (auto& entry : Backend::Get().objects) count += entry.second->stock ? 0 : 1;
    return count;
}

}  // namespace headless
