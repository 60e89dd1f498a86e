// The release JNIToVantraPlayerBridge.dll driven as a JVM drives it: loaded
// by path, JNI_OnLoad given our own JavaVM, every native called through
// GetProcAddress by its undecorated name with the JNI convention, engines
// placed as an application installs them ("Vantra Player 8\stagerun.dll"
// under a player folder of their own). Nothing of the library's sources is
// linked in: only the engine contract's header.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "EngineContract.h"
#include "JavaStandIn.h"
#include "ProductLibrary.h"
#include "RecordingEngineControl.h"

namespace {

const WCHAR* W(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }
std::u16string U(const char* text) { return std::u16string(text, text + std::strlen(text)); }

std::u16string Folder(const std::u16string& path) { return path.substr(0, path.find_last_of(u"\\/")); }

// build/<preset>: the driver runs from build/<preset>/tests.
std::u16string BuildFolder() {
    WCHAR buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    return Folder(Folder(std::u16string(reinterpret_cast<char16_t*>(buffer), length)));
}

// The engines built beside this program, or those of the folder
// VP_ENGINES_FOLDER names (the 32-bit ones, for a 64-bit library).
std::u16string EnginesFolder() {
    WCHAR named[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VP_ENGINES_FOLDER", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::u16string(reinterpret_cast<char16_t*>(named), length);
    return BuildFolder() + u"\\engines";
}

// A player folder of its own under the temporary folder, with one of our
// engines as "Vantra Player 8\stagerun.dll" (and the sample engine's font).
class PlayerFolder {
public:
    explicit PlayerFolder(const char* engine, const std::u16string& nameSuffix = u"") {
        WCHAR temp[MAX_PATH];
        DWORD length = GetTempPathW(MAX_PATH, temp);
        root_ = std::u16string(reinterpret_cast<char16_t*>(temp), length) + u"vp-product-" +
                U(std::to_string(GetCurrentProcessId()).c_str()) + u"-" + U(engine) + nameSuffix + u"\\";
        std::u16string built = EnginesFolder() + u"\\" + U(engine) + u"\\Vantra Player 8\\";
        for (const std::u16string& folder :
             {root_, root_ + u"Vantra Player 8\\", root_ + u"Vantra Player 8\\fonts\\"}) {
            CreateDirectoryW(W(folder), nullptr);
        }
        for (const char* file : {"stagerun.dll", "fonts\\DejaVuSans.ttf"}) {
            std::u16string target = root_ + u"Vantra Player 8\\" + U(file);
            if (CopyFileW(W(built + U(file)), W(target), FALSE)) copied_.push_back(target);
        }
    }
    ~PlayerFolder() {
        for (const std::u16string& file : copied_) DeleteFileW(W(file));
        for (const std::u16string& folder :
             {root_ + u"Vantra Player 8\\fonts\\", root_ + u"Vantra Player 8\\", root_}) {
            RemoveDirectoryW(W(folder));
        }
    }
    PlayerFolder(const PlayerFolder&) = delete;
    PlayerFolder& operator=(const PlayerFolder&) = delete;

    // As Java names it: a leading "/" and forward slashes.
    std::u16string JavaText() const {
        std::u16string text = u"/" + root_;
        for (char16_t& c : text) c = c == u'\\' ? u'/' : c;
        return text;
    }
    std::u16string EngineFile() const { return root_ + u"Vantra Player 8\\stagerun.dll"; }
    bool Ready() const { return !copied_.empty(); }

private:
    std::u16string root_;
    std::vector<std::u16string> copied_;
};

// The recording engine's controls, reached in the module the library loaded.
struct RecordingControls {
    explicit RecordingControls(const std::u16string& engineFile) : module(LoadLibraryW(W(engineFile))) {
        if (!module) return;
        reset = Find<RecordingResetFn>("RecordingEngine_Reset");
        callCount = Find<RecordingCallCountFn>("RecordingEngine_CallCount");
        getCall = Find<RecordingGetCallFn>("RecordingEngine_GetCall");
        setResult = Find<RecordingSetResultFn>("RecordingEngine_SetResult");
        setTextResult = Find<RecordingSetTextResultFn>("RecordingEngine_SetTextResult");
        setCallback = Find<RecordingSetCallbackFn>("RecordingEngine_SetCallback");
        reset();
    }
    ~RecordingControls() { Release(); }
    void Release() {
        if (module) FreeLibrary(module);
        module = nullptr;
    }
    template <typename F>
    F Find(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    std::vector<RecordedCall> CallsOf(int32_t entry) {
        std::vector<RecordedCall> calls;
        for (int32_t i = 0; i < callCount(); ++i) {
            RecordedCall call;
            if (getCall(i, &call) && call.entry == entry) calls.push_back(call);
        }
        return calls;
    }
    std::vector<std::string> TextsOf(int32_t entry) {
        std::vector<std::string> texts;
        for (const RecordedCall& call : CallsOf(entry)) texts.push_back(call.text[0]);
        return texts;
    }

    HMODULE module;
    RecordingResetFn reset = nullptr;
    RecordingCallCountFn callCount = nullptr;
    RecordingGetCallFn getCall = nullptr;
    RecordingSetResultFn setResult = nullptr;
    RecordingSetTextResultFn setTextResult = nullptr;
    RecordingSetCallbackFn setCallback = nullptr;
};

template <typename Signature>
Signature Service(HostServices* services, int index) {
    return EntryAs<Signature>(services->entries[index]);
}

constexpr char kNativePrefix[] = "Java_com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget_";
constexpr jlong kNeverMade = 0x0BADF00D;

// The widget's native window: the parent's child made after `before`.
HWND NewChild(HWND parent, const std::vector<HWND>& before) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (std::find(before.begin(), before.end(), child) == before.end()) return child;
    }
    return nullptr;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

// Every message a subclassed window receives, with its parameters.
struct MessageWatch {
    struct Seen {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    static std::vector<Seen>& Log() {
        static std::vector<Seen> log;
        return log;
    }
    static WNDPROC& Original() {
        static WNDPROC original = nullptr;
        return original;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Log().push_back({message, wParam, lParam});
        return CallWindowProcW(Original(), hwnd, message, wParam, lParam);
    }
    explicit MessageWatch(HWND window) : hwnd(window) {
        Log().clear();
        Original() = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageWatch::Proc)));
    }
    ~MessageWatch() { SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Original())); }
    MessageWatch(const MessageWatch&) = delete;
    MessageWatch& operator=(const MessageWatch&) = delete;
    HWND hwnd;
};

