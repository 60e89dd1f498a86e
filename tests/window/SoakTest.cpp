// Many window lifecycles in a row: create, resize, paint, input, destroy,
// with the engine loaded and unloaded each time. Nothing may be left behind.
// VP_SOAK_CYCLES sets the number of cycles (a short run by default).
#include <cstdlib>

#include "WindowFixture.h"

#ifndef _WIN32
#include <headless_control.h>
#endif

namespace {

int Cycles() {
    const char* text = std::getenv("VP_SOAK_CYCLES");
    int cycles = text ? std::atoi(text) : 0;
    return cycles > 0 ? cycles : 100;
}

}  // namespace

using Soak = WindowTest;

TEST_F(Soak, WindowLifecyclesLeaveNothingBehind) {
    engine.reset();  // the host loads and releases the engine on its own each cycle
#ifndef _WIN32
    int windows = headless::CountLiveWindows();
    int dcs = headless::CountLiveDCs();
    int objects = headless::CountLiveGdiObjects();
#endif
    for (int cycle = 0; cycle < Cycles(); ++cycle) {
        CPlayerWnd* window = CreatePlayer();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(window->GetInstanceRecord(), nullptr);
        HWND hwnd = window->GetSafeHwnd();
        Place(window, cycle % 7, cycle % 5, 60 + cycle % 50, 40 + cycle % 30);
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
        window->BlitRect(0, 0, 20, 20);
        window->FillBackground(cycle, 0, 0);
        Pump();
        DestroyPlayer(window);
        ASSERT_FALSE(IsWindow(hwnd));
        ASSERT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
        ASSERT_EQ(VantraPlayerManager::Get(true)->EngineModule(), nullptr) << "cycle " << cycle;
    }
#ifndef _WIN32
    EXPECT_EQ(headless::CountLiveWindows(), windows);
    EXPECT_EQ(headless::CountLiveDCs(), dcs);
    EXPECT_EQ(headless::CountLiveGdiObjects(), objects);
#endif
}
