#include "JavaStandIn.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

struct JavaObject {
    enum Kind { String, IntArray, Class, Widget, Throwable } kind;
    std::u16string text;     // String
    std::vector<jint> ints;  // IntArray
    JavaWidget* widget = nullptr;
    std::string what;  // Throwable
};

struct JavaStandIn::Ref {
    JavaObject* object;
    bool global;
    bool live;
    int frame;  // the native frame a local reference belongs to
};

namespace {

JavaStandIn* current = nullptr;

// The widget class's up-call methods, as the library looks them up.
struct Method {
    const char* name;
    const char* signature;
};
const Method kMethods[] = {
    {"HandlePlayerWindowContextMenuEvent", "([I)V"},
    {"HandlePlayerWindowDoubleClick", "([I)V"},
    {"VPA_CallFunction", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"VPA_Trace", "(Ljava/lang/String;)V"},
};
enum MethodIndex { kContextMenu, kDoubleClick, kCallFunction, kTrace };

int IndexOf(jmethodID method) {
    for (int i = 0; i < 4; ++i) {
        if (reinterpret_cast<const Method*>(method) == &kMethods[i]) return i;
    }
    return -1;
}

// Modified UTF-8: U+0000 as C0 80, no four-byte forms, surrogates one by one.
std::string ToModifiedUtf8(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        if (unit != 0 && unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (unit < 0x800) {
            bytes += static_cast<char>(0xC0 | (unit >> 6));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (unit >> 12));
            bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return bytes;
}

// False when the bytes are not modified UTF-8.
bool FromModifiedUtf8(const char* text, std::u16string* units) {
    auto* s = reinterpret_cast<const unsigned char*>(text);
    auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (*s) {
        if (s[0] < 0x80) {
            *units += s[0];
            s += 1;
        } else if ((s[0] & 0xE0) == 0xC0 && continuation(s[1])) {
            char16_t unit = static_cast<char16_t>(((s[0] & 0x1F) << 6) | (s[1] & 0x3F));
            if (unit != 0 && unit < 0x80) return false;  // overlong
            *units += unit;
            s += 2;
        } else if ((s[0] & 0xF0) == 0xE0 && continuation(s[1]) && continuation(s[2])) {
            char16_t unit = static_cast<char16_t>(((s[0] & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
            if (unit < 0x800) return false;  // overlong
            *units += unit;
            s += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (char16_t unit : text) narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
    return narrow;
}

// A JNI function the stand-in does not provide: its argument count is
// unknown, so there is no returning from it.
template <size_t N>
void JNICALL Unprovided(JNIEnv*) {
    std::fprintf(stderr, "JNI function slot %u is not provided by the stand-in\n", static_cast<unsigned>(N));
    std::fflush(stderr);
    std::_Exit(70);
}

template <size_t... N>
void FillUnprovided(void** slots, std::index_sequence<N...>) {
    ((slots[N] = reinterpret_cast<void*>(&Unprovided<N>)), ...);
}

}  // namespace

// The JNI functions; each finds the stand-in through `current` (one VM a process).
struct JniFunctions {
    static JavaStandIn& J() { return *current; }

    static jint JNICALL AttachCurrentThread(JavaVM*, void** env, void*) {
        J().Enter("AttachCurrentThread", true);
        *env = J().Env();
        return JNI_OK;
    }
    static jint JNICALL GetEnv(JavaVM*, void** env, jint) {
        J().Enter("GetEnv", true);
        *env = J().Env();
        return JNI_OK;
    }

    static jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
        J().Enter("ExceptionOccurred", true);
        if (!J().pending_) return nullptr;
        return reinterpret_cast<jthrowable>(J().NewRef(J().Resolve(J().pending_, "ExceptionOccurred"), false));
    }
    static jboolean JNICALL ExceptionCheck(JNIEnv*) {
        J().Enter("ExceptionCheck", true);
        return J().pending_ ? JNI_TRUE : JNI_FALSE;
    }
    // As a JVM does: prints the exception and clears it.
    static void JNICALL ExceptionDescribe(JNIEnv*) {
        J().Enter("ExceptionDescribe", true);
        if (!J().pending_) return;
        ++J().describedExceptions;
        J().pending_ = nullptr;
    }
    static void JNICALL ExceptionClear(JNIEnv*) {
        J().Enter("ExceptionClear", true);
        J().pending_ = nullptr;
    }
    static jint JNICALL Throw(JNIEnv*, jthrowable throwable) {
        J().Enter("Throw", true);
        JavaObject* object = J().Resolve(throwable, "Throw");
        if (!object || object->kind != JavaObject::Throwable) {
            J().violations.push_back("Throw: not a throwable");
            return -1;
        }
        // Kept pending as a reference of its own: the thrower may delete its local one.
        J().pending_ = reinterpret_cast<jthrowable>(J().NewRef(object, true));
        return 0;
    }

    static void JNICALL DeleteLocalRef(JNIEnv*, jobject reference) {
        J().Enter("DeleteLocalRef", true);
        if (!reference) return;
        auto* ref = reinterpret_cast<JavaStandIn::Ref*>(reference);
        if (!J().Resolve(reference, "DeleteLocalRef")) return;
        if (ref->global) {
            J().violations.push_back("DeleteLocalRef of a global reference");
            return;
        }
        ref->live = false;
    }
    static jobject JNICALL NewGlobalRef(JNIEnv*, jobject reference) {
        J().Enter("NewGlobalRef");
        JavaObject* object = J().Resolve(reference, "NewGlobalRef");
        if (!object) return nullptr;
        ++J().libraryGlobalRefs_;
        return reinterpret_cast<jobject>(J().NewRef(object, true));
    }
    static void JNICALL DeleteGlobalRef(JNIEnv*, jobject reference) {
        J().Enter("DeleteGlobalRef", true);
        if (!reference) return;
        auto* ref = reinterpret_cast<JavaStandIn::Ref*>(reference);
        if (!J().Resolve(reference, "DeleteGlobalRef")) return;
        if (!ref->global) {
            J().violations.push_back("DeleteGlobalRef of a local reference");
            return;
        }
        ref->live = false;
        --J().libraryGlobalRefs_;
    }

    static jmethodID JNICALL GetMethodID(JNIEnv*, jclass clazz, const char* name, const char* signature) {
        J().Enter("GetMethodID");
        JavaObject* object = J().Resolve(clazz, "GetMethodID");
        if (!object || object->kind != JavaObject::Class) {
            J().violations.push_back("GetMethodID: not a class");
            return nullptr;
        }
        bool missing = false;
        for (const std::string& m : J().missingMethods) missing = missing || m == name;
        for (const Method& method : kMethods) {
            if (!missing && std::strcmp(method.name, name) == 0 && std::strcmp(method.signature, signature) == 0) {
                return reinterpret_cast<jmethodID>(const_cast<Method*>(&method));
            }
        }
        J().ThrowNew((std::string("java.lang.NoSuchMethodError: ") + name).c_str());
        return nullptr;
    }

    static jstring JNICALL NewString(JNIEnv*, const jchar* units, jsize length) {
        J().Enter("NewString");
        std::u16string text(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(length));
        return reinterpret_cast<jstring>(J().NewRef(J().NewObject(JavaObject::String, text), false));
    }
    static jstring JNICALL NewStringUTF(JNIEnv*, const char* bytes) {
        J().Enter("NewStringUTF");
        if (!bytes) return nullptr;
        std::u16string text;
        if (!FromModifiedUtf8(bytes, &text)) {
            J().violations.push_back(std::string("NewStringUTF: not modified UTF-8: ") + bytes);
            return nullptr;
        }
        return reinterpret_cast<jstring>(J().NewRef(J().NewObject(JavaObject::String, text), false));
    }
    static jsize JNICALL GetStringLength(JNIEnv*, jstring text) {
        J().Enter("GetStringLength");
        JavaObject* object = J().StringOf(text, "GetStringLength");
        return object ? static_cast<jsize>(object->text.size()) : 0;
    }
    static const jchar* JNICALL GetStringChars(JNIEnv*, jstring text, jboolean* isCopy) {
        J().Enter("GetStringChars");
        JavaObject* object = J().StringOf(text, "GetStringChars");
        if (!object) return nullptr;
        if (isCopy) *isCopy = JNI_TRUE;
        auto* copy = new jchar[object->text.size() + 1];
        for (size_t i = 0; i < object->text.size(); ++i) copy[i] = object->text[i];
        copy[object->text.size()] = 0;
        J().handedOut_[copy] = object;
        return copy;
    }
    static void JNICALL ReleaseStringChars(JNIEnv*, jstring text, const jchar* chars) {
        J().Enter("ReleaseStringChars", true);
        if (J().TakeBack(text, chars, "ReleaseStringChars")) delete[] chars;
    }
    static const char* JNICALL GetStringUTFChars(JNIEnv*, jstring text, jboolean* isCopy) {
        J().Enter("GetStringUTFChars");
        JavaObject* object = J().StringOf(text, "GetStringUTFChars");
        if (!object) return nullptr;
        if (isCopy) *isCopy = JNI_TRUE;
        std::string bytes = ToModifiedUtf8(object->text);
        auto* copy = new char[bytes.size() + 1];
        std::memcpy(copy, bytes.c_str(), bytes.size() + 1);
        J().handedOut_[copy] = object;
        return copy;
    }
    static void JNICALL ReleaseStringUTFChars(JNIEnv*, jstring text, const char* chars) {
        J().Enter("ReleaseStringUTFChars", true);
        if (J().TakeBack(text, chars, "ReleaseStringUTFChars")) delete[] chars;
    }

    static jintArray JNICALL NewIntArray(JNIEnv*, jsize length) {
        J().Enter("NewIntArray");
        JavaObject* object = J().NewObject(JavaObject::IntArray, u"");
        object->ints.assign(static_cast<size_t>(length), 0);
        return reinterpret_cast<jintArray>(J().NewRef(object, false));
    }
    static jsize JNICALL GetArrayLength(JNIEnv*, jarray array) {
        J().Enter("GetArrayLength");
        JavaObject* object = J().Resolve(array, "GetArrayLength");
        return object && object->kind == JavaObject::IntArray ? static_cast<jsize>(object->ints.size()) : 0;
    }
    static void JNICALL SetIntArrayRegion(JNIEnv*, jintArray array, jsize start, jsize length, const jint* values) {
        J().Enter("SetIntArrayRegion");
        JavaObject* object = J().Resolve(array, "SetIntArrayRegion");
        if (!object || object->kind != JavaObject::IntArray) return;
        if (start < 0 || length < 0 || static_cast<size_t>(start) + static_cast<size_t>(length) > object->ints.size()) {
            J().ThrowNew("java.lang.ArrayIndexOutOfBoundsException");
            return;
        }
        for (jsize i = 0; i < length; ++i) object->ints[static_cast<size_t>(start + i)] = values[i];
    }

    static void JNICALL CallVoidMethodV(JNIEnv*, jobject target, jmethodID method, va_list args) {
        J().Enter("CallVoidMethod");
        JavaWidget* widget = J().WidgetOf(target, method, "CallVoidMethod");
        if (!widget) return;
        jobject argument = va_arg(args, jobject);
        int index = IndexOf(method);
        if (index == kTrace) {
            JavaObject* text = J().StringOf(reinterpret_cast<jstring>(argument), "VPA_Trace");
            widget->traces.push_back(text ? Narrow(text->text) : "<null>");
        } else if (index == kContextMenu || index == kDoubleClick) {
            JavaObject* point = J().Resolve(argument, "up-call argument");
            std::vector<jint> values = point ? point->ints : std::vector<jint>{};
            (index == kContextMenu ? widget->contextMenus : widget->doubleClicks).push_back(values);
        } else {
            J().violations.push_back("CallVoidMethod with a method that returns an object");
            return;
        }
        J().RunJavaCode(*widget);
    }
    static jobject JNICALL CallObjectMethodV(JNIEnv*, jobject target, jmethodID method, va_list args) {
        J().Enter("CallObjectMethod");
        JavaWidget* widget = J().WidgetOf(target, method, "CallObjectMethod");
        if (!widget) return nullptr;
        if (IndexOf(method) != kCallFunction) {
            J().violations.push_back("CallObjectMethod with a void method");
            return nullptr;
        }
        JavaObject* request = J().StringOf(reinterpret_cast<jstring>(va_arg(args, jobject)), "VPA_CallFunction");
        widget->requests.push_back(request ? Narrow(request->text) : "<null>");
        if (!J().RunJavaCode(*widget) || widget->replyNull) return nullptr;
        std::u16string reply(widget->reply.begin(), widget->reply.end());
        return reinterpret_cast<jobject>(J().NewRef(J().NewObject(JavaObject::String, reply), false));
    }
};

// ---- the stand-in's own bookkeeping, used by the functions above ----

JavaObject* JavaStandIn::NewObject(int kind, const std::u16string& text) {
    objects_.push_back(JavaObject{static_cast<JavaObject::Kind>(kind), text, {}, nullptr, {}});
    return &objects_.back();
}

JavaStandIn::Ref* JavaStandIn::NewRef(JavaObject* object, bool global) {
    refs_.push_back(Ref{object, global, true, frameDepth_});
    if (!global) {
        int live = LiveLocalRefs();
        if (live > maxLocalRefs_) maxLocalRefs_ = live;
    }
    return &refs_.back();
}

JavaObject* JavaStandIn::Resolve(jobject reference, const char* function) {
    if (!reference) return nullptr;
    for (Ref& ref : refs_) {
        if (reinterpret_cast<jobject>(&ref) != reference) continue;
        if (ref.live) return ref.object;
        violations.push_back(std::string(function) + ": a deleted reference");
        return nullptr;
    }
    violations.push_back(std::string(function) + ": not a reference of this VM");
    return nullptr;
}

JavaObject* JavaStandIn::StringOf(jstring text, const char* function) {
    JavaObject* object = Resolve(text, function);
    if (object && object->kind != JavaObject::String) {
        violations.push_back(std::string(function) + ": not a string");
        return nullptr;
    }
    return object;
}

JavaWidget* JavaStandIn::WidgetOf(jobject target, jmethodID method, const char* function) {
    JavaObject* object = Resolve(target, function);
    if (!object || object->kind != JavaObject::Widget) {
        violations.push_back(std::string(function) + ": the target is not a widget");
        return nullptr;
    }
    if (IndexOf(method) < 0) {
        violations.push_back(std::string(function) + ": not a method of the widget class");
        return nullptr;
    }
    return object->widget;
}

bool JavaStandIn::TakeBack(jobject text, const void* chars, const char* function) {
    auto it = handedOut_.find(chars);
    if (it == handedOut_.end() || it->second != Resolve(text, function)) {
        violations.push_back(std::string(function) + ": characters this string did not hand out");
        return false;
    }
    handedOut_.erase(it);
    return true;
}

// The Java code of an up-call method: its hook, then it throws or returns.
bool JavaStandIn::RunJavaCode(JavaWidget& widget) {
    if (widget.duringUpcall) widget.duringUpcall();
    if (!widget.throwFromUpcalls) return true;
    ThrowNew("java.lang.IllegalStateException: thrown by a listener");
    return false;
}

void JavaStandIn::Enter(const char* function, bool exceptionFunction) {
    calls.push_back(function);
    if (pending_ && !exceptionFunction)
        violations.push_back(std::string(function) + " called with an exception pending");
}

int JavaStandIn::LiveLocalRefs() const {
    int live = 0;
    for (const Ref& ref : refs_) live += (ref.live && !ref.global && ref.frame == frameDepth_) ? 1 : 0;
    return live;
}

// ---- public ----

JavaStandIn::JavaStandIn() {
    current = this;
    constexpr size_t kSlots = sizeof(JNINativeInterface_) / sizeof(void*);
    FillUnprovided(reinterpret_cast<void**>(&functions_), std::make_index_sequence<kSlots>());
    constexpr size_t kInvokeSlots = sizeof(JNIInvokeInterface_) / sizeof(void*);
    FillUnprovided(reinterpret_cast<void**>(&invoke_), std::make_index_sequence<kInvokeSlots>());
    invoke_.AttachCurrentThread = &JniFunctions::AttachCurrentThread;
    invoke_.GetEnv = &JniFunctions::GetEnv;
    functions_.ExceptionOccurred = &JniFunctions::ExceptionOccurred;
    functions_.ExceptionCheck = &JniFunctions::ExceptionCheck;
    functions_.ExceptionDescribe = &JniFunctions::ExceptionDescribe;
    functions_.ExceptionClear = &JniFunctions::ExceptionClear;
    functions_.Throw = &JniFunctions::Throw;
    functions_.DeleteLocalRef = &JniFunctions::DeleteLocalRef;
    functions_.NewGlobalRef = &JniFunctions::NewGlobalRef;
    functions_.DeleteGlobalRef = &JniFunctions::DeleteGlobalRef;
    functions_.GetMethodID = &JniFunctions::GetMethodID;
    functions_.NewString = &JniFunctions::NewString;
    functions_.NewStringUTF = &JniFunctions::NewStringUTF;
    functions_.GetStringLength = &JniFunctions::GetStringLength;
    functions_.GetStringChars = &JniFunctions::GetStringChars;
    functions_.ReleaseStringChars = &JniFunctions::ReleaseStringChars;
    functions_.GetStringUTFChars = &JniFunctions::GetStringUTFChars;
    functions_.ReleaseStringUTFChars = &JniFunctions::ReleaseStringUTFChars;
    functions_.NewIntArray = &JniFunctions::NewIntArray;
    functions_.GetArrayLength = &JniFunctions::GetArrayLength;
    functions_.SetIntArrayRegion = &JniFunctions::SetIntArrayRegion;
    functions_.CallVoidMethodV = &JniFunctions::CallVoidMethodV;
    functions_.CallObjectMethodV = &JniFunctions::CallObjectMethodV;
    env_.functions = &functions_;
    vm_.functions = &invoke_;
    widgetClass_ = reinterpret_cast<jclass>(NewRef(NewObject(JavaObject::Class, u""), true));
}

JavaStandIn::~JavaStandIn() { current = nullptr; }

JavaWidget& JavaStandIn::NewWidget() {
    widgets_.emplace_back();
    JavaWidget& widget = widgets_.back();
    widget.object = NewObject(JavaObject::Widget, u"");
    widget.object->widget = &widget;
    // The caller's own reference: a global one stands for the Java code's variable.
    widget.self = reinterpret_cast<jobject>(NewRef(widget.object, true));
    return widget;
}

void JavaStandIn::EnterNative() { ++frameDepth_; }

void JavaStandIn::LeaveNative() {
    for (Ref& ref : refs_) {
        if (ref.live && !ref.global && ref.frame == frameDepth_) ref.live = false;
    }
    --frameDepth_;
}

jstring JavaStandIn::NewJavaString(const std::u16string& text) {
    return reinterpret_cast<jstring>(NewRef(NewObject(JavaObject::String, text), false));
}

jintArray JavaStandIn::NewJavaIntArray(std::vector<jint> values) {
    JavaObject* object = NewObject(JavaObject::IntArray, u"");
    object->ints = std::move(values);
    return reinterpret_cast<jintArray>(NewRef(object, false));
}

std::vector<jint> JavaStandIn::IntArrayValues(jintArray array) {
    JavaObject* object = Resolve(array, "test");
    return object ? object->ints : std::vector<jint>{};
}

std::string JavaStandIn::TextOf(jstring text) {
    if (!text) return "<null>";
    JavaObject* object = StringOf(text, "result");
    return object ? Narrow(object->text) : "<bad reference>";
}

jthrowable JavaStandIn::ThrowNew(const char* what) {
    JavaObject* object = NewObject(JavaObject::Throwable, u"");
    object->what = what;
    pending_ = reinterpret_cast<jthrowable>(NewRef(object, true));
    return pending_;
}

std::string JavaStandIn::PendingWhat() const {
    if (!pending_) return "";
    return reinterpret_cast<const Ref*>(pending_)->object->what;
}