// The process: one VM, the product library loaded once, a top-level window
// to parent the widgets.
class Jvm {
public:
    static Jvm& Get() {
        static Jvm jvm;
        return jvm;
    }

    JavaStandIn java;
    ProductLibrary library{BuildFolder() + u"\\JNIToVantraPlayerBridge\\JNIToVantraPlayerBridge.dll"};
    HWND parent = nullptr;
    jint onLoadVersion = 0;

    // A static native: (JNIEnv*, jclass, args...) in a native frame of its own.
    template <typename R, typename... A>
    R Static(const char* name, A... args) {
        java.EnterNative();
        R result =
            library.Call<R>((kNativePrefix + std::string(name)).c_str(), java.Env(), java.WidgetClass(), Arg(args)...);
        java.LeaveNative();
        return result;
    }
    template <typename... A>
    void StaticVoid(const char* name, A... args) {
        java.EnterNative();
        library.Call<void>((kNativePrefix + std::string(name)).c_str(), java.Env(), java.WidgetClass(), Arg(args)...);
        java.LeaveNative();
    }
    // A static native that returns a String: its text, "<null>" for null.
    template <typename... A>
    std::string StaticText(const char* name, A... args) {
        java.EnterNative();
        jstring result = library.Call<jstring>((kNativePrefix + std::string(name)).c_str(), java.Env(),
                                               java.WidgetClass(), Arg(args)...);
        std::string text = java.TextOf(result);
        java.LeaveNative();
        return text;
    }

    jlong Create(JavaWidget& widget, const std::u16string& folder) {
        java.EnterNative();
        jlong handle = library.Call<jlong>((std::string(kNativePrefix) + "createVantraPlayerHostWindow").c_str(),
                                           java.Env(), widget.self, ParentHandle(), java.NewJavaString(folder));
        java.LeaveNative();
        return handle;
    }
    // A widget's native window: its handle and the child window it made under the parent.
    struct Opened {
        jlong handle;
        HWND child;
    };
    Opened Open(JavaWidget& widget, const std::u16string& folder) {
        std::vector<HWND> before = Children(parent);
        jlong handle = Create(widget, folder);
        return {handle, NewChild(parent, before)};
    }
    jlong ParentHandle() const { return static_cast<jlong>(reinterpret_cast<intptr_t>(parent)); }
    std::vector<int> Size(jlong handle) {
        java.EnterNative();
        jintArray size = java.NewJavaIntArray({-1, -1});
        library.Call<void>((std::string(kNativePrefix) + "computeVantraPlayerHostWindowSize").c_str(), java.Env(),
                           java.WidgetClass(), handle, size);
        std::vector<jint> values = java.IntArrayValues(size);
        java.LeaveNative();
        return std::vector<int>(values.begin(), values.end());
    }

private:
    Jvm() {
        java.EnterNative();
        onLoadVersion = library.Call<jint>("JNI_OnLoad", java.Vm(), static_cast<void*>(nullptr));
        java.LeaveNative();
        StaticVoid("initIDs");
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ProductDriverParent";
        RegisterClassW(&windowClass);
        parent = CreateWindowExW(0, L"ProductDriverParent", L"product driver",
                                 WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 700, 500, nullptr, nullptr,
                                 nullptr, nullptr);
    }

