#include "JniSupport.h"

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
