#include "FakeJni.h"

#include <cstdarg>

FakeJni* FakeJni::current = nullptr;

void FakeJni::Enter(const char* name, bool exceptionFunction) {
    FakeJni& jni = Current();
    jni.log.push_back(name);
    if (!exceptionFunction && jni.pending) ++jni.callsWithExceptionPending;
}

jobject FakeJni::NewObject() {
    objects_.push_back(0);
    return reinterpret_cast<jobject>(&objects_.back());
}

FakeJni::FakeJni() {
    current = this;
    invoke_.AttachCurrentThread = [](JavaVM*, void** env, void*) -> jint {
        *env = Current().Env();
        return JNI_OK;
    };
    vm_.functions = &invoke_;
    env_.functions = &functions_;

    functions_.ExceptionOccurred = [](JNIEnv*) -> jthrowable {
        Enter("ExceptionOccurred", true);
        return Local(Current().pending);
    };
    functions_.ExceptionCheck = [](JNIEnv*) -> jboolean {
        Enter("ExceptionCheck", true);
        return Current().pending ? JNI_TRUE : JNI_FALSE;
    };
    functions_.ExceptionDescribe = [](JNIEnv*) { Enter("ExceptionDescribe", true); };
    functions_.ExceptionClear = [](JNIEnv*) {
        Enter("ExceptionClear", true);
        Current().pending = nullptr;
    };
    functions_.Throw = [](JNIEnv*, jthrowable throwable) -> jint {
        Enter("Throw", true);
        Current().pending = throwable;
        return 0;
    };
    functions_.DeleteLocalRef = [](JNIEnv*, jobject object) {
        Enter("DeleteLocalRef", true);
        if (object) --Current().liveLocalRefs;
    };
    functions_.NewGlobalRef = [](JNIEnv*, jobject object) -> jobject {
        Enter("NewGlobalRef");
        ++Current().liveGlobalRefs;
        return object;
    };
    functions_.DeleteGlobalRef = [](JNIEnv*, jobject) {
        Enter("DeleteGlobalRef");
        --Current().liveGlobalRefs;
    };
    functions_.GetMethodID = [](JNIEnv*, jclass, const char* name, const char*) -> jmethodID {
        Enter("GetMethodID");
        FakeJni& jni = Current();
        if (jni.missingMethods.count(name)) {
            jni.pending = jni.NewThrowable();
            return nullptr;
        }
        jni.strings_.push_back(name);
        return reinterpret_cast<jmethodID>(&jni.strings_.back());
    };
    functions_.NewStringUTF = [](JNIEnv*, const char* text) -> jstring {
        Enter("NewStringUTF");
        Current().strings_.push_back(text);
        return Local(reinterpret_cast<jstring>(&Current().strings_.back()));
    };
    functions_.GetStringUTFChars = [](JNIEnv*, jstring text, jboolean*) -> const char* {
        Enter("GetStringUTFChars");
        return Text(text)->c_str();
    };
    functions_.ReleaseStringUTFChars = [](JNIEnv*, jstring, const char*) { Enter("ReleaseStringUTFChars", true); };
    functions_.NewIntArray = [](JNIEnv*, jsize length) -> jintArray {
        Enter("NewIntArray");
        Current().arrays_.emplace_back(static_cast<size_t>(length), 0);
        return Local(reinterpret_cast<jintArray>(&Current().arrays_.back()));
    };
    functions_.SetIntArrayRegion = [](JNIEnv*, jintArray array, jsize start, jsize length, const jint* values) {
        Enter("SetIntArrayRegion");
        auto* elements = reinterpret_cast<std::vector<jint>*>(array);
        for (jsize i = 0; i < length; ++i) elements->at(static_cast<size_t>(start + i)) = values[i];
    };
    functions_.CallObjectMethodV = [](JNIEnv*, jobject target, jmethodID, va_list args) -> jobject {
        Enter("CallObjectMethod");
        FakeJni& jni = Current();
        jni.callTargets.push_back(target);
        jni.stringsPassed.push_back(*Text(reinterpret_cast<jstring>(va_arg(args, jobject))));
        if (jni.throwFromCalls) {
            jni.pending = jni.throwFromCalls;
            return nullptr;
        }
        if (!jni.callResult) return nullptr;
        jni.strings_.push_back(jni.callResult);
        return Local(reinterpret_cast<jobject>(&jni.strings_.back()));
    };
    functions_.CallVoidMethodV = [](JNIEnv*, jobject target, jmethodID method, va_list args) {
        Enter("CallVoidMethod");
        FakeJni& jni = Current();
        jni.callTargets.push_back(target);
        jobject argument = va_arg(args, jobject);
        if (*reinterpret_cast<std::string*>(method) == "VPA_Trace") {
            jni.stringsPassed.push_back(*Text(reinterpret_cast<jstring>(argument)));
        } else {
            jni.intArraysPassed.push_back(*reinterpret_cast<std::vector<jint>*>(argument));
        }
        if (jni.throwFromCalls) jni.pending = jni.throwFromCalls;
    };
}

FakeJni::~FakeJni() { current = nullptr; }