    jstring Arg(const char* text) { return text ? java.NewJavaString(U(text)) : nullptr; }
    template <typename T>
    T Arg(T value) {
        return value;
    }
};

COLORREF PixelOf(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return color;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

class ProductDll : public ::testing::Test {
protected:
    Jvm& jvm = Jvm::Get();
    JavaStandIn& java = jvm.java;

    void SetUp() override {
        ASSERT_NE(jvm.library.Module(), nullptr) << "the product DLL did not load";
        ASSERT_NE(jvm.parent, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(java.violations, std::vector<std::string>{});
        EXPECT_EQ(jvm.library.faults, std::vector<std::string>{});
        EXPECT_EQ(java.Pending(), nullptr) << java.PendingWhat();
        java.violations.clear();
        java.ClearPending();
    }
};

}  // namespace

TEST_F(ProductDll, LoadsAnswersTheVersionAndFindsTheUpcalls) {
    EXPECT_EQ(jvm.onLoadVersion, JNI_VERSION_1_2);
    int lookups = 0;
    for (const std::string& call : java.calls) lookups += call == "GetMethodID";
    EXPECT_EQ(lookups, 4);
    EXPECT_NE(jvm.Static<jlong>("createVantraPlayerManager"), 0);
    EXPECT_EQ(jvm.Static<jlong>("createVantraPlayerManager"), jvm.Static<jlong>("createVantraPlayerManager"));
}

// Handles that are 0 or were never made: every native gives its neutral result.
namespace {
// A text of the version resource's string table (US English, UTF-16).
std::u16string VersionText(const std::vector<char>& block, const char16_t* name) {
    std::u16string path = std::u16string(u"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), W(path), &value, &length) || !value) return u"<none>";
    std::u16string text(static_cast<const char16_t*>(value), length);
    return text.substr(0, text.find(u'\0'));
}
}  // namespace

TEST_F(ProductDll, CarriesItsVersion) {
    std::u16string dll = BuildFolder() + u"\\JNIToVantraPlayerBridge\\JNIToVantraPlayerBridge.dll";
    DWORD size = GetFileVersionInfoSizeW(W(dll), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(W(dll), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(VP_VERSION_MAJOR << 16 | VP_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(VP_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(VersionText(block, u"FileVersion"), U(VP_VERSION));
    EXPECT_EQ(VersionText(block, u"ProductVersion"), U(VP_VERSION));
    EXPECT_EQ(VersionText(block, u"ProductName"), u"JNIToVantraPlayerBridge");
    EXPECT_EQ(VersionText(block, u"OriginalFilename"), u"JNIToVantraPlayerBridge.dll");
    EXPECT_EQ(VersionText(block, u"FileDescription"),
              std::u16string(u"Native bridge of VantraPlayerWidget to the Vantra Player engine (") +
                  (sizeof(void*) == 4 ? u"32" : u"64") + u"-bit)");
    EXPECT_EQ(VersionText(block, u"LegalCopyright").rfind(u"Copyright (C) ", 0), 0u);
}

TEST_F(ProductDll, HandlesThatAreNoWindowGiveNeutralResults) {
    for (jlong handle : {jlong{0}, kNeverMade, jlong{-1}}) {
        // Each check names the handle itself: SCOPED_TRACE would start GoogleTest's
        // thread-local watcher thread, beside which the library's debug output
        // ends the emulated 32-bit process (tests/emulator).
        EXPECT_EQ(jvm.Static<jlong>("GetVPPInstance", handle), 0) << handle;
        EXPECT_EQ(jvm.Static<jlong>("destroyVantraPlayerHostWindow", handle), 0) << handle;
        EXPECT_EQ(jvm.Size(handle), (std::vector<int>{-1, -1})) << handle;
        jvm.StaticVoid("resizeVantraPlayerHostWindow", handle, jint{0}, jint{0}, jint{10}, jint{10});
        jvm.StaticVoid("drawVantraPlayerHostWindow", handle, jint{0}, jint{0}, jint{10}, jint{10});
        jvm.StaticVoid("setFocus", handle, jint{0});
        jvm.StaticVoid("KickIdle", handle);
        jvm.StaticVoid("suppressVantraPlayerHostWindowPainting", handle, jboolean{JNI_TRUE});
        EXPECT_EQ(jvm.Static<jboolean>("VPP_1StopPlay", handle), JNI_FALSE) << handle;
        EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", handle), JNI_FALSE) << handle;
        EXPECT_EQ(jvm.Static<jboolean>("VPP_1LoadMovie", handle, jint{1}, "file:///m", jboolean{JNI_FALSE}), JNI_FALSE)
            << handle;
        EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetVariable", handle, "a", "b"), JNI_FALSE) << handle;
        EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "a"), "false") << handle;
        EXPECT_EQ(jvm.Static<jboolean>("VPP_1CallFunction", handle, "<invoke/>"), JNI_FALSE) << handle;
        EXPECT_EQ(jvm.StaticText("VPP_1CallFunction2", handle, "<invoke/>"), "") << handle;
    }
}

TEST_F(ProductDll, PlaceholdersAnswerZeroOrFalse) {
    jlong handle = kNeverMade;
    jvm.StaticVoid("setVantraPlayerHostWindowPosition", handle, jint{3});
    EXPECT_EQ(jvm.Static<jint>("getVantraPlayerHostWindowPosition", handle), 0);
    jvm.StaticVoid("setMaximum", handle, jint{9});
    EXPECT_EQ(jvm.Static<jint>("getMaximum", handle), 0);
    jvm.StaticVoid("setMinimum", handle, jint{1});
    EXPECT_EQ(jvm.Static<jint>("getMinimum", handle), 0);
    EXPECT_EQ(jvm.Static<jint>("VPA_1PlayerStartDebugger", handle), 0);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1KillEdittextFocus", handle), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetQuality", handle, jint{2}), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1PushData", handle, jint{1}, jint{2}), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1PushDataBuf", handle, jint{1}, jint{2}), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1HasEdittextFocus", handle), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1CancelCapture", handle, jint{1}), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1UpdateCursor", handle), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SendDebugInfo", handle, jint{1}), JNI_FALSE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetPlayerType", handle, static_cast<jobject>(nullptr)), JNI_FALSE);
}

