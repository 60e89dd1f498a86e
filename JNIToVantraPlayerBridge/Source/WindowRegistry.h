// The process-wide map from an engine instance (its InstanceRecord address)
// to a global reference of the Java widget that owns its window. Used on the
// user-interface thread only; it has no lock.
//
// A window without an engine instance is kept under the window itself: all
// such windows would otherwise share the null key, and one widget would
// receive the others' up-calls.
#pragma once

#include <jni.h>

#include <cstdint>
#include <map>

struct InstanceRecord;
class PlayerInstance;

class WindowRegistry {
public:
    static WindowRegistry& Instance();

    // Keeps a new global reference to the widget under the key, unless the key
    // is present already: then the existing entry stays and no reference is
    // kept. The null key is never registered.
    void Register(InstanceRecord* key, JNIEnv* env, jobject widget);
    // Deletes the entry and its global reference.
    void Unregister(InstanceRecord* key, JNIEnv* env);
    // The widget's global reference, or null.
    jobject Lookup(InstanceRecord* key) const;

    // The same for a window: under its engine instance, or under the window
    // itself when it has none. Unregistering finds the entry also when the
    // window has lost its engine instance meanwhile (its native window was
    // destroyed with its parent).
    void RegisterWindow(const PlayerInstance& window, JNIEnv* env, jobject widget);
    void UnregisterWindow(const PlayerInstance& window, JNIEnv* env);
    jobject LookupWindow(const PlayerInstance& window) const;
    // The window lost its engine instance `record` to an ended engine
    // process: from now on it is kept under the window itself.
    void EngineEnded(const PlayerInstance& window, InstanceRecord* record);

    size_t Size() const { return byRecord_.size() + byEnginelessWindow_.size(); }

private:
    struct Entry {
        jobject widget;
        const PlayerInstance* window;  // null when registered by record alone
    };
    using Entries = std::map<uintptr_t, Entry>;  // ordered as unsigned addresses
    static void Add(Entries& entries, const void* key, const PlayerInstance* window, JNIEnv* env, jobject widget);
    static void Remove(Entries& entries, Entries::iterator it, JNIEnv* env);
    static jobject Find(const Entries& entries, const void* key);

    Entries byRecord_;
    Entries byEnginelessWindow_;
};
