#include "WindowFixture.h"

#include <algorithm>

#ifndef _WIN32
#include <headless_control.h>
#endif

void WindowTest::SetUp() {
    Win32Fixture::SetUp();
    engine = std::make_unique<RecordingEngineClient>();
    ASSERT_TRUE(engine->Loaded()) << "the recording engine must be built";
    parent = CreateChild(WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 300, 250);
    ASSERT_NE(parent, nullptr);
    Pump();
    ClearRecord();
}

void WindowTest::TearDown() {
    for (CPlayerWnd* window : std::vector<CPlayerWnd*>(players)) DestroyPlayer(window);
    if (modifiersChanged) SetModifiers(false, false, false);
    engine.reset();
    Win32Fixture::TearDown();
}

CPlayerWnd* WindowTest::CreatePlayer(const char* engineName) {
    return CreatePlayerIn(RecordingEngineClient::FolderText(engineName));
}

CPlayerWnd* WindowTest::CreatePlayerIn(const std::u16string& folderText) {
    auto* window = new CPlayerWnd();
    window->SetPlayerFolder(folderText);
    if (!window->CreateHostWindow(parent)) {
        delete window;
        return nullptr;
    }
    players.push_back(window);
    return window;
}

void WindowTest::Place(CPlayerWnd* window, int x, int y, int width, int height) {
    ShowWindow(window->GetSafeHwnd(), SW_SHOWNORMAL);
    MoveWindow(window->GetSafeHwnd(), x, y, width, height, TRUE);
}

void WindowTest::DestroyPlayer(CPlayerWnd* window) {
    players.erase(std::remove(players.begin(), players.end(), window), players.end());
    window->StopPlay();
    window->DestroyWindow();
    window->DeleteWhenSafe();
}

COLORREF WindowTest::PixelAt(HWND hwnd, int x, int y) {
    GdiFlush();
    HDC dc = GetDC(hwnd);
    COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return color;
}

bool WindowTest::modifiersChanged = false;

void WindowTest::SetModifiers(bool ctrl, bool shift, bool alt) {
    modifiersChanged = ctrl || shift || alt;
#ifdef _WIN32
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_MENU] = alt ? 0x80 : 0;
    SetKeyboardState(keys);
#else
    headless::SetKeyDown(VK_CONTROL, ctrl);
    headless::SetKeyDown(VK_SHIFT, shift);
    headless::SetKeyDown(VK_MENU, alt);
#endif
}

std::vector<std::string> WindowTest::Invocations() const {
    std::vector<std::string> texts;
    for (const RecordedCall& call : CallsOf(kCallFunction2)) texts.push_back(call.text[0]);
    return texts;
}