#if defined(_WIN32) && !defined(_WIN64)
// The check itself: a call that pushes one word more than the native takes
// leaves the stack four bytes lower, and that is reported.
TEST_F(ProductDll, TheStackCheckSeesAnUnbalancedCall) {
    java.EnterNative();
    jvm.library.Call<jint>((std::string(kNativePrefix) + "getMinimum").c_str(), java.Env(), java.WidgetClass(),
                           kNeverMade, jint{99});
    java.LeaveNative();
    ASSERT_EQ(jvm.library.faults.size(), 1u);
    EXPECT_NE(jvm.library.faults[0].find("moved by -4 bytes"), std::string::npos) << jvm.library.faults[0];
    jvm.library.faults.clear();
}
#endif

namespace {

// The recording engine's paint: a block of colour into the back buffer where
// asked, then shown with BlitRect.
void PaintBlock(InstanceRecord* record, HostServices* services, void*) {
    void* pixels = nullptr;
    if (Service<service::LockBackBuffer>(services, kServiceLockBackBuffer)(record, &pixels) != 0 || !pixels) return;
    int32_t width = 0, height = 0;
    Service<service::GetWindowSize>(services, kServiceGetWindowSize)(record, &width, &height);
    int32_t stride = (width + 3) / 4 * 4;
    auto* rows = static_cast<uint32_t*>(pixels);
    for (int y = 10; y < 30 && y < height; ++y) {
        for (int x = 20; x < 50 && x < width; ++x) rows[y * stride + x] = 0x00FF8000;  // orange, 0x00RRGGBB
    }
    Service<service::RecordOnly>(services, kServiceUnlockBackBuffer)(record);
    Service<service::FourWords>(services, kServiceBlitRect)(record, 0, 0, width, height);
}

// The movie calls Java: entry 22 with a request; the reply goes back to the
// movie's caller as its own answer.
struct CallOut {
    int32_t status = -1;
    std::string reply;
};
void CallJava(InstanceRecord* record, HostServices* services, void* context) {
    auto* out = static_cast<CallOut*>(context);
    char* reply = nullptr;
    out->status =
        Service<service::CallFunction>(services, kServiceCallFunction)(record, "<invoke name=\"ask\"/>", &reply);
    out->reply = reply ? reply : "<none>";
    if (reply) Service<service::Free>(services, kFree)(reply);
}

void TraceTwice(InstanceRecord* record, HostServices* services, void*) {
    Service<service::Trace>(services, kServiceTrace)(record, "frame");
    Service<service::Trace>(services, kServiceTrace)(record, "caf\xC3\xA9");
}

}  // namespace

