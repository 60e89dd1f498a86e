// Test control of the recording engine, a player engine that records every
// entry it receives. Tests load the same stagerun.dll the host loads (so it
// stays loaded, with its record, across the host's loads and releases) and
// reach these exports with GetProcAddress.
//
// When the environment names a file in kRecordingStateVariable, the record
// and what the test asked for live in that file, mapped by every copy of the
// engine that sees the variable: a test then controls and reads the engine
// also when the library runs it in a process of its own. Callbacks are
// addresses in the test's process and reach only the engine loaded there.
#pragma once

#include <cstdint>

struct InstanceRecord;
struct HostServices;

constexpr char kRecordingStateVariable[] = "VANTRA_RECORDING_ENGINE_STATE";
constexpr int32_t kRecordedInitialize = -1;  // the entry number logged for ExternalPlayer_Initialize

// Fixed widths, so that a 32-bit and a 64-bit process read the same record.
struct RecordedCall {
    int32_t entry;
    alignas(8) int64_t record;  // the InstanceRecord address, 0 for none
    int64_t args[5];            // the words after the record
    double number;              // a floating-point argument (entry 37)
    char text[2][256];          // text arguments, in order
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
    kRaiseCrash = 4,                // a write through a null pointer on every system: the process ends
    kRaiseAbort = 5,                // abort()
    kRaiseStackOverflow = 6,        // endless recursion
    kRaiseHeapCorruption = 7,       // a block freed twice
    kRaisePrintOutput = 8,          // 720 KiB printed to standard output and error, then return
    kRaiseHang = 9,                 // never return (the thread sleeps)
};

// What an entry asks of its host when called, besides recording: a host
// service with a text, whose status and reply RecordingLastServiceCallFn reads.
enum RecordingServiceCall : int32_t {
    kServiceCallNothing = 0,
    kServiceCallTrace = 1,
    kServiceCallCallFunction = 2,
    kServiceCallInvalidate = 3,     // InvalidateArea {0, 0, 1, 1}; the text is not used
    kServiceCallWithoutRecord = 4,  // the call-function service with the text and a null record
    kSetNullCursor = 5,             // not a service: SetCursor(NULL), as an engine hides the cursor
    kSetArrowCursor = 6,            // not a service: SetCursor of the system's arrow
    kSendToHostWindow = 7,          // SendMessageW(WM_NULL) to the window GetWindowHandle gives; status 1 once answered
    kAskToKillScriptFromAThread = 8,  // from a thread of its own, after the entry returned; status -1 until answered
    kServiceCallPaintNow = 9,         // InvalidateArea {0, 0, 10, 10}, then FlushPainting: a paint inside the entry
    // Not services, done once (then the entry asks nothing), on the window
    // GetWindowHandle gives, as an engine handles its window itself; status 1 once returned:
    kUpdateHostWindowOnce = 10,  // InvalidateRect {0, 0, 10, 10}, then UpdateWindow
    kResizeHostWindowOnce = 11,  // SetWindowPos to 70 x 50
    // Not services, as an engine starts a browser for a link: status is the
    // started program's process id (0 when it did not start); the text is its
    // command line, the program named first, in quotes.
    kStartProgram = 12,
    kReadStartupFlags = 13,  // status: the flags of the engine's process's startup information
    // A modal box, as a C runtime shows on abort() (its title and text), then
    // the process's end, as that runtime's:
    kShowRuntimeErrorBox = 14,
    kShowMessageBox = 15,  // a modal box titled "Movie" with the text; status 1 once closed
    // SendMessageW(WM_CLOSE) to the parent of the window GetWindowHandle
    // gives, as an engine closes the page it plays in; status 1 once answered:
    kCloseHostWindowsParent = 16,
    // Fills {0, 0, 10, 10} of the back buffer red and blits it, then fills it
    // blue without a blit, straight into the pixels it was given with the
    // buffer, as an engine draws on once it blitted: the window must show
    // red. Status 1 once done.
    kBlitThenDrawOn = 17,
    // GetWindowSize asked 10,000 times by the entry's thread and as many by a
    // thread of the engine's own, at once; status 1 once both are done.
    kAskFromTwoThreadsAtOnce = 18,
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
// On the entry, the engine fills the rectangle of its back buffer with the
// colour (0x00RRGGBB), through LockBackBuffer, and asks the host to blit it.
typedef void (*RecordingSetPaintFn)(int32_t entry, uint32_t color, int32_t left, int32_t top, int32_t right,
                                    int32_t bottom);
// On the entry, the engine starts a thread of its own that, `delayMs` later,
// asks the host to invalidate the area {0, 0, 20, 20} and traces "from a
// thread": services outside the host's calls, against the contract, as
// timer-driven engines do. A negative delay: at once, and the entry returns
// once the thread has.
typedef void (*RecordingSetThreadServicesFn)(int32_t entry, int32_t delayMs);
// The process the engine was last initialised in.
typedef int32_t (*RecordingProcessIdFn)();
typedef void (*RecordingSetServiceCallFn)(int32_t entry, int32_t serviceCall, const char* text);
// The last scripted service call's status (-1 before any) and reply (false for none).
typedef int32_t (*RecordingLastServiceCallFn)(int32_t* status, char* reply, int32_t room);
// What entry 70 hands back next: the array and the count it reports.
typedef void (*RecordingSetComponentReplyFn)(void* descriptors, int32_t count);
