// Small JNI helpers with the lifetime rules spelled out.
//
//   JNIEnv* env = AttachedEnvironment(vm);          // null when none can be had
//   if (RelayPendingException(env)) return ...;     // printed, cleared, thrown again
//   LocalRef<jstring> text(env, env->NewStringUTF("x"));   // deleted at scope end
//   UtfChars chars(env, javaString);                 // released at scope end
//   if (chars.get()) use(chars.get());
//
// Never make another JNI call while an exception is pending, except the
// exception functions and the releases these helpers make.
#pragma once

#include <jni.h>

// The environment of the calling thread, attaching it to the virtual machine
// if needed; it stays attached. Null without a virtual machine.
JNIEnv* AttachedEnvironment(JavaVM* vm);

// If an exception is pending: print it, clear it, and throw it again, so that
// it reaches the Java caller further up this thread. True when there was one.
bool RelayPendingException(JNIEnv* env);

// A Java string from a narrow text in modified UTF-8. Bytes that are not
// valid modified UTF-8 (engines are not bound by it) become U+FFFD, so that
// the virtual machine never receives a malformed text. Null for null, and
// while a Java exception is pending (no JNI call may be made then).
jstring NewJavaString(JNIEnv* env, const char* text);

template <typename T>
class LocalRef {
public:
    LocalRef(JNIEnv* env, T ref) : env_(env), ref_(ref) {}
    ~LocalRef() {
        if (ref_) env_->DeleteLocalRef(ref_);
    }
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    T get() const { return ref_; }

private:
    JNIEnv* env_;
    T ref_;
};

// The modified UTF-8 characters of a Java string; null for a null string or
// when the virtual machine could not provide them.
class UtfChars {
public:
    UtfChars(JNIEnv* env, jstring text)
        : env_(env), text_(text), chars_(text ? env->GetStringUTFChars(text, nullptr) : nullptr) {}
    ~UtfChars() {
        if (chars_) env_->ReleaseStringUTFChars(text_, chars_);
    }
    UtfChars(const UtfChars&) = delete;
    UtfChars& operator=(const UtfChars&) = delete;
    const char* get() const { return chars_; }

private:
    JNIEnv* env_;
    jstring text_;
    const char* chars_;
};
