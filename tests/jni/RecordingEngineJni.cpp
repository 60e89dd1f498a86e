// Natives of com.ostrel.quillbench.testing.RecordingEngine: the recording
// engine's controls for Java tests, and scripted service calls.
#include <EngineContract.h>
#include <RecordingEngineClient.h>
#include <RecordingEngineControl.h>
#include <jni.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<RecordingEngineClient> engine;

std::string FromJava(JNIEnv* env, jstring text) {
    if (!text) return std::string();
    const char* chars = env->GetStringUTFChars(text, nullptr);
    std::string result = chars ? chars : "";
    if (chars) env->ReleaseStringUTFChars(text, chars);
    return result;
}

RecordedCall CallAt(jint index) {
    std::vector<RecordedCall> calls = engine->Calls();
    return index >= 0 && static_cast<size_t>(index) < calls.size() ? calls[static_cast<size_t>(index)] : RecordedCall{};
}

}  // namespace

#define ENGINE_NATIVE(type, name) \
    extern "C" JNIEXPORT type JNICALL Java_com_ostrel_quillbench_testing_RecordingEngine_##name

ENGINE_NATIVE(jboolean, open)(JNIEnv* env, jclass, jstring file) {
    std::string path = FromJava(env, file);
    engine = std::make_unique<RecordingEngineClient>(std::u16string(path.begin(), path.end()));
    return engine->Loaded() && engine->setServiceCall && engine->lastServiceCall ? JNI_TRUE : JNI_FALSE;
}

ENGINE_NATIVE(void, closeEngine)(JNIEnv*, jclass) { engine->reset(); }

ENGINE_NATIVE(void, reset)(JNIEnv*, jclass) { engine->reset(); }

ENGINE_NATIVE(jintArray, entries)(JNIEnv* env, jclass) {
    std::vector<int32_t> recorded = engine->Entries();
    std::vector<jint> entries(recorded.begin(), recorded.end());
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
    engine->setResult(entry, static_cast<intptr_t>(result));
}

ENGINE_NATIVE(void, setTextResult)(JNIEnv* env, jclass, jint entry, jbyteArray bytes) {
    if (!bytes) {
        engine->setTextResult(entry, nullptr);
        return;
    }
    std::string text(static_cast<size_t>(env->GetArrayLength(bytes)), '\0');
    env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(text.size()), reinterpret_cast<jbyte*>(&text[0]));
    engine->setTextResult(entry, text.c_str());
}

ENGINE_NATIVE(void, setRaise)(JNIEnv*, jclass, jint entry, jint raise) { engine->setRaise(entry, raise); }

ENGINE_NATIVE(void, traceOn)(JNIEnv* env, jclass, jint entry, jstring text) {
    engine->setServiceCall(entry, kServiceCallTrace, FromJava(env, text).c_str());
}

ENGINE_NATIVE(void, callFunctionOn)(JNIEnv* env, jclass, jint entry, jstring request) {
    engine->setServiceCall(entry, kServiceCallCallFunction, FromJava(env, request).c_str());
}

ENGINE_NATIVE(jint, lastStatus)(JNIEnv*, jclass) {
    int32_t status = -1;
    engine->lastServiceCall(&status, nullptr, 0);
    return status;
}

ENGINE_NATIVE(jstring, lastReply)(JNIEnv* env, jclass) {
    char reply[1024];
    return engine->lastServiceCall(nullptr, reply, sizeof reply) ? env->NewStringUTF(reply) : nullptr;
}

ENGINE_NATIVE(void, threadServicesOn)(JNIEnv*, jclass, jint entry, jint delayMs) {
    engine->setThreadServices(entry, delayMs);
}

ENGINE_NATIVE(jint, processId)(JNIEnv*, jclass) { return engine->processId ? engine->processId() : 0; }
