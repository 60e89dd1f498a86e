// A library of the bridge's name with none of its natives, as a stale copy or
// a planted one on java.library.path would be: it says so when loaded.
#include <jni.h>

#include <cstdio>

extern "C" JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM*, void*) {
    std::fprintf(stderr, "the planted library was loaded\n");
    return JNI_VERSION_1_8;
}
