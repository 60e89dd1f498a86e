// The process-wide map from an engine instance (its InstanceRecord address)
// to a global reference of the Java widget that owns its window. Used on the
// user-interface thread only; it has no lock.
#pragma once

#include <jni.h>

#include <cstdint>
#include <map>

struct InstanceRecord;

class WindowRegistry {
public:
    static WindowRegistry& Instance();

    // Keeps a new global reference to the widget under the key, unless the key
    // is present already: then the existing entry stays and no reference is
    // kept. Windows without an engine instance would all share the null key,
    // so that one widget would receive the others' up-calls: the null key is
    // never registered, and such windows make no up-calls.
    void Register(InstanceRecord* key, JNIEnv* env, jobject widget);
    // Deletes the entry and its global reference.
    void Unregister(InstanceRecord* key, JNIEnv* env);
    // The widget's global reference, or null.
    jobject Lookup(InstanceRecord* key) const;

    size_t Size() const { return entries_.size(); }

private:
    std::map<uintptr_t, jobject> entries_;  // ordered as unsigned addresses
};
