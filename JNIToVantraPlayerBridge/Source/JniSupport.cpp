#include "JniSupport.h"

#include <cstring>
#include <vector>

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the modified UTF-8 sequence at s, or 0 when it is invalid.
// NUL is written as C0 80 there, so a plain 0 byte ends the text instead.
size_t SequenceLength(const unsigned char* s) {
    if (s[0] < 0x80) return 1;
    if ((s[0] & 0xE0) == 0xC0) {
        if (!IsContinuation(s[1])) return 0;
        return (s[0] >= 0xC2 || (s[0] == 0xC0 && s[1] == 0x80)) ? 2 : 0;
    }
    if ((s[0] & 0xF0) == 0xE0) {
        if (!IsContinuation(s[1]) || !IsContinuation(s[2])) return 0;
        return (s[0] == 0xE0 && s[1] < 0xA0) ? 0 : 3;  // no overlong forms
    }
    return 0;  // four-byte forms are not modified UTF-8
}

jstring NewReplacedString(JNIEnv* env, const unsigned char* s) {
    std::vector<jchar> units;
    while (*s) {
        size_t length = SequenceLength(s);
        if (length == 1) {
            units.push_back(s[0]);
        } else if (length == 2) {
            units.push_back(static_cast<jchar>(((s[0] & 0x1F) << 6) | (s[1] & 0x3F)));
        } else if (length == 3) {
            units.push_back(static_cast<jchar>(((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F)));
        } else {
            units.push_back(0xFFFD);
            length = 1;
        }
        s += length;
    }
    return env->NewString(units.data(), static_cast<jsize>(units.size()));
}

}  // namespace

jstring NewJavaString(JNIEnv* env, const char* text) {
    if (!text || env->ExceptionCheck()) return nullptr;
    auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (const unsigned char* s = bytes; *s;) {
        size_t length = SequenceLength(s);
        if (length == 0) return NewReplacedString(env, bytes);
        s += length;
    }
    return env->NewStringUTF(text);
}

JNIEnv* AttachedEnvironment(JavaVM* vm) {
    if (!vm) return nullptr;
    JNIEnv* env = nullptr;
    if (vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) return nullptr;
    return env;
}

bool RelayPendingException(JNIEnv* env) {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) return false;
    env->ExceptionDescribe();
    env->ExceptionClear();
    env->Throw(exception);
    env->DeleteLocalRef(exception);
    return true;
}
