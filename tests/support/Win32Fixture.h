// Shared ground for tests written once against the Win32 API and run on the
// headless backend and on Wine: a visible top-level window to host child
// windows, a child window class that records what it receives, pumping, and
// pointer input.
#pragma once

#include <Platform.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

struct RecordedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class Win32Fixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A child of the top-level window, of the recording class
    // (CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, no background brush).
    HWND CreateChild(DWORD style, int x, int y, int width, int height, HWND parent = nullptr);

    // The recorded messages of the given numbers, in order, for one window
    // (or for every window when hwnd is null).
    std::vector<UINT> Messages(HWND hwnd, std::initializer_list<UINT> wanted) const;
    std::vector<RecordedMessage> Recorded(HWND hwnd, UINT message) const;
    void ClearRecord();

    // Dispatches queued messages until the queue is empty.
    void Pump();
    // Pumps until the condition holds or the time is up (Wine delivers some
    // notifications from timers); returns whether it held.
    bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 2000);

    // Moves the pointer to a screen point, as a user would.
    void MovePointer(int screenX, int screenY);

    // Called inside the recording window procedure, before default processing;
    // return true with *result set to answer the message without it.
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> onMessage;

    HWND topLevel = nullptr;
    static constexpr int kTopLeft = 50;  // screen position of the top-level window

private:
    static LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static Win32Fixture* current;
    std::vector<RecordedMessage> record;
};

// Pixel helpers for 32-bit DIB sections (0x00RRGGBB).
HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits);
// The header of such a bitmap, 32 bits per pixel, top row first.
BITMAPINFO TopDownDibInfo(int width, int height);
