// The library entry and the native methods of
// com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.
//
// Window handles are the addresses of CPlayerWnd objects. A handle that is
// not a live window (0, already destroyed, never made) gets the neutral
// result of its method: handles are checked against the windows this
// library made and has not destroyed. Java may close a window from inside any
// engine call (through an up-call), so a native that makes a second call on a
// window looks it up again first.
//
// A native that works with Java objects and is entered with a Java exception
// already pending (possible only for native callers) makes no JNI call and
// gives its neutral result, leaving the exception pending. The others need no
// JNI call and work as usual; up-calls made meanwhile relay the exception.
#include <jni.h>

#include <algorithm>
#include <string>
#include <vector>

#include "HostApp.h"
#include "HostServices.h"
#include "JavaUpcalls.h"
#include "JniSupport.h"
#include "VantraPlayerManager.h"
#include "VantraPlayerWnd.h"
#include "WindowRegistry.h"

namespace {

constexpr UINT kIdleMessage = 0x0373;  // 883, sent after the queue is drained
constexpr char kCallFunctionAbort[] = "Vantra Player Exception, ABORT";

// The windows made by createVantraPlayerHostWindow and not yet destroyed.
// An application has a few at a time, and every native looks its window up
// here first: a short vector searched in order is the cheapest lookup (at
// namespace scope: a function's static would be checked on every call).
std::vector<CPlayerWnd*> liveWindows;

bool IsLive(const CPlayerWnd* window) {
    return std::find(liveWindows.begin(), liveWindows.end(), window) != liveWindows.end();
}

jlong ToHandle(const void* object) { return static_cast<jlong>(reinterpret_cast<intptr_t>(object)); }

CPlayerWnd* WindowOf(jlong handle) {
    if (handle == 0) return nullptr;
    auto* window = reinterpret_cast<CPlayerWnd*>(static_cast<intptr_t>(handle));
    return IsLive(window) ? window : nullptr;
}

// The live window of a handle, or null when a Java exception is pending.
CPlayerWnd* WindowFor(JNIEnv* env, jlong handle) { return env->ExceptionCheck() ? nullptr : WindowOf(handle); }

jboolean ToJava(bool value) { return value ? JNI_TRUE : JNI_FALSE; }

}  // namespace

// The virtual machine loads the library.
extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* vm, void*) {
    BridgeState().vm = vm;
    // Lives until the process ends: the framework's windows need it as long as
    // any window exists.
    auto* app = new HostApp();
    if (!app->InitInstance()) {
        MessageBoxW(nullptr, AsWide(u"FAILED"), AsWide(u"HostApp::InitInstance"), 0);
    }
    return JNI_VERSION_1_2;
}

#define WIDGET_NATIVE(type, name) \
    extern "C" JNIEXPORT type JNICALL Java_com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget_##name

// static native void initIDs()
WIDGET_NATIVE(void, initIDs)(JNIEnv* env, jclass widgetClass) {
    if (!env->ExceptionCheck()) CacheMethodIds(env, widgetClass);
}

// static native long createVantraPlayerManager()
WIDGET_NATIVE(jlong, createVantraPlayerManager)(JNIEnv*, jclass) { return ToHandle(VantraPlayerManager::Get(true)); }

// native long createVantraPlayerHostWindow(long parent, String playerFolder)
WIDGET_NATIVE(jlong, createVantraPlayerHostWindow)(JNIEnv* env, jobject widget, jlong parent, jstring folder) {
    if (!folder || env->ExceptionCheck()) return 0;
    auto* window = new (std::nothrow) CPlayerWnd();
    if (!window) return 0;
    const jchar* chars = env->GetStringChars(folder, nullptr);
    if (!chars) {
        delete window;
        return 0;
    }
    window->SetPlayerFolder(
        std::u16string(reinterpret_cast<const char16_t*>(chars), static_cast<size_t>(env->GetStringLength(folder))));
    env->ReleaseStringChars(folder, chars);
    JavaBridgeState& state = BridgeState();
    window->SetJavaWidget(widget);
    window->SetJavaVM(state.vm);
    window->SetCallFunctionMethod(state.callFunctionMethod);
    window->SetContextMenuMethod(state.contextMenuMethod);
    window->SetDoubleClickMethod(state.doubleClickMethod);
    // Only the low 32 bits of the parent handle are a window handle.
    auto parentWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(parent)));
    if (!window->CreateHostWindow(parentWindow)) {
        delete window;
        return 0;
    }
    liveWindows.push_back(window);
    WindowRegistry::Instance().RegisterWindow(*window, env, widget);
    return ToHandle(window);
}

