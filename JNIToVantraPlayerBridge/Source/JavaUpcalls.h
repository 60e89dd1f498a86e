// The library's calls into the Java widget, and the process-wide state they
// need: the virtual machine and the four method identifiers.
#pragma once

#include <jni.h>

#include <cstdint>
#include <vector>

struct InstanceRecord;
class PlayerInstance;

struct JavaBridgeState {
    JavaVM* vm = nullptr;
    jmethodID contextMenuMethod = nullptr;   // HandlePlayerWindowContextMenuEvent([I)V
    jmethodID doubleClickMethod = nullptr;   // HandlePlayerWindowDoubleClick([I)V
    jmethodID callFunctionMethod = nullptr;  // VPA_CallFunction(Ljava/lang/String;)Ljava/lang/String;
    jmethodID traceMethod = nullptr;         // VPA_Trace(Ljava/lang/String;)V
};

JavaBridgeState& BridgeState();

// Looks the four methods up on the widget class. A missing method leaves its
// identifier null (the up-call is then skipped) and its NoSuchMethodError
// pending for the caller.
void CacheMethodIds(JNIEnv* env, jclass widgetClass);

// Host service 22: VPA_CallFunction(request). 0 done or nothing to do, 1 a
// Java exception; on 0 with a reply, *reply receives a block from the C heap.
int32_t CallFunctionUpcall(InstanceRecord* record, const char* request, char** reply);

// Host service 10: VPA_Trace(text). 2 null record, 1 a Java exception, else 0.
int32_t TraceUpcall(InstanceRecord* record, const char* text);

// HandlePlayerWindowContextMenuEvent / HandlePlayerWindowDoubleClick with
// {x, y}, to the widget of the window, whether or not it has an engine.
void ContextMenuUpcall(const PlayerInstance& window, int32_t x, int32_t y);
void DoubleClickUpcall(const PlayerInstance& window, jmethodID doubleClickMethod, int32_t x, int32_t y);

// VPA_Trace with kEngineEndedTrace to the widget of each window, once: their
// engine process ended. The widgets are looked up before the first up-call,
// so that Java may destroy any of the windows meanwhile.
extern const char kEngineEndedTrace[];
void EngineEndedUpcalls(const std::vector<PlayerInstance*>& windows);
