// A 64-bit host with an engine built for 32-bit x86: the library reads the
// engine's processor from its file, runs it in a 32-bit engine process, and
// shows what it draws. The engine is the no-op engine of the linux32 build,
// named by VP_ENGINE32_FOLDER.
#include <HostServices.h>

#include <cstdlib>
#include <string>

#include "WindowFixture.h"

TEST_F(WindowTest, A64BitHostShowsWhatItsEngineBuiltFor32BitX86Draws) {
    const char* folder = std::getenv("VP_ENGINE32_FOLDER");
    if (!folder) GTEST_SKIP() << "runs as window_tests.cross-architecture, with the linux32 build's engine";
    if (sizeof(void*) != 8) GTEST_SKIP() << "a 64-bit host only";
    std::string text = std::string("/") + folder;
    CPlayerWnd* window = CreatePlayerIn(std::u16string(text.begin(), text.end()));
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->GetInstanceRecord(), nullptr) << "the engine runs";
    EXPECT_TRUE(VantraPlayerManager::Get(true)->EngineInOwnProcess()) << "chosen for its processor alone";
    HWND hwnd = window->GetSafeHwnd();
    Place(window, 0, 0, 64, 48);
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_EQ(PixelAt(hwnd, 0, 0), RGB(0x33, 0x66, 0x99));
    EXPECT_EQ(PixelAt(hwnd, 63, 47), RGB(0x33, 0x66, 0x99));
    char* value = window->GetVariable("x");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "42");
    FreeEngineBlock(value);
    EXPECT_TRUE(window->DoPlay());
}