// static native long GetVPPInstance(long window)
WIDGET_NATIVE(jlong, GetVPPInstance)(JNIEnv*, jclass, jlong handle) {
    CPlayerWnd* window = WindowOf(handle);
    InstanceRecord* record = window ? window->GetInstanceRecord() : nullptr;
    return record ? ToHandle(record->owner) : 0;
}

// static native long destroyVantraPlayerHostWindow(long window)
WIDGET_NATIVE(jlong, destroyVantraPlayerHostWindow)(JNIEnv* env, jclass, jlong handle) {
    CPlayerWnd* window = WindowOf(handle);
    if (!window) return 0;
    // No longer live from here on: a close that Java asks for again from
    // inside the engine's StopPlay finds nothing to close.
    liveWindows.erase(std::find(liveWindows.begin(), liveWindows.end(), window));
    window->StopPlay();
    WindowRegistry::Instance().UnregisterWindow(*window, env);
    window->DestroyWindow();
    // Java may close the widget from inside a message or an engine call of
    // this very window: the object goes when they have returned.
    window->DeleteWhenSafe();
    return 0;
}

// static native void computeVantraPlayerHostWindowSize(long window, int[] size)
WIDGET_NATIVE(void, computeVantraPlayerHostWindowSize)(JNIEnv* env, jclass, jlong handle, jintArray size) {
    CPlayerWnd* window = WindowFor(env, handle);
    if (!window || !size || env->GetArrayLength(size) < 2) return;
    int32_t width = 0, height = 0;  // without an engine the movie has no size
    window->GetMovieSize(&width, &height);
    jint values[2] = {width, height};
    env->SetIntArrayRegion(size, 0, 2, values);
}

// static native void resizeVantraPlayerHostWindow(long window, int x, int y, int width, int height)
WIDGET_NATIVE(void, resizeVantraPlayerHostWindow)
(JNIEnv*, jclass, jlong handle, jint x, jint y, jint width, jint height) {
    CPlayerWnd* window = WindowOf(handle);
    if (!window) return;
    ShowWindow(window->GetSafeHwnd(), SW_SHOWNORMAL);
    if (WindowOf(handle)) MoveWindow(window->GetSafeHwnd(), x, y, width, height, TRUE);
}

// static native void drawVantraPlayerHostWindow(long window, int left, int top, int right, int bottom)
WIDGET_NATIVE(void, drawVantraPlayerHostWindow)
(JNIEnv*, jclass, jlong handle, jint left, jint top, jint right, jint bottom) {
    if (CPlayerWnd* window = WindowOf(handle)) window->DrawArea(AreaRect{left, right, top, bottom});
}

// static native void setFocus(long window, int unused)
WIDGET_NATIVE(void, setFocus)(JNIEnv*, jclass, jlong handle, jint) {
    if (CPlayerWnd* window = WindowOf(handle)) SetFocus(window->GetSafeHwnd());
}

// static native void KickIdle(long window)
WIDGET_NATIVE(void, KickIdle)(JNIEnv*, jclass, jlong handle) {
    if (!WindowOf(handle)) return;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);  // untranslated
    // The window may have been closed by what was dispatched.
    if (CPlayerWnd* window = WindowOf(handle)) SendMessageW(window->GetSafeHwnd(), kIdleMessage, 1, 0);
}

// static native void suppressVantraPlayerHostWindowPainting(long window, boolean suppress)
WIDGET_NATIVE(void, suppressVantraPlayerHostWindowPainting)(JNIEnv*, jclass, jlong handle, jboolean suppress) {
    if (CPlayerWnd* window = WindowOf(handle)) window->SetSuppressPainting(suppress == JNI_TRUE);
}

// static native boolean VPP_StopPlay(long window)
WIDGET_NATIVE(jboolean, VPP_1StopPlay)(JNIEnv*, jclass, jlong handle) {
    CPlayerWnd* window = WindowOf(handle);
    if (!window) return JNI_FALSE;
    window->StopPlay();
    return JNI_TRUE;
}

// static native boolean VPP_DoPlay(long window)
WIDGET_NATIVE(jboolean, VPP_1DoPlay)(JNIEnv*, jclass, jlong handle) {
    CPlayerWnd* window = WindowOf(handle);
    return ToJava(window && window->DoPlay());
}

// static native boolean VPP_LoadMovie(long window, int number, String url, boolean option)
WIDGET_NATIVE(jboolean, VPP_1LoadMovie)(JNIEnv* env, jclass, jlong handle, jint number, jstring url, jboolean option) {
    CPlayerWnd* window = WindowFor(env, handle);
    if (!window) return JNI_FALSE;
    UtfChars address(env, url);
    if (!address.get()) return JNI_FALSE;
    window->SetModeValue(3);
    window = WindowOf(handle);  // still open after the engine's call?
    return ToJava(window && window->LoadMovie(number, address.get(), option == JNI_TRUE));
}

