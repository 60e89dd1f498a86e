// A stand-in for the Java virtual machine, for testing the up-calls without
// one: just the JNI functions the bridge uses, each logged, with a check that
// none but the exception functions is called while an exception is pending,
// and a balance of local references (the test is the native frame).
#pragma once

#include <jni.h>

#include <deque>
#include <set>
#include <string>
#include <vector>

class FakeJni {
public:
    FakeJni();
    ~FakeJni();
    FakeJni(const FakeJni&) = delete;
    FakeJni& operator=(const FakeJni&) = delete;

    JavaVM* Vm() { return &vm_; }
    JNIEnv* Env() { return &env_; }

    // Objects the tests hand around.
    jobject NewObject();
    jthrowable NewThrowable() { return reinterpret_cast<jthrowable>(NewObject()); }

    // What the virtual machine does.
    jthrowable pending = nullptr;
    jthrowable throwFromCalls = nullptr;  // thrown by the next Call*Method
    const char* callResult = "";          // what CallObjectMethod returns; null for a null string
    std::set<std::string> missingMethods;

    // What happened.
    std::vector<std::string> log;
    std::vector<std::vector<jint>> intArraysPassed;
    std::vector<std::string> stringsPassed;
    std::vector<jobject> callTargets;
    int liveGlobalRefs = 0;
    int liveLocalRefs = 0;  // references handed out as local ones and not deleted
    int callsWithExceptionPending = 0;

private:
    static FakeJni* current;
    static FakeJni& Current() { return *current; }
    static void Enter(const char* name, bool exceptionFunction = false);
    static std::string* Text(jstring text) { return reinterpret_cast<std::string*>(text); }
    template <typename Reference>
    static Reference Local(Reference reference) {
        if (reference) ++Current().liveLocalRefs;
        return reference;
    }

    JNINativeInterface_ functions_{};
    JNIInvokeInterface_ invoke_{};
    JNIEnv env_{};
    JavaVM vm_{};
    std::deque<std::string> strings_;
    std::deque<std::vector<jint>> arrays_;
    std::deque<int> objects_;
};
