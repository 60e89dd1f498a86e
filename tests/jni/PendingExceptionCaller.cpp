// Natives of com.ostrel.quillbench.testing.NativeCaller: calls the widget's
// natives the way only native code can (with a Java exception already
// pending, reporting what it returned and whether the exception was still
// pending, untouched, afterwards; with a raw boolean byte), and reads the
// sanitizer's count of allocated bytes.
#include <dlfcn.h>
#include <jni.h>

#include <functional>
#include <map>
#include <string>

// The sanitizer's figure, when a sanitizer runtime is loaded.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace {

constexpr char kPrefix[] = "Java_com_ostrel_quillbench_SWTVantraPlayer_VantraPlayerWidget_";

struct Arguments {
    jclass widgetClass;
    jobject widget;
    jlong handle;
    jstring text;
    jintArray size;
};

template <typename Result, typename... Args>
Result Call(void* symbol, JNIEnv* env, jclass cls, Args... args) {
    return reinterpret_cast<Result (*)(JNIEnv*, jclass, Args...)>(symbol)(env, cls, args...);
}

std::string Describe(jboolean value) { return value ? "true" : "false"; }
std::string Describe(jlong value) { return std::to_string(value); }
std::string Describe(jstring value) { return value ? "string" : "null"; }

using Caller = std::function<std::string(void*, JNIEnv*, const Arguments&)>;

// Each native by its Java name (underscores as JNI escapes them), called with its own signature.
const std::map<std::string, Caller>& Callers() {
    static const std::map<std::string, Caller> callers = {
        {"initIDs",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass);
             return std::string("void");
         }},
        {"createVantraPlayerHostWindow",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(reinterpret_cast<jlong (*)(JNIEnv*, jobject, jlong, jstring)>(f)(e, a.widget, 0, a.text));
         }},
        {"GetVPPInstance",
         [](void* f, JNIEnv* e, const Arguments& a) { return Describe(Call<jlong>(f, e, a.widgetClass, a.handle)); }},
        {"destroyVantraPlayerHostWindow",
         [](void* f, JNIEnv* e, const Arguments& a) { return Describe(Call<jlong>(f, e, a.widgetClass, a.handle)); }},
        {"computeVantraPlayerHostWindowSize",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle, a.size);
             return std::string("void");
         }},
        {"resizeVantraPlayerHostWindow",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle, jint{0}, jint{0}, jint{50}, jint{50});
             return std::string("void");
         }},
        {"drawVantraPlayerHostWindow",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle, jint{0}, jint{0}, jint{50}, jint{50});
             return std::string("void");
         }},
        {"setFocus",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle, jint{0});
             return std::string("void");
         }},
        {"KickIdle",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle);
             return std::string("void");
         }},
        {"suppressVantraPlayerHostWindowPainting",
         [](void* f, JNIEnv* e, const Arguments& a) {
             Call<void>(f, e, a.widgetClass, a.handle, jboolean{JNI_TRUE});
             return std::string("void");
         }},
        {"VPP_1StopPlay", [](void* f, JNIEnv* e,
                             const Arguments& a) { return Describe(Call<jboolean>(f, e, a.widgetClass, a.handle)); }},
        {"VPP_1DoPlay", [](void* f, JNIEnv* e,
                           const Arguments& a) { return Describe(Call<jboolean>(f, e, a.widgetClass, a.handle)); }},
        {"VPP_1LoadMovie",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(Call<jboolean>(f, e, a.widgetClass, a.handle, jint{1}, a.text, jboolean{JNI_TRUE}));
         }},
        {"VPP_1SetVariable",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(Call<jboolean>(f, e, a.widgetClass, a.handle, a.text, a.text));
         }},
        {"VPP_1GetVariable",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(Call<jstring>(f, e, a.widgetClass, a.handle, a.text));
         }},
        {"VPP_1CallFunction",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(Call<jboolean>(f, e, a.widgetClass, a.handle, a.text));
         }},
        {"VPP_1CallFunction2",
         [](void* f, JNIEnv* e, const Arguments& a) {
             return Describe(Call<jstring>(f, e, a.widgetClass, a.handle, a.text));
         }},
    };
    return callers;
}

// The widget's native of that name in the library, or null.
void* NativeSymbol(JNIEnv* env, jstring library, const std::string& name) {
    const char* libraryPath = env->GetStringUTFChars(library, nullptr);
    if (!libraryPath) return nullptr;
    void* module = dlopen(libraryPath, RTLD_NOW | RTLD_NOLOAD);
    env->ReleaseStringUTFChars(library, libraryPath);
    void* symbol = module ? dlsym(module, (kPrefix + name).c_str()) : nullptr;
    if (module) dlclose(module);  // the virtual machine keeps it loaded
    return symbol;
}

}  // namespace

extern "C" JNIEXPORT jlong JNICALL Java_com_ostrel_quillbench_testing_NativeCaller_allocatedBytes(JNIEnv*, jclass) {
    return __sanitizer_get_current_allocated_bytes ? static_cast<jlong>(__sanitizer_get_current_allocated_bytes()) : -1;
}

extern "C" JNIEXPORT void JNICALL Java_com_ostrel_quillbench_testing_NativeCaller_suppressPainting(
    JNIEnv* env, jclass cls, jstring library, jlong handle, jint rawBoolean) {
    if (void* symbol = NativeSymbol(env, library, "suppressVantraPlayerHostWindowPainting")) {
        Call<void>(symbol, env, cls, handle, static_cast<jboolean>(rawBoolean));
    }
}

// static native String callWithPendingException(String library, String method, long handle,
//                                                Object widget, String text, int[] size)
// Answers "<result> <pending>", pending being "kept", "lost" or "replaced"; "unknown" for a
// method it cannot call.
extern "C" JNIEXPORT jstring JNICALL Java_com_ostrel_quillbench_testing_NativeCaller_callWithPendingException(
    JNIEnv* env, jclass, jstring library, jstring method, jlong handle, jobject widget, jstring text, jintArray size) {
    const char* methodChars = env->GetStringUTFChars(method, nullptr);
    std::string name = methodChars;
    env->ReleaseStringUTFChars(method, methodChars);
    auto caller = Callers().find(name);
    void* symbol = NativeSymbol(env, library, name);
    if (!symbol || caller == Callers().end()) return env->NewStringUTF("unknown");

    jclass exceptionClass = env->FindClass("java/lang/IllegalStateException");
    jmethodID constructor = env->GetMethodID(exceptionClass, "<init>", "(Ljava/lang/String;)V");
    auto pending = static_cast<jthrowable>(env->NewObject(exceptionClass, constructor, env->NewStringUTF("pending")));
    Arguments arguments{env->GetObjectClass(widget), widget, handle, text, size};
    env->Throw(pending);
    std::string result = caller->second(symbol, env, arguments);
    jthrowable after = env->ExceptionOccurred();
    env->ExceptionClear();
    const char* state = !after ? "lost" : env->IsSameObject(after, pending) ? "kept" : "replaced";
    return env->NewStringUTF((result + " " + state).c_str());
}
