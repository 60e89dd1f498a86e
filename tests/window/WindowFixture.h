// Host windows against the recording engine, under a recording parent
// window, on the headless backend and on Wine.
#pragma once

#include <EngineMode.h>
#include <RecordingEngineClient.h>
#include <VantraPlayerManager.h>
#include <VantraPlayerWnd.h>
#include <Win32Fixture.h>

#include <memory>
#include <string>
#include <vector>

class WindowTest : public Win32Fixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A host window under `parent` (the recording parent by default), with
    // the engine of the given folder.
    CPlayerWnd* CreatePlayer(const char* engine = "recording");
    // The same with the folder text the host is given ("/<folder>/").
    CPlayerWnd* CreatePlayerIn(const std::u16string& folderText);
    // Shows and places the window as the Java side does.
    void Place(CPlayerWnd* window, int x, int y, int width, int height);
    void DestroyPlayer(CPlayerWnd* window);

    // A pixel of a window's client area, as RGB().
    static COLORREF PixelAt(HWND hwnd, int x, int y);
    // Ctrl, Shift and Alt as GetKeyState will report them.
    static void SetModifiers(bool ctrl, bool shift, bool alt);

    std::vector<RecordedCall> CallsOf(int32_t entry) const { return engine->CallsOf(entry); }
    std::vector<std::string> Invocations() const;  // the texts given to CallFunction2, in order

    std::unique_ptr<RecordingEngineClient> engine;
    HWND parent = nullptr;
    std::vector<CPlayerWnd*> players;

private:
    static bool modifiersChanged;  // set back at the end of the test
};