TEST_F(ProductDll, AWidgetLivesWithTheRecordingEngine) {
    PlayerFolder folder("recording");
    ASSERT_TRUE(folder.Ready());
    JavaWidget& widget = java.NewWidget();
    auto [handle, child] = jvm.Open(widget, folder.JavaText());
    ASSERT_NE(handle, 0);
    RecordingControls engine(folder.EngineFile());
    ASSERT_NE(engine.callCount, nullptr);
    EXPECT_EQ(java.LibraryGlobalRefs(), 1);  // the registry's reference to the widget
    EXPECT_NE(jvm.Static<jlong>("GetVPPInstance", handle), 0);

    // Hidden and 100 x 100 until Java sizes it; sizing shows it.
    ASSERT_NE(child, nullptr);
    EXPECT_FALSE(IsWindowVisible(child));
    jvm.StaticVoid("resizeVantraPlayerHostWindow", handle, jint{10}, jint{20}, jint{320}, jint{200});
    EXPECT_TRUE(IsWindowVisible(child));
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);

    engine.setResult(kGetMovieSize, (640 << 16) | 480);
    EXPECT_EQ(jvm.Size(handle), (std::vector<int>{640, 480}));

    EXPECT_EQ(
        jvm.Static<jboolean>("VPP_1LoadMovie", handle, jint{4}, "file:///C:/movies/intro.vmv", jboolean{JNI_TRUE}),
        JNI_TRUE);
    std::vector<RecordedCall> loads = engine.CallsOf(kLoadMovie);
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].args[0], 4);
    EXPECT_EQ(loads[0].args[1], 1);
    EXPECT_STREQ(loads[0].text[0], "file:///C:/movies/intro.vmv");
    ASSERT_EQ(engine.CallsOf(kSetModeValue).size(), 1u);
    EXPECT_EQ(engine.CallsOf(kSetModeValue)[0].args[0], 3);
    engine.setResult(kLoadMovie, 7);  // the engine refuses the next movie
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1LoadMovie", handle, jint{1}, "file:///x", jboolean{JNI_FALSE}), JNI_FALSE);

    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", handle), JNI_TRUE);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1StopPlay", handle), JNI_TRUE);

    // Painting: the engine draws into the back buffer and blits; the pixels
    // are read back from the window.
    engine.setCallback(kPaintArea, &PaintBlock, nullptr);
    jvm.StaticVoid("drawVantraPlayerHostWindow", handle, jint{0}, jint{0}, jint{320}, jint{200});
    std::vector<RecordedCall> paints = engine.CallsOf(kPaintArea);
    ASSERT_FALSE(paints.empty());
    EXPECT_EQ(std::vector<intptr_t>(paints.back().args, paints.back().args + 4),
              (std::vector<intptr_t>{0, 0, 200, 320}));  // top, left, bottom, right
    EXPECT_EQ(PixelOf(child, 25, 15), RGB(0xFF, 0x80, 0x00));
    EXPECT_EQ(PixelOf(child, 100, 100), RGB(0, 0, 0));  // the rest of a new back buffer is zero
    jvm.StaticVoid("suppressVantraPlayerHostWindowPainting", handle, jboolean{JNI_TRUE});
    jvm.StaticVoid("suppressVantraPlayerHostWindowPainting", handle, jboolean{JNI_FALSE});

    // Mouse input reaches the engine as events and as invocation texts.
    jvm.StaticVoid("setFocus", handle, jint{0});
    EXPECT_EQ(GetFocus(), child);
    SendMessageW(child, WM_MOUSEMOVE, 0, MAKELPARAM(7, 8));
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 8));
    SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(9, 10));
    SendMessageW(child, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 40));
    SendMessageW(child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(11, 12));
    std::vector<std::string> invocations = engine.TextsOf(kCallFunction2);
    const std::vector<std::string> expected = {
        "<invoke name=\"handleMouseEnter\"><arguments></arguments></invoke>",
        "<invoke name=\"handleMouseMove\"><arguments><number>7</number><number>8</number>"
        "<false/><false/><false/></arguments></invoke>",
        "<invoke name=\"handleLMouseDown\"><arguments><number>7</number><number>8</number>"
        "<false/><false/><false/></arguments></invoke>",
        "<invoke name=\"handleLMouseUp\"><arguments><number>9</number><number>10</number>"
        "<false/><false/><false/></arguments></invoke>",
        "<invoke name=\"handleRMouseDown\"><arguments><number>30</number><number>40</number>"
        "<false/><false/><false/></arguments></invoke>",
    };
    EXPECT_EQ(invocations, expected);
    EXPECT_EQ(engine.CallsOf(kHandleEvent).size(), 3u);  // move, down, up
    EXPECT_EQ(widget.contextMenus, (std::vector<std::vector<jint>>{{30, 40}}));
    EXPECT_EQ(widget.doubleClicks, (std::vector<std::vector<jint>>{{11, 12}}));

    // KickIdle drains the queue: a posted click arrives, then the idle message, once.
    {
        MessageWatch watch(child);
        PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 2));
        PostMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(1, 2));
        jvm.StaticVoid("KickIdle", handle);
        EXPECT_EQ(engine.CallsOf(kHandleEvent).size(), 5u);
        std::vector<UINT> messages;
        for (const MessageWatch::Seen& seen : MessageWatch::Log()) messages.push_back(seen.message);
        auto up = std::find(messages.begin(), messages.end(), static_cast<UINT>(WM_LBUTTONUP));
        auto idle = std::find(messages.begin(), messages.end(), 883u);
        ASSERT_NE(idle, messages.end());
        EXPECT_LT(up, idle);
        EXPECT_EQ(std::count(messages.begin(), messages.end(), 883u), 1);
        const MessageWatch::Seen& idleMessage = MessageWatch::Log()[static_cast<size_t>(idle - messages.begin())];
        EXPECT_EQ(idleMessage.wParam, 1u);
        EXPECT_EQ(idleMessage.lParam, 0);
    }

    // Variables and calls.
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetVariable", handle, "speed", "fast"), JNI_FALSE);  // the engine answered 0
    engine.setResult(kSetVariable, 1);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetVariable", handle, "speed", "fast"), JNI_TRUE);
    EXPECT_STREQ(engine.CallsOf(kSetVariable).back().text[1], "fast");
    EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "speed"), "");  // no value
    engine.setTextResult(kGetVariable, "fast");
    EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "speed"), "fast");
    engine.setResult(kCallFunction, 1);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1CallFunction", handle, "<invoke name=\"go\"/>"), JNI_TRUE);

    // CallFunction2 whose movie calls Java, which answers.
    CallOut out;
    engine.setCallback(kCallFunction2, &CallJava, &out);
    engine.setTextResult(kCallFunction2, "<string>done</string>");
    widget.reply = "<string>from Java</string>";
    EXPECT_EQ(jvm.StaticText("VPP_1CallFunction2", handle, "<invoke name=\"work\"/>"), "<string>done</string>");
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.reply, "<string>from Java</string>");
    EXPECT_EQ(widget.requests.back(), "<invoke name=\"ask\"/>");

    // ... and once more with a Java listener that throws: the engine hears 1,
    // the exception reaches the Java caller of the native.
    widget.throwFromUpcalls = true;
    int described = java.describedExceptions;
    jvm.StaticText("VPP_1CallFunction2", handle, "<invoke name=\"work\"/>");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(java.describedExceptions, described + 1);
    EXPECT_EQ(java.PendingWhat(), "java.lang.IllegalStateException: thrown by a listener");
    java.ClearPending();
    widget.throwFromUpcalls = false;
    engine.setCallback(kCallFunction2, nullptr, nullptr);

    // Traces, including a text that is UTF-8, not modified UTF-8 alone.
    engine.setCallback(kDoPlay, &TraceTwice, nullptr);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", handle), JNI_TRUE);
    EXPECT_EQ(widget.traces, (std::vector<std::string>{"frame", "caf?"}));
    engine.setCallback(kDoPlay, nullptr, nullptr);

    EXPECT_EQ(jvm.Static<jlong>("destroyVantraPlayerHostWindow", handle), 0);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
    EXPECT_EQ(engine.CallsOf(kStopPlay).size(), 2u);
    EXPECT_EQ(engine.CallsOf(kDestroyInstance).size(), 1u);
    EXPECT_EQ(engine.CallsOf(kShutdown).size(), 1u);
    // Stale from now on.
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", handle), JNI_FALSE);
    EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "speed"), "false");
    engine.Release();
    EXPECT_EQ(GetModuleHandleW(W(folder.EngineFile())), nullptr) << "the library kept the engine loaded";
    EXPECT_LE(java.MaxLocalRefsInAFrame(), 16);
}

