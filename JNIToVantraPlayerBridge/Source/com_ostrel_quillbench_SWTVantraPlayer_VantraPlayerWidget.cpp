// The library entry and the native methods of
// com.ostrel.quillbench.SWTVantraPlayer.VantraPlayerWidget.
#include <jni.h>

#include "HostApp.h"
#include "JavaUpcalls.h"

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

// static native void initIDs()
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget_initIDs(JNIEnv* env,
                                                                                                        jclass widget) {
    CacheMethodIds(env, widget);
}
