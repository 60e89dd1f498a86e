// The floor of the widget's natives: bare JNI natives that do the same
// string work as the real ones (take the texts' characters, make the result
// string) and call the same engine entry, straight through its table, with
// a host of nothing but the heap. `checks` adds what every sound native of
// the widget pays as well: kJniChecks, a look for a pending exception before
// the first JNI call and the library's own making of a Java string from an
// engine's text (a pending exception looked for, the text checked as UTF-8);
// kGuard, the library's fault guard around the entry, as the widget calls
// DoPlay and CallFunction2.
#include <EngineContract.h>
#include <EngineGuard.h>
#include <JniSupport.h>
#include <jni.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#define BARE_NATIVE(type, name) extern "C" JNIEXPORT type JNICALL Java_com_ostrel_quillbench_bench_BareNatives_##name

namespace {

constexpr jint kJniChecks = 1;
constexpr jint kGuard = 2;

HostServices services;
EngineFunctions engine;
InstanceRecord record;
std::vector<uint32_t> pixels(200 * 150);  // a back buffer of the widget's size, as the engine is given one there

void* ENGINE_CDECL Allocate(uint32_t size) { return std::malloc(size); }

int32_t ENGINE_CDECL Free(void* block) {
    std::free(block);
    return 0;
}

template <typename Signature>
Signature Entry(int index) {
    return EntryAs<Signature>(engine.entries[index]);
}

// The entry's call, inside the guard or not; false when it raised.
template <typename Call>
bool Run(jint checks, Call call) {
    if (checks & kGuard) return CallEngineGuarded(std::move(call));
    call();
    return true;
}

bool ExceptionPending(JNIEnv* env, jint checks) { return (checks & kJniChecks) && env->ExceptionCheck(); }

jstring MakeString(JNIEnv* env, const char* text, jint checks) {
    return (checks & kJniChecks) ? NewJavaString(env, text) : env->NewStringUTF(text);
}

}  // namespace

// Loads the engine at `path` and makes one instance of it; false when it cannot.
BARE_NATIVE(jboolean, loadEngine)(JNIEnv* env, jclass, jstring path) {
    const char* file = env->GetStringUTFChars(path, nullptr);
    void* module = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    env->ReleaseStringUTFChars(path, file);
    auto initialize = module ? reinterpret_cast<ExternalPlayerInitialize>(dlsym(module, kEngineEntryPoint)) : nullptr;
    std::memset(&services, 0, sizeof services);
    services.entries[kAllocate] = AsEntry(&Allocate);
    services.entries[kFree] = AsEntry(&Free);
    if (!initialize || initialize(&services, &engine) != 0) return JNI_FALSE;
    Entry<void(ENGINE_CDECL*)(InstanceRecord*)>(kNewInstance)(&record);
    BackBufferInfo buffer{};
    buffer.pixels = pixels.data();
    buffer.width = 200;
    buffer.height = 150;
    buffer.bitsPerPixel = 32;
    buffer.bytesPerRow = 200 * 4;
    Entry<int32_t(ENGINE_CDECL*)(InstanceRecord*, const BackBufferInfo*)>(kSetBackBuffer)(&record, &buffer);
    return JNI_TRUE;
}

BARE_NATIVE(jboolean, setVariable)(JNIEnv* env, jclass, jlong, jstring name, jstring value, jint checks) {
    if (ExceptionPending(env, checks)) return JNI_FALSE;
    const char* nameChars = env->GetStringUTFChars(name, nullptr);
    const char* valueChars = env->GetStringUTFChars(value, nullptr);
    int32_t result = 0;
    Run(checks, [&] {
        result = Entry<int32_t(ENGINE_CDECL*)(InstanceRecord*, const char*, const char*)>(kSetVariable)(
            &record, nameChars, valueChars);
    });
    env->ReleaseStringUTFChars(name, nameChars);
    env->ReleaseStringUTFChars(value, valueChars);
    return result != 0 ? JNI_TRUE : JNI_FALSE;
}

BARE_NATIVE(jstring, getVariable)(JNIEnv* env, jclass, jlong, jstring name, jint checks) {
    if (ExceptionPending(env, checks)) return nullptr;
    const char* nameChars = env->GetStringUTFChars(name, nullptr);
    char* value = nullptr;
    Run(checks, [&] {
        value = Entry<char*(ENGINE_CDECL*)(InstanceRecord*, const char*)>(kGetVariable)(&record, nameChars);
    });
    env->ReleaseStringUTFChars(name, nameChars);
    jstring result = MakeString(env, value ? value : "", checks);
    std::free(value);
    return result;
}

BARE_NATIVE(jstring, callFunction2)(JNIEnv* env, jclass, jlong, jstring request, jint checks) {
    if (ExceptionPending(env, checks)) return nullptr;
    const char* chars = env->GetStringUTFChars(request, nullptr);
    char* reply = nullptr;
    Run(checks, [&] {
        Entry<int32_t(ENGINE_CDECL*)(InstanceRecord*, const char*, char**)>(kCallFunction2)(&record, chars, &reply);
    });
    env->ReleaseStringUTFChars(request, chars);
    jstring result = MakeString(env, reply ? reply : "", checks);
    std::free(reply);
    return result;
}

BARE_NATIVE(jboolean, doPlay)(JNIEnv*, jclass, jlong, jint checks) {
    bool returned = Run(checks, [] { Entry<int32_t(ENGINE_CDECL*)(InstanceRecord*)>(kDoPlay)(&record); });
    return returned ? JNI_TRUE : JNI_FALSE;
}

BARE_NATIVE(void, draw)(JNIEnv*, jclass, jlong, jint left, jint top, jint right, jint bottom, jint checks) {
    Run(checks, [&] {
        Entry<int32_t(ENGINE_CDECL*)(InstanceRecord*, int32_t, int32_t, int32_t, int32_t)>(kPaintArea)(&record, top, left,
                                                                                                     bottom, right);
    });
}