// static native boolean VPP_SetVariable(long window, String name, String value)
WIDGET_NATIVE(jboolean, VPP_1SetVariable)(JNIEnv* env, jclass, jlong handle, jstring name, jstring value) {
    CPlayerWnd* window = WindowFor(env, handle);
    if (!window) return JNI_FALSE;
    UtfChars nameChars(env, name);
    if (!nameChars.get()) return JNI_FALSE;
    UtfChars valueChars(env, value);
    if (!valueChars.get()) return JNI_FALSE;
    return ToJava(window->SetVariable(nameChars.get(), valueChars.get()) != 0);
}

// static native String VPP_GetVariable(long window, String name)
WIDGET_NATIVE(jstring, VPP_1GetVariable)(JNIEnv* env, jclass, jlong handle, jstring name) {
    CPlayerWnd* window = WindowFor(env, handle);
    if (!window) return NewJavaString(env, "false");
    char* value = nullptr;
    {
        UtfChars nameChars(env, name);
        if (!nameChars.get()) return NewJavaString(env, "false");
        value = window->GetVariable(nameChars.get());
    }
    jstring result = NewJavaString(env, value ? value : "");  // no value reads as empty text
    FreeEngineBlock(value);
    return result;
}

// static native boolean VPP_CallFunction(long window, String request)
WIDGET_NATIVE(jboolean, VPP_1CallFunction)(JNIEnv* env, jclass, jlong handle, jstring request) {
    CPlayerWnd* window = WindowOf(handle);
    if (!window || RelayPendingException(env)) return JNI_FALSE;
    bool called = false;
    {
        UtfChars requestChars(env, request);
        if (!requestChars.get()) return JNI_FALSE;
        called = window->CallFunction(requestChars.get()) != 0;
    }
    // An up-call the engine made meanwhile may have raised a Java exception.
    if (RelayPendingException(env)) return JNI_FALSE;
    return ToJava(called);
}

// static native String VPP_CallFunction2(long window, String request)
WIDGET_NATIVE(jstring, VPP_1CallFunction2)(JNIEnv* env, jclass, jlong handle, jstring request) {
    CPlayerWnd* window = WindowFor(env, handle);
    if (!window) return NewJavaString(env, "");
    char* reply = nullptr;
    {
        UtfChars requestChars(env, request);
        if (!requestChars.get()) return nullptr;
        bool raised = false;
        reply = window->CallFunction2Guarded(requestChars.get(), &raised);
        if (raised) return NewJavaString(env, kCallFunctionAbort);
    }
    if (!reply) return NewJavaString(env, "");
    jstring result = NewJavaString(env, reply);
    FreeEngineBlock(reply);
    return result;
}

// ---- placeholders: they do nothing and answer zero or false ----

WIDGET_NATIVE(void, setVantraPlayerHostWindowPosition)(JNIEnv*, jclass, jlong, jint) {}
WIDGET_NATIVE(jint, getVantraPlayerHostWindowPosition)(JNIEnv*, jclass, jlong) { return 0; }
WIDGET_NATIVE(void, setMaximum)(JNIEnv*, jclass, jlong, jint) {}
WIDGET_NATIVE(jint, getMaximum)(JNIEnv*, jclass, jlong) { return 0; }
WIDGET_NATIVE(void, setMinimum)(JNIEnv*, jclass, jlong, jint) {}
WIDGET_NATIVE(jint, getMinimum)(JNIEnv*, jclass, jlong) { return 0; }
WIDGET_NATIVE(jint, VPA_1PlayerStartDebugger)(JNIEnv*, jclass, jlong) { return 0; }
WIDGET_NATIVE(jboolean, VPP_1KillEdittextFocus)(JNIEnv*, jclass, jlong) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1SetQuality)(JNIEnv*, jclass, jlong, jint) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1PushData)(JNIEnv*, jclass, jlong, jint, jint) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1PushDataBuf)(JNIEnv*, jclass, jlong, jint, jint) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1HasEdittextFocus)(JNIEnv*, jclass, jlong) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1CancelCapture)(JNIEnv*, jclass, jlong, jint) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1UpdateCursor)(JNIEnv*, jclass, jlong) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1SendDebugInfo)(JNIEnv*, jclass, jlong, jint) { return JNI_FALSE; }
WIDGET_NATIVE(jboolean, VPP_1SetPlayerType)(JNIEnv*, jclass, jlong, jobject) { return JNI_FALSE; }
