#include "RemoteWindow.h"

#include <cstring>

#include "EngineHost.h"
#include "EngineProtocol.h"

RemoteWindow::RemoteWindow(EngineHost& host, uint32_t id) : host_(host), id_(id) { info_.colorTable = colors_; }

RemoteWindow::~RemoteWindow() { ReleaseBackBuffer(); }

int32_t RemoteWindow::Ask(int service, std::vector<int32_t> words) {
    return host_.Request(id_, service, std::move(words)).words[0];
}

// The section handle is this process's from the start: a description
// refused here closes it too.
const BackBufferInfo* RemoteWindow::AttachBackBuffer(const std::vector<int32_t>& w) {
    HANDLE section = w.empty() ? nullptr : WordHandle<HANDLE>(w[kBufferSection]);
    int32_t colors = w.size() > kBufferColorCount ? w[kBufferColorCount] : -1;
    if (w.size() < kBufferColors || colors < 0 || colors > kMaxBufferColors ||
        w.size() != static_cast<size_t>(kBufferColors + colors)) {
        if (section) CloseHandle(section);
        return nullptr;
    }
    ReleaseBackBuffer();
    section_ = section;
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = w[kBufferWidth];
    header.biHeight = w[kBufferBottomUp] ? w[kBufferHeight] : -w[kBufferHeight];
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(w[kBufferBitsPerPixel]);
    header.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap_ = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS, &pixels, section_,
                               static_cast<DWORD>(w[kBufferOffset]));
    if (!bitmap_) {
        ReleaseBackBuffer();
        return nullptr;
    }
    if (colors > 0) std::memcpy(colors_, &w[kBufferColors], colors * sizeof(RGBQUAD));
    info_.colorTable = colors_;
    info_.colorCount = colors;
    info_.pixels = pixels;
    info_.width = w[kBufferWidth];
    info_.height = w[kBufferHeight];
    info_.bitsPerPixel = w[kBufferBitsPerPixel];
    info_.bytesPerRow = w[kBufferBytesPerRow];
    info_.bottomUp = static_cast<uint8_t>(w[kBufferBottomUp]);
    info_.pixelFormat = w[kBufferPixelFormat];
    return &info_;
}

void RemoteWindow::ReleaseBackBuffer() {
    if (bitmap_) DeleteObject(bitmap_);
    if (section_) CloseHandle(section_);  // the bitmap does not own it
    bitmap_ = nullptr;
    section_ = nullptr;
    info_ = BackBufferInfo{};
    info_.colorTable = colors_;
}

int32_t RemoteWindow::GetWindowSize(int32_t* width, int32_t* height) {
    ChannelFrame reply = host_.Request(id_, kServiceGetWindowSize, {}, {}, 3);
    if (width) *width = reply.words[1];
    if (height) *height = reply.words[2];
    return reply.words[0];
}

int32_t RemoteWindow::BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    return Ask(kServiceBlitRect, {x, y, width, height});
}

int32_t RemoteWindow::InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return Ask(kServiceInvalidateArea, {top, left, bottom, right});
}

int32_t RemoteWindow::FillBackground(int32_t red, int32_t green, int32_t blue) {
    return Ask(kServiceFillBackground, {red, green, blue});
}

int32_t RemoteWindow::ResizeDisplay(int32_t width, int32_t height) {
    return Ask(kServiceResizeDisplay, {width, height});
}

int32_t RemoteWindow::SetCursorType(int32_t cursorType) { return Ask(kServiceSetCursorType, {cursorType}); }

// Window handles are the same in every process.
HWND RemoteWindow::GetWindowHandle() { return WordHandle<HWND>(Ask(kServiceGetWindowHandle)); }

bool RemoteWindow::AskToKillScript() { return Ask(kServiceAskToKillScript) != 0; }

// The lock is the window's (it keeps blits out while the engine writes); the
// pixels are this process's view.
int32_t RemoteWindow::LockBackBuffer(void** pixels) {
    if (!pixels || !info_.pixels) return 1;  // no view here, no lock: as a window without pixels
    int32_t result = Ask(kServiceLockBackBuffer);
    if (result == 0) *pixels = info_.pixels;
    return result;
}

int32_t RemoteWindow::UnlockBackBuffer() { return Ask(kServiceUnlockBackBuffer); }

void RemoteWindow::FlushPainting() { Ask(kServiceFlushPainting, {0, 0}); }
