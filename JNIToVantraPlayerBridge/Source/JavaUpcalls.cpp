#include "JavaUpcalls.h"

#include <cstring>

#include "HostServices.h"
#include "JniSupport.h"
#include "WindowRegistry.h"

JavaBridgeState& BridgeState() {
    static JavaBridgeState state;
    return state;
}

void CacheMethodIds(JNIEnv* env, jclass widgetClass) {
    // A failed lookup leaves an exception pending, and no JNI call may follow
    // it: the first one is set aside and thrown again after the last lookup.
    jthrowable firstFailure = nullptr;
    auto lookUp = [&](const char* name, const char* signature) -> jmethodID {
        jmethodID method = env->GetMethodID(widgetClass, name, signature);
        if (!method && env->ExceptionCheck()) {
            jthrowable failure = env->ExceptionOccurred();
            env->ExceptionClear();
            if (!firstFailure) {
                firstFailure = failure;
            } else {
                env->DeleteLocalRef(failure);
            }
        }
        return method;
    };
    JavaBridgeState& state = BridgeState();
    state.contextMenuMethod = lookUp("HandlePlayerWindowContextMenuEvent", "([I)V");
    state.doubleClickMethod = lookUp("HandlePlayerWindowDoubleClick", "([I)V");
    state.callFunctionMethod = lookUp("VPA_CallFunction", "(Ljava/lang/String;)Ljava/lang/String;");
    state.traceMethod = lookUp("VPA_Trace", "(Ljava/lang/String;)V");
    if (firstFailure) {
        env->Throw(firstFailure);
        env->DeleteLocalRef(firstFailure);
    }
}

namespace {

// A copy of a Java string's modified UTF-8 in a block from the heap of the
// Allocate service, which the engine may release with the Free service. A null string gives "".
char* CopyToHeap(JNIEnv* env, jstring text) {
    UtfChars chars(env, text);
    const char* source = chars.get() ? chars.get() : "";
    return CopyToEngineBlock(source, std::strlen(source));
}

void PointUpcall(const PlayerInstance& window, jmethodID method, int32_t x, int32_t y) {
    JNIEnv* env = AttachedEnvironment(BridgeState().vm);
    if (!env || RelayPendingException(env)) return;
    jobject widget = WindowRegistry::Instance().LookupWindow(window);
    LocalRef<jintArray> point(env, env->NewIntArray(2));
    if (!point.get()) {
        RelayPendingException(env);
        return;
    }
    jint values[2] = {x, y};
    env->SetIntArrayRegion(point.get(), 0, 2, values);
    if (widget && method) env->CallVoidMethod(widget, method, point.get());
    RelayPendingException(env);
}

}  // namespace

int32_t CallFunctionUpcall(InstanceRecord* record, const char* request, char** reply) {
    JavaBridgeState& state = BridgeState();
    JNIEnv* env = AttachedEnvironment(state.vm);
    if (!env) return 0;
    if (RelayPendingException(env)) return 1;
    LocalRef<jstring> text(env, NewJavaString(env, request ? request : ""));
    if (!text.get()) return RelayPendingException(env) ? 1 : 0;
    jobject widget = WindowRegistry::Instance().Lookup(record);
    if (!widget || !state.callFunctionMethod) return 0;
    LocalRef<jstring> result(env,
                             static_cast<jstring>(env->CallObjectMethod(widget, state.callFunctionMethod, text.get())));
    if (RelayPendingException(env)) return 1;
    char* copy = CopyToHeap(env, result.get());
    if (reply) {
        *reply = copy;
    } else {
        FreeEngineBlock(copy);
    }
    return 0;
}

int32_t TraceUpcall(InstanceRecord* record, const char* text) {
    if (!record) return 2;
    if (!text) return 0;
    JavaBridgeState& state = BridgeState();
    JNIEnv* env = AttachedEnvironment(state.vm);
    if (!env) return 0;
    jobject widget = WindowRegistry::Instance().Lookup(record);
    if (!widget || !state.traceMethod) return 0;
    // No JNI call may be made with an exception pending: a pending one is
    // relayed as this call's own.
    if (RelayPendingException(env)) return 1;
    LocalRef<jstring> javaText(env, NewJavaString(env, text));
    if (javaText.get()) env->CallVoidMethod(widget, state.traceMethod, javaText.get());
    return RelayPendingException(env) ? 1 : 0;
}

void ContextMenuUpcall(const PlayerInstance& window, int32_t x, int32_t y) {
    PointUpcall(window, BridgeState().contextMenuMethod, x, y);
}

void DoubleClickUpcall(const PlayerInstance& window, jmethodID doubleClickMethod, int32_t x, int32_t y) {
    PointUpcall(window, doubleClickMethod, x, y);
}

const char kEngineEndedTrace[] =
    "JNIToVantraPlayerBridge: the engine ended (its process is gone); this player is empty";

void EngineEndedUpcalls(const std::vector<PlayerInstance*>& windows) {
    JavaBridgeState& state = BridgeState();
    JNIEnv* env = AttachedEnvironment(state.vm);
    if (!env || !state.traceMethod) return;
    std::vector<jobject> widgets;
    for (const PlayerInstance* window : windows) {
        if (jobject widget = WindowRegistry::Instance().LookupWindow(*window))
            widgets.push_back(env->NewGlobalRef(widget));
    }
    for (jobject widget : widgets) {
        if (widget && !RelayPendingException(env)) {
            LocalRef<jstring> text(env, NewJavaString(env, kEngineEndedTrace));
            if (text.get()) env->CallVoidMethod(widget, state.traceMethod, text.get());
            RelayPendingException(env);
        }
        if (widget) env->DeleteGlobalRef(widget);
    }
}
