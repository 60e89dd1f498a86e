// Test control of the recording engine, a player engine that records every
// entry it receives. Tests load the same stagerun.dll the host loads (so it
// stays loaded, with its record, across the host's loads and releases) and
// reach these exports with GetProcAddress.
#pragma once

#include <cstdint>

struct InstanceRecord;
struct HostServices;

constexpr int32_t kRecordedInitialize = -1;  // the entry number logged for ExternalPlayer_Initialize

struct RecordedCall {
    int32_t entry;
    intptr_t record;    // the InstanceRecord address, 0 for none
    intptr_t args[5];   // the words after the record
    double number;      // a floating-point argument (entry 37)
    char text[2][256];  // text arguments, in order
    // Entry 69 records its descriptor: args are the identifier, kind, count,
    // selected index and whether both arrays were null; text[0] is the name,
    // text[1] the values joined by "|", keysJoined the keys joined likewise.
    char keysJoined[256];
};

// What an entry does when called, besides recording.
enum RecordingRaise : int32_t {
    kRaiseNothing = 0,
    kRaiseCppException = 1,         // a C++ throw from this engine
    kRaiseForeignCppException = 2,  // Windows: RaiseException(0xE06D7363), as a foreign C++ throw; Linux: a throw
    kRaiseAccessViolation = 3,      // Windows: a write through a null pointer; Linux: a throw
};

typedef void (*RecordingCallback)(InstanceRecord* record, HostServices* services, void* context);

typedef void (*RecordingResetFn)();
typedef int32_t (*RecordingCallCountFn)();
typedef int32_t (*RecordingGetCallFn)(int32_t index, RecordedCall* call);
typedef void (*RecordingSetResultFn)(int32_t entry, intptr_t result);
typedef void (*RecordingSetTextResultFn)(int32_t entry, const char* text);
typedef void (*RecordingSetRaiseFn)(int32_t entry, int32_t raise);
typedef void (*RecordingSetCallbackFn)(int32_t entry, RecordingCallback callback, void* context);
typedef void (*RecordingSetRectWordsFn)(int32_t a, int32_t b, int32_t c, int32_t d);
// What entry 70 hands back next: the array and the count it reports.
typedef void (*RecordingSetComponentReplyFn)(void* descriptors, int32_t count);