TEST_F(ProductDll, WindowsWithoutEngineEachReachTheirOwnWidget) {
    PlayerFolder folder("no-such-engine");
    JavaWidget& first = java.NewWidget();
    JavaWidget& second = java.NewWidget();
    Jvm::Opened one = jvm.Open(first, folder.JavaText());
    Jvm::Opened two = jvm.Open(second, folder.JavaText());
    ASSERT_NE(one.handle, 0);
    ASSERT_NE(two.handle, 0);
    EXPECT_EQ(jvm.Static<jlong>("GetVPPInstance", one.handle), 0);
    EXPECT_EQ(java.LibraryGlobalRefs(), 2);
    SendMessageW(two.child, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4));
    SendMessageW(one.child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 6));
    EXPECT_EQ(first.doubleClicks, (std::vector<std::vector<jint>>{{5, 6}}));
    EXPECT_TRUE(first.contextMenus.empty());
    EXPECT_EQ(second.contextMenus, (std::vector<std::vector<jint>>{{3, 4}}));
    EXPECT_TRUE(second.doubleClicks.empty());
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", one.handle);
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", two.handle);
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
}

TEST_F(ProductDll, APlayerFolderNamedOutsideLatin1) {
    PlayerFolder folder("recording", u"-\u03A9\u03BC\u03AD\u03B3\u03B1-\u65E5\u672C");
    ASSERT_TRUE(folder.Ready());
    JavaWidget& widget = java.NewWidget();
    jlong handle = jvm.Create(widget, folder.JavaText());
    ASSERT_NE(handle, 0);
    EXPECT_NE(jvm.Static<jlong>("GetVPPInstance", handle), 0);
    EXPECT_NE(GetModuleHandleW(W(folder.EngineFile())), nullptr);
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", handle);
    EXPECT_EQ(GetModuleHandleW(W(folder.EngineFile())), nullptr);
}

