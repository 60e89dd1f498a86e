// The windows a process shows, as the library names them for a stuck engine
// process: here this process's own, on either backend.
#include <ProcessWindows.h>
#include <Win32Fixture.h>

#include <algorithm>

namespace {

class ProcessWindows : public Win32Fixture {
protected:
    void SetUp() override {
        Win32Fixture::SetUp();
#ifndef _WIN32
        // The system's control classes, which the headless backend lacks.
        for (const char16_t* name : {u"Static", u"Button"}) {
            WNDCLASSW control{};
            control.lpfnWndProc = DefWindowProcW;
            control.lpszClassName = AsWide(name);
            RegisterClassW(&control);
        }
#endif
    }

    HWND Make(const char16_t* className, const char16_t* text, DWORD style, HWND parent = nullptr) {
        HWND window = CreateWindowExW(0, AsWide(className), AsWide(text), style, 0, 0, 200, 100, parent, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        made.push_back(window);
        return window;
    }
    void TearDown() override {
        for (auto window = made.rbegin(); window != made.rend(); ++window) DestroyWindow(*window);
        Win32Fixture::TearDown();
    }

    std::vector<HWND> made;
};

}  // namespace

TEST_F(ProcessWindows, TheVisibleOnesAreNamedWithTheirStaticTextsOnOneLine) {
    HWND box = Make(u"Static", u"A box of the movie", WS_POPUP | WS_VISIBLE);
    Make(u"Static", u"Line one\n\nline two", WS_CHILD | WS_VISIBLE, box);
    Make(u"Button", u"OK", WS_CHILD | WS_VISIBLE, box);
    Make(u"Static", u"Not shown", WS_POPUP);

    std::vector<ShownWindow> shown = WindowsShownBy(GetCurrentProcessId());
    auto named = [&](const std::u16string& title) {
        return std::find_if(shown.begin(), shown.end(), [&](const ShownWindow& w) { return w.title == title; });
    };
    ASSERT_NE(named(u"A box of the movie"), shown.end());
    EXPECT_EQ(named(u"A box of the movie")->text, u"Line one\n\nline two") << "its static text, not its button's";
    EXPECT_EQ(named(u"Not shown"), shown.end());
    EXPECT_EQ(Described({*named(u"A box of the movie")}), u"\"A box of the movie\": Line one line two");
    EXPECT_FALSE(IsRuntimeErrorBox(*named(u"A box of the movie")));
    EXPECT_TRUE(IsRuntimeErrorBox({u"Microsoft Visual C++ Runtime Library", u"Runtime Error!"}));
    EXPECT_TRUE(WindowsShownBy(0).empty());
}
