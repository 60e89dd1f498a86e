// A Java virtual machine of our own for driving the product library as a JVM
// would: a JavaVM and a JNIEnv whose functions use the JNI calling convention
// (__stdcall on 32-bit Windows), with just the objects the widget's natives
// and up-calls deal in: strings, int arrays, widget objects, their class and
// throwables.
//
// Every JNI call is recorded. What a JVM run with JNI checking would reject
// is counted as a violation instead of crashing: a call other than the
// exception functions while an exception is pending, a dead or foreign
// reference, a text that is not modified UTF-8, a release that does not match
// its get, a JNI function the stand-in does not provide (the process ends
// then: its argument count is unknown).
//
//   JavaStandIn java;
//   JavaWidget& widget = java.NewWidget();      // the Java object of one widget
//   java.EnterNative();                         // a native call begins: new local frame
//   ... call an export with java.Env(), widget.self ...
//   java.LeaveNative();                         // its local references go
#pragma once

#include <jni.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct JavaObject;

// The Java side of one widget: what its up-call methods received, and how
// they answer.
struct JavaWidget {
    jobject self = nullptr;  // a reference that stays valid (the caller's own)
    JavaObject* object = nullptr;
    std::vector<std::string> traces;
    std::vector<std::string> requests;            // VPA_CallFunction's arguments
    std::vector<std::vector<jint>> contextMenus;  // HandlePlayerWindowContextMenuEvent's points
    std::vector<std::vector<jint>> doubleClicks;  // HandlePlayerWindowDoubleClick's points
    std::string reply = "<string>ok</string>";    // VPA_CallFunction's answer
    bool replyNull = false;                       // answer null instead
    bool throwFromUpcalls = false;                // every up-call throws a new exception
    std::function<void()> duringUpcall;           // runs inside each up-call, as Java code would
};

class JavaStandIn {
public:
    JavaStandIn();
    ~JavaStandIn();
    JavaStandIn(const JavaStandIn&) = delete;
    JavaStandIn& operator=(const JavaStandIn&) = delete;

    JavaVM* Vm() { return &vm_; }
    JNIEnv* Env() { return &env_; }
    jclass WidgetClass() { return widgetClass_; }
    JavaWidget& NewWidget();
    // The widget class without these methods: GetMethodID fails for them.
    std::vector<std::string> missingMethods;

    // Native frames: local references made inside one are released when it ends.
    void EnterNative();
    void LeaveNative();

    // Strings and arrays as Java hands them to natives (local references of the current frame).
    jstring NewJavaString(const std::u16string& text);
    jintArray NewJavaIntArray(std::vector<jint> values);
    std::vector<jint> IntArrayValues(jintArray array);
    // The text of a string a native returned; "<null>" for null.
    std::string TextOf(jstring text);

    // Exceptions: a new pending one, the pending one, and clearing it.
    jthrowable ThrowNew(const char* what);
    jthrowable Pending() const { return pending_; }
    std::string PendingWhat() const;
    void ClearPending() { pending_ = nullptr; }

    // What happened.
    std::vector<std::string> calls;       // JNI function names, in order
    std::vector<std::string> violations;  // what a checking JVM would report
    int describedExceptions = 0;
    // Global references the library made and has not deleted.
    int LibraryGlobalRefs() const { return libraryGlobalRefs_; }
    int MaxLocalRefsInAFrame() const { return maxLocalRefs_; }

private:
    struct Ref;
    friend struct JniFunctions;

    JavaObject* NewObject(int kind, const std::u16string& text);
    Ref* NewRef(JavaObject* object, bool global);
    JavaObject* Resolve(jobject reference, const char* function);
    JavaObject* StringOf(jstring text, const char* function);
    JavaWidget* WidgetOf(jobject target, jmethodID method, const char* function);
    bool TakeBack(jobject text, const void* chars, const char* function);
    bool RunJavaCode(JavaWidget& widget);
    void Enter(const char* function, bool exceptionFunction = false);
    int LiveLocalRefs() const;

    JNINativeInterface_ functions_{};
    JNIInvokeInterface_ invoke_{};
    JNIEnv env_{};
    JavaVM vm_{};
    std::deque<JavaObject> objects_;
    std::deque<JavaWidget> widgets_;
    std::deque<Ref> refs_;
    std::map<const void*, JavaObject*> handedOut_;  // characters of GetString(UTF)Chars not yet released
    int libraryGlobalRefs_ = 0;
    jclass widgetClass_ = nullptr;
    jthrowable pending_ = nullptr;
    int frameDepth_ = 0;
    int maxLocalRefs_ = 0;
};