TEST_F(ProductDll, TwoWidgetsEachHearTheirOwnMovie) {
    PlayerFolder folder("recording");
    JavaWidget& first = java.NewWidget();
    JavaWidget& second = java.NewWidget();
    jlong one = jvm.Create(first, folder.JavaText());
    jlong two = jvm.Create(second, folder.JavaText());
    ASSERT_NE(one, 0);
    ASSERT_NE(two, 0);
    EXPECT_NE(one, two);
    EXPECT_EQ(java.LibraryGlobalRefs(), 2);
    RecordingControls engine(folder.EngineFile());
    engine.setCallback(kDoPlay, &TraceTwice, nullptr);
    jvm.Static<jboolean>("VPP_1DoPlay", two);
    EXPECT_TRUE(first.traces.empty());
    EXPECT_EQ(second.traces.size(), 2u);
    jvm.Static<jboolean>("VPP_1DoPlay", one);
    EXPECT_EQ(first.traces.size(), 2u);
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", one);
    EXPECT_EQ(engine.CallsOf(kShutdown).size(), 0u);  // the second instance keeps the engine
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", two), JNI_TRUE);
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", two);
    EXPECT_EQ(engine.CallsOf(kShutdown).size(), 1u);
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
}

// Java closes the widget from inside its own up-calls: from the double-click
// handler, and from VPA_CallFunction while the engine is inside a call.
TEST_F(ProductDll, AWidgetClosedFromInsideItsUpcalls) {
    PlayerFolder folder("recording");
    JavaWidget& widget = java.NewWidget();
    Jvm::Opened window = jvm.Open(widget, folder.JavaText());
    ASSERT_NE(window.handle, 0);
    jvm.StaticVoid("resizeVantraPlayerHostWindow", window.handle, jint{0}, jint{0}, jint{100}, jint{80});
    widget.duringUpcall = [&] { jvm.Static<jlong>("destroyVantraPlayerHostWindow", window.handle); };
    SendMessageW(window.child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 4));
    EXPECT_EQ(widget.doubleClicks.size(), 1u);
    EXPECT_FALSE(IsWindow(window.child));
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", window.handle), JNI_FALSE);

    window = jvm.Open(widget, folder.JavaText());
    ASSERT_NE(window.handle, 0);
    RecordingControls engine(folder.EngineFile());
    CallOut out;
    engine.setCallback(kCallFunction2, &CallJava, &out);
    engine.setTextResult(kCallFunction2, "<string>late</string>");
    EXPECT_EQ(jvm.StaticText("VPP_1CallFunction2", window.handle, "<invoke name=\"work\"/>"), "<string>late</string>");
    EXPECT_EQ(out.status, 0);
    EXPECT_FALSE(IsWindow(window.child));
    EXPECT_EQ(engine.CallsOf(kDestroyInstance).size(), 1u);  // once, after the engine's call returned
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
    widget.duringUpcall = nullptr;
}

