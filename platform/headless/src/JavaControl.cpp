// Natives of com.ostrel.quillbench.headless.HeadlessWin32: the test-control
// API for Java tests and the demo.
#include <jni.h>

#include "Backend.h"

using namespace headless;

namespace {

HWND ToHwnd(jlong handle) { return reinterpret_cast<HWND>(static_cast<intptr_t>(handle)); }
jlong FromHwnd(HWND hwnd) { return static_cast<jlong>(reinterpret_cast<intptr_t>(hwnd)); }
Button ToButton(jint button) { return button == 1 ? Button::Right : Button::Left; }

jstring NewJavaString(JNIEnv* env, const std::u16string& text) {
    return env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
}

jintArray NewIntArray(JNIEnv* env, const jint* values, size_t count) {
    jintArray array = env->NewIntArray(static_cast<jsize>(count));
    if (array) env->SetIntArrayRegion(array, 0, static_cast<jsize>(count), values);
    return array;
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_createTopLevelWindow(
    JNIEnv*, jclass, jint x, jint y, jint width, jint height) {
    return FromHwnd(CreateTopLevelWindow(x, y, width, height));
}

extern "C" JNIEXPORT jboolean JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_destroyWindow(JNIEnv*, jclass,
                                                                                                      jlong hwnd) {
    return DestroyWindow(ToHwnd(hwnd)) != FALSE;
}
extern "C" JNIEXPORT jboolean JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_isWindow(JNIEnv*, jclass,
                                                                                                 jlong hwnd) {
    return IsWindow(ToHwnd(hwnd)) != FALSE;
}
extern "C" JNIEXPORT jboolean JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_isWindowVisible(JNIEnv*, jclass,
                                                                                                        jlong hwnd) {
    return IsWindowVisible(ToHwnd(hwnd)) != FALSE;
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_moveMouse(JNIEnv*, jclass, jint x,
                                                                                              jint y) {
    MoveMouse(x, y);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_pressButton(JNIEnv*, jclass,
                                                                                                jint button, jint x,
                                                                                                jint y) {
    PressButton(ToButton(button), x, y);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_releaseButton(JNIEnv*, jclass,
                                                                                                  jint button, jint x,
                                                                                                  jint y) {
    ReleaseButton(ToButton(button), x, y);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_turnWheel(JNIEnv*, jclass,
                                                                                              jint delta, jint x,
                                                                                              jint y) {
    TurnWheel(delta, x, y);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_pressKey(JNIEnv*, jclass, jint vk,
                                                                                             jint repeat, jint scan) {
    PressKey(vk, repeat, scan);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_releaseKey(JNIEnv*, jclass, jint vk,
                                                                                               jint scan) {
    ReleaseKey(vk, scan);
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_setKeyDown(JNIEnv*, jclass, jint vk,
                                                                                               jboolean down) {
    SetKeyDown(vk, down == JNI_TRUE);
}

extern "C" JNIEXPORT void JNICALL
Java_com_ostrel_quillbench_headless_HeadlessWin32_answerNextMessageBoxes(JNIEnv* env, jclass, jintArray answers) {
    if (!answers) return;
    jsize count = env->GetArrayLength(answers);
    std::vector<jint> values(static_cast<size_t>(count));
    env->GetIntArrayRegion(answers, 0, count, values.data());
    AnswerNextMessageBoxes(std::vector<int>(values.begin(), values.end()));
}

extern "C" JNIEXPORT jobjectArray JNICALL
Java_com_ostrel_quillbench_headless_HeadlessWin32_takeShownMessageBoxes(JNIEnv* env, jclass) {
    jclass boxClass = env->FindClass("com/ostrel/quillbench/headless/HeadlessWin32$MessageBox");
    if (!boxClass) return nullptr;
    jmethodID constructor = env->GetMethodID(boxClass, "<init>", "(JLjava/lang/String;Ljava/lang/String;II)V");
    if (!constructor) return nullptr;
    std::vector<MessageBoxRecord> shown = TakeShownMessageBoxes();
    jobjectArray result = env->NewObjectArray(static_cast<jsize>(shown.size()), boxClass, nullptr);
    for (size_t i = 0; result && i < shown.size(); ++i) {
        jstring text = NewJavaString(env, shown[i].text);
        jstring caption = NewJavaString(env, shown[i].caption);
        if (!text || !caption) return nullptr;
        jobject box = env->NewObject(boxClass, constructor, FromHwnd(shown[i].owner), text, caption,
                                     static_cast<jint>(shown[i].type), static_cast<jint>(shown[i].answer));
        if (!box) return nullptr;
        env->SetObjectArrayElement(result, static_cast<jsize>(i), box);
        env->DeleteLocalRef(box);
        env->DeleteLocalRef(text);
        env->DeleteLocalRef(caption);
    }
    return result;
}

extern "C" JNIEXPORT jlong JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_sendMessage(
    JNIEnv*, jclass, jlong hwnd, jint message, jlong wParam, jlong lParam) {
    return static_cast<jlong>(SendMessageW(ToHwnd(hwnd), static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                                           static_cast<LPARAM>(lParam)));
}

extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_watchDefaultProcessing(JNIEnv*,
                                                                                                           jclass,
                                                                                                           jlong hwnd) {
    WatchDefaultProcessing(ToHwnd(hwnd));
}

extern "C" JNIEXPORT jlongArray JNICALL
Java_com_ostrel_quillbench_headless_HeadlessWin32_takeDefaultProcessed(JNIEnv* env, jclass, jlong hwnd) {
    std::vector<jlong> words;
    for (const MSG& msg : TakeDefaultProcessed(ToHwnd(hwnd))) {
        words.insert(words.end(),
                     {static_cast<jlong>(msg.message), static_cast<jlong>(msg.wParam), static_cast<jlong>(msg.lParam)});
    }
    jlongArray array = env->NewLongArray(static_cast<jsize>(words.size()));
    if (array) env->SetLongArrayRegion(array, 0, static_cast<jsize>(words.size()), words.data());
    return array;
}

extern "C" JNIEXPORT jintArray JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_clientSize(JNIEnv* env, jclass,
                                                                                                    jlong hwnd) {
    RECT client{};
    GetClientRect(ToHwnd(hwnd), &client);
    jint size[2] = {client.right, client.bottom};
    return NewIntArray(env, size, 2);
}

extern "C" JNIEXPORT jintArray JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_readWindowPixels(JNIEnv* env,
                                                                                                          jclass,
                                                                                                          jlong hwnd) {
    std::vector<uint32_t> pixels = ReadWindowPixels(ToHwnd(hwnd), nullptr, nullptr);
    return NewIntArray(env, reinterpret_cast<const jint*>(pixels.data()), pixels.size());
}

extern "C" JNIEXPORT jint JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_countLiveDCs(JNIEnv*, jclass) {
    return CountLiveDCs();
}
extern "C" JNIEXPORT jint JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_countLiveGdiObjects(JNIEnv*,
                                                                                                        jclass) {
    return CountLiveGdiObjects();
}
extern "C" JNIEXPORT jint JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_countLiveWindows(JNIEnv*, jclass) {
    return CountLiveWindows();
}
extern "C" JNIEXPORT jint JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_runUntilIdle(JNIEnv*, jclass) {
    return RunUntilIdle();
}
extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_reset(JNIEnv*, jclass) { Reset(); }

extern "C" JNIEXPORT jlongArray JNICALL Java_com_ostrel_quillbench_headless_HeadlessWin32_childWindows(JNIEnv* env,
                                                                                                       jclass,
                                                                                                       jlong hwnd) {
    std::vector<HWND> children = ChildWindows(ToHwnd(hwnd));
    std::vector<jlong> handles;
    for (HWND child : children) handles.push_back(FromHwnd(child));
    jlongArray array = env->NewLongArray(static_cast<jsize>(handles.size()));
    if (array) env->SetLongArrayRegion(array, 0, static_cast<jsize>(handles.size()), handles.data());
    return array;
}
