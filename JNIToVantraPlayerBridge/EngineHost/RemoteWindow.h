// The host window as the engine in the engine process sees it: the owner of
// the engine's instance record, whose slots the library's host-services
// table reaches. The slots are asked of the library's window over the
// channel, except what lives in this process: the back buffer's bitmap and
// view, over the window's own file mapping.
#pragma once

#include <PlayerInstance.h>

#include <cstdint>
#include <vector>

#include "EngineProtocol.h"

class EngineHost;

class RemoteWindow : public PlayerInstance {
public:
    RemoteWindow(EngineHost& host, uint32_t id);
    ~RemoteWindow() override;

    uint32_t Id() const { return id_; }
    InstanceRecord* Record() { return &record_; }

    // Maps the window's section (a handle of this process) as described by
    // the SetBackBuffer call's words; null when that cannot be done.
    const BackBufferInfo* AttachBackBuffer(const std::vector<int32_t>& words);
    void ReleaseBackBuffer();

    // ---- the slots ----
    int32_t GetWindowSize(int32_t* width, int32_t* height) override;
    int32_t BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
    int32_t InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) override;
    int32_t FillBackground(int32_t red, int32_t green, int32_t blue) override;
    int32_t ResizeDisplay(int32_t width, int32_t height) override;
    int32_t SetCursorType(int32_t cursorType) override;
    HWND GetWindowHandle() override;
    HBITMAP GetBackBufferBitmap() override { return bitmap_; }
    int32_t Reserved8(int32_t) override { return 0; }
    int32_t Reserved9(int32_t, int32_t) override { return 0; }
    bool AskToKillScript() override;
    int32_t LockBackBuffer(void** pixels) override;
    int32_t UnlockBackBuffer() override;
    int32_t Reserved13(int32_t) override { return 0; }
    int32_t Reserved14() override { return 0; }
    void FlushPainting() override;

private:
    int32_t Ask(int service, std::vector<int32_t> words = {});

    EngineHost& host_;
    uint32_t id_;
    InstanceRecord record_{0, this};
    HANDLE section_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    RGBQUAD colors_[kMaxBufferColors] = {};
    BackBufferInfo info_{};  // its colour table is colors_, never null
};
