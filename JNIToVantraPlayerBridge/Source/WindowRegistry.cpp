#include "WindowRegistry.h"

namespace {
// Built when the library is loaded; at unload only its nodes are released.
WindowRegistry registry;
}  // namespace

WindowRegistry& WindowRegistry::Instance() { return registry; }

void WindowRegistry::Register(InstanceRecord* key, JNIEnv* env, jobject widget) {
    auto address = reinterpret_cast<uintptr_t>(key);
    if (!key || entries_.count(address)) return;
    jobject reference = env->NewGlobalRef(widget);
    if (reference) entries_.emplace(address, reference);
}

void WindowRegistry::Unregister(InstanceRecord* key, JNIEnv* env) {
    auto it = entries_.find(reinterpret_cast<uintptr_t>(key));
    if (it == entries_.end() || !it->second) return;
    env->DeleteGlobalRef(it->second);
    entries_.erase(it);
}

jobject WindowRegistry::Lookup(InstanceRecord* key) const {
    auto it = entries_.find(reinterpret_cast<uintptr_t>(key));
    return it == entries_.end() ? nullptr : it->second;
}
