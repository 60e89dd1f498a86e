// Natives of com.ostrel.quillbench.testing.RecordingEngine: the recording
// engine's controls for Java tests, and scripted service calls.
#include <EngineContract.h>
#include <RecordingEngineControl.h>
#include <jni.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Engine {
    HMODULE module = nullptr;
    RecordingResetFn reset = nullptr;
    RecordingCallCountFn callCount = nullptr;
    RecordingGetCallFn getCall = nullptr;
    RecordingSetResultFn setResult = nullptr;
    RecordingSetTextResultFn setTextResult = nullptr;
    RecordingSetRaiseFn setRaise = nullptr;
    RecordingSetCallbackFn setCallback = nullptr;
};

// What a scripted service call uses and what it saw.
struct Script {
    std::string text;
    int32_t status = -1;
    bool hasReply = false;
    std::string reply;
};

Engine engine;
Script script;

std::string FromJava(JNIEnv* env, jstring text) {
    if (!text) return std::string();
    const char* chars = env->GetStringUTFChars(text, nullptr);
    std::string result = chars ? chars : "";
    if (chars) env->ReleaseStringUTFChars(text, chars);
    return result;
}

RecordedCall CallAt(jint index) {
    RecordedCall call{};
    engine.getCall(index, &call);
    return call;
}

void TraceCallback(InstanceRecord* record, HostServices* services, void*) {
    script.status = EntryAs<service::Trace>(services->entries[kServiceTrace])(record, script.text.c_str());
}

void CallFunctionCallback(InstanceRecord* record, HostServices* services, void*) {
    char* reply = nullptr;
    script.status =
        EntryAs<service::CallFunction>(services->entries[kServiceCallFunction])(record, script.text.c_str(), &reply);
    script.hasReply = reply != nullptr;
    script.reply = reply ? reply : "";
    EntryAs<service::Free>(services->entries[kFree])(reply);
}

template <typename Function>
Function Export(const char* name) {
    return ProcAddress<Function>(engine.module, name);
}

}  // namespace

#define ENGINE_NATIVE(type, name) \
    extern "C" JNIEXPORT type JNICALL Java_com_ostrel_quillbench_testing_RecordingEngine_##name

ENGINE_NATIVE(jboolean, open)(JNIEnv* env, jclass, jstring file) {
    std::string path = FromJava(env, file);
    std::u16string wide(path.begin(), path.end());
    engine.module = LoadLibraryW(AsWide(wide.c_str()));
    if (!engine.module) return JNI_FALSE;
    engine.reset = Export<RecordingResetFn>("RecordingEngine_Reset");
    engine.callCount = Export<RecordingCallCountFn>("RecordingEngine_CallCount");
    engine.getCall = Export<RecordingGetCallFn>("RecordingEngine_GetCall");
    engine.setResult = Export<RecordingSetResultFn>("RecordingEngine_SetResult");
    engine.setTextResult = Export<RecordingSetTextResultFn>("RecordingEngine_SetTextResult");
    engine.setRaise = Export<RecordingSetRaiseFn>("RecordingEngine_SetRaise");
    engine.setCallback = Export<RecordingSetCallbackFn>("RecordingEngine_SetCallback");
    return engine.reset && engine.callCount && engine.getCall && engine.setCallback ? JNI_TRUE : JNI_FALSE;
}

ENGINE_NATIVE(void, closeEngine)(JNIEnv*, jclass) {
    if (engine.module) FreeLibrary(engine.module);
    engine = Engine{};
}

ENGINE_NATIVE(void, reset)(JNIEnv*, jclass) {
    engine.reset();
    script = Script{};
}

ENGINE_NATIVE(jintArray, entries)(JNIEnv* env, jclass) {
    std::vector<jint> entries;
    for (jint i = 0; i < engine.callCount(); ++i) entries.push_back(CallAt(i).entry);
    jintArray array = env->NewIntArray(static_cast<jsize>(entries.size()));
    if (array) env->SetIntArrayRegion(array, 0, static_cast<jsize>(entries.size()), entries.data());
    return array;
}

ENGINE_NATIVE(jstring, text)(JNIEnv* env, jclass, jint call) { return env->NewStringUTF(CallAt(call).text[0]); }

ENGINE_NATIVE(jlongArray, args)(JNIEnv* env, jclass, jint call) {
    RecordedCall recorded = CallAt(call);
    jlong values[5];
    for (int i = 0; i < 5; ++i) values[i] = recorded.args[i];
    jlongArray array = env->NewLongArray(5);
    if (array) env->SetLongArrayRegion(array, 0, 5, values);
    return array;
}

ENGINE_NATIVE(void, setResult)(JNIEnv*, jclass, jint entry, jlong result) {
    engine.setResult(entry, static_cast<intptr_t>(result));
}

ENGINE_NATIVE(void, setTextResult)(JNIEnv* env, jclass, jint entry, jbyteArray bytes) {
    if (!bytes) {
        engine.setTextResult(entry, nullptr);
        return;
    }
    std::string text(static_cast<size_t>(env->GetArrayLength(bytes)), '\0');
    env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(text.size()), reinterpret_cast<jbyte*>(&text[0]));
    engine.setTextResult(entry, text.c_str());
}

ENGINE_NATIVE(void, setRaise)(JNIEnv*, jclass, jint entry, jint raise) { engine.setRaise(entry, raise); }

ENGINE_NATIVE(void, traceOn)(JNIEnv* env, jclass, jint entry, jstring text) {
    script.text = FromJava(env, text);
    engine.setCallback(entry, &TraceCallback, nullptr);
}

ENGINE_NATIVE(void, callFunctionOn)(JNIEnv* env, jclass, jint entry, jstring request) {
    script.text = FromJava(env, request);
    engine.setCallback(entry, &CallFunctionCallback, nullptr);
}

ENGINE_NATIVE(jint, lastStatus)(JNIEnv*, jclass) { return script.status; }

ENGINE_NATIVE(jstring, lastReply)(JNIEnv* env, jclass) {
    return script.hasReply ? env->NewStringUTF(script.reply.c_str()) : nullptr;
}
