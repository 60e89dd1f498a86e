#include "WindowRegistry.h"

#include <algorithm>

#include "PlayerInstance.h"

namespace {
// Built when the library is loaded; at unload only its nodes are released.
WindowRegistry registry;

uintptr_t KeyOf(const void* address) { return reinterpret_cast<uintptr_t>(address); }
}  // namespace

WindowRegistry& WindowRegistry::Instance() { return registry; }

void WindowRegistry::Register(InstanceRecord* key, JNIEnv* env, jobject widget) {
    Add(byRecord_, key, nullptr, env, widget);
}

void WindowRegistry::Unregister(InstanceRecord* key, JNIEnv* env) {
    Remove(byRecord_, byRecord_.find(KeyOf(key)), env);
}

jobject WindowRegistry::Lookup(InstanceRecord* key) const { return Find(byRecord_, key); }

void WindowRegistry::RegisterWindow(const PlayerInstance& window, JNIEnv* env, jobject widget) {
    if (InstanceRecord* record = window.GetInstanceRecord()) {
        Add(byRecord_, record, &window, env, widget);
    } else {
        Add(byEnginelessWindow_, &window, &window, env, widget);
    }
}

void WindowRegistry::UnregisterWindow(const PlayerInstance& window, JNIEnv* env) {
    if (InstanceRecord* record = window.GetInstanceRecord()) {
        Unregister(record, env);
        return;
    }
    Remove(byEnginelessWindow_, byEnginelessWindow_.find(KeyOf(&window)), env);
    auto byWindow = [&window](const Entries::value_type& entry) { return entry.second.window == &window; };
    Remove(byRecord_, std::find_if(byRecord_.begin(), byRecord_.end(), byWindow), env);
}

jobject WindowRegistry::LookupWindow(const PlayerInstance& window) const {
    InstanceRecord* record = window.GetInstanceRecord();
    return record ? Lookup(record) : Find(byEnginelessWindow_, &window);
}

void WindowRegistry::EngineEnded(const PlayerInstance& window, InstanceRecord* record) {
    auto it = byRecord_.find(KeyOf(record));
    if (!record || it == byRecord_.end() || byEnginelessWindow_.count(KeyOf(&window))) return;
    byEnginelessWindow_.emplace(KeyOf(&window), Entry{it->second.widget, &window});
    byRecord_.erase(it);
}

void WindowRegistry::Add(Entries& entries, const void* key, const PlayerInstance* window, JNIEnv* env, jobject widget) {
    if (!key || entries.count(KeyOf(key))) return;
    jobject reference = env->NewGlobalRef(widget);
    if (reference) entries.emplace(KeyOf(key), Entry{reference, window});
}

void WindowRegistry::Remove(Entries& entries, Entries::iterator it, JNIEnv* env) {
    if (it == entries.end()) return;
    if (it->second.widget) env->DeleteGlobalRef(it->second.widget);
    entries.erase(it);
}

jobject WindowRegistry::Find(const Entries& entries, const void* key) {
    auto it = entries.find(KeyOf(key));
    return it == entries.end() ? nullptr : it->second.widget;
}