TEST_F(ProductDll, TheSampleEnginePlaysAMovie) {
    PlayerFolder folder("sample");
    ASSERT_TRUE(folder.Ready());
    JavaWidget& widget = java.NewWidget();
    auto [handle, child] = jvm.Open(widget, folder.JavaText());
    ASSERT_NE(handle, 0);
    jvm.StaticVoid("resizeVantraPlayerHostWindow", handle, jint{0}, jint{0}, jint{240}, jint{160});
    std::u16string movie = BuildFolder() + u"\\tests\\follow.json";
    std::string url = "file://";
    for (char16_t c : movie) url += static_cast<char>(c);
    ASSERT_EQ(jvm.Static<jboolean>("VPP_1LoadMovie", handle, jint{0}, url.c_str(), jboolean{JNI_FALSE}), JNI_TRUE);
    EXPECT_EQ(jvm.Size(handle), (std::vector<int>{320, 200}));  // the movie's stage
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1DoPlay", handle), JNI_TRUE);
    for (int frame = 0; frame < 8; ++frame) {
        jvm.StaticVoid("drawVantraPlayerHostWindow", handle, jint{0}, jint{0}, jint{240}, jint{160});
        Pump();
    }
    // The movie is on screen: its background and the colours of its shapes and texts.
    std::set<COLORREF> colours;
    for (int y = 0; y < 160; y += 4) {
        for (int x = 0; x < 240; x += 4) colours.insert(PixelOf(child, x, y));
    }
    EXPECT_TRUE(colours.count(RGB(0x18, 0x22, 0x2E))) << "no background";
    EXPECT_GE(colours.size(), 4u);
    SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 50));
    SendMessageW(child, WM_LBUTTONUP, 0, MAKELPARAM(50, 50));
    EXPECT_EQ(jvm.Static<jboolean>("VPP_1SetVariable", handle, "greeting", "hello"), JNI_TRUE);
    EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "greeting"), "hello");
    EXPECT_EQ(jvm.StaticText("VPP_1GetVariable", handle, "clicks"), "1");
    EXPECT_NE(
        jvm.StaticText("VPP_1CallFunction2", handle, "<invoke name=\"getFrame\"><arguments></arguments></invoke>"), "");
    EXPECT_FALSE(widget.requests.empty()) << "the movie's script calls Java at frame 6";
    jvm.Static<jlong>("destroyVantraPlayerHostWindow", handle);
    EXPECT_EQ(GetModuleHandleW(W(folder.EngineFile())), nullptr);
    EXPECT_EQ(java.LibraryGlobalRefs(), 0);
}

namespace {

// After every test: each of the 35 exports was called, through its undecorated
// name (a run of some of the tests checks only that no call faulted).
class EveryExportCalled : public ::testing::Environment {
public:
    void TearDown() override {
        EXPECT_EQ(Jvm::Get().library.faults, std::vector<std::string>{});
        if (::testing::GTEST_FLAG(filter) != "*") return;
        const std::vector<std::string> natives = {"initIDs",
                                                  "createVantraPlayerManager",
                                                  "createVantraPlayerHostWindow",
                                                  "GetVPPInstance",
                                                  "destroyVantraPlayerHostWindow",
                                                  "computeVantraPlayerHostWindowSize",
                                                  "resizeVantraPlayerHostWindow",
                                                  "drawVantraPlayerHostWindow",
                                                  "setFocus",
                                                  "KickIdle",
                                                  "suppressVantraPlayerHostWindowPainting",
                                                  "VPP_1StopPlay",
                                                  "VPP_1DoPlay",
                                                  "VPP_1LoadMovie",
                                                  "VPP_1SetVariable",
                                                  "VPP_1GetVariable",
                                                  "VPP_1CallFunction",
                                                  "VPP_1CallFunction2",
                                                  "setVantraPlayerHostWindowPosition",
                                                  "getVantraPlayerHostWindowPosition",
                                                  "setMaximum",
                                                  "getMaximum",
                                                  "setMinimum",
                                                  "getMinimum",
                                                  "VPA_1PlayerStartDebugger",
                                                  "VPP_1KillEdittextFocus",
                                                  "VPP_1SetQuality",
                                                  "VPP_1PushData",
                                                  "VPP_1PushDataBuf",
                                                  "VPP_1HasEdittextFocus",
                                                  "VPP_1CancelCapture",
                                                  "VPP_1UpdateCursor",
                                                  "VPP_1SendDebugInfo",
                                                  "VPP_1SetPlayerType"};
        std::set<std::string> expected{"JNI_OnLoad"};
        for (const std::string& name : natives) expected.insert(kNativePrefix + name);
        EXPECT_EQ(expected.size(), 35u);
        EXPECT_EQ(Jvm::Get().library.called, expected);
    }
};

const auto* const everyExportCalled = ::testing::AddGlobalTestEnvironment(new EveryExportCalled);

}  // namespace
