// The floor of the widget's natives: bare JNI natives that do the same
// string work as the real ones (take the texts' characters, make the result
// string) and nothing else.
#include <jni.h>

#define BARE_NATIVE(type, name) extern "C" JNIEXPORT type JNICALL Java_com_ostrel_quillbench_bench_BareNatives_##name

BARE_NATIVE(jboolean, setVariable)(JNIEnv* env, jclass, jlong, jstring name, jstring value) {
    const char* nameChars = env->GetStringUTFChars(name, nullptr);
    const char* valueChars = env->GetStringUTFChars(value, nullptr);
    env->ReleaseStringUTFChars(name, nameChars);
    env->ReleaseStringUTFChars(value, valueChars);
    return JNI_TRUE;
}

BARE_NATIVE(jstring, getVariable)(JNIEnv* env, jclass, jlong, jstring name) {
    const char* nameChars = env->GetStringUTFChars(name, nullptr);
    env->ReleaseStringUTFChars(name, nameChars);
    return env->NewStringUTF("42");
}

BARE_NATIVE(jstring, callFunction2)(JNIEnv* env, jclass, jlong, jstring request) {
    const char* chars = env->GetStringUTFChars(request, nullptr);
    env->ReleaseStringUTFChars(request, chars);
    return env->NewStringUTF("<string>ok</string>");
}

BARE_NATIVE(jboolean, doPlay)(JNIEnv*, jclass, jlong) { return JNI_TRUE; }

BARE_NATIVE(void, draw)(JNIEnv*, jclass, jlong, jint, jint, jint, jint) {}
