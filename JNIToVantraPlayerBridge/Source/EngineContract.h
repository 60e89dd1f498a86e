// The boundary between this library (the host) and the player engine.
//
// The engine is a separate library, "Vantra Player 8\stagerun.dll" under the
// player folder. The host loads it, calls its one export
//
//     int32_t ExternalPlayer_Initialize(HostServices* services, EngineFunctions* functions)
//
// (__stdcall on 32-bit Windows), and from then on both sides talk only through
// two tables of C-convention function pointers:
//
// - EngineFunctions: 222 entries the engine fills during initialisation; the
//   host reads them only after a result of 0.
// - HostServices: 155 entries the host fills (0 to 22 and 24) and never changes.
//
// Who owns what:
// - The host owns every InstanceRecord (one per player instance, created by
//   the manager) and passes its address first to every per-instance entry; the
//   engine passes it back first to every per-instance service. `owner` leads
//   back to the host's PlayerInstance; `engineData` is the engine's own.
// - Texts the engine hands over as results (GetVariable, CallFunction2, the
//   component-parameter blocks) come from the host's Allocate service; the host
//   releases them with Free. Texts the host hands in live for the call only.
// - The reply text of service 22 is allocated by the host and becomes the
//   engine's.
//
// Which thread: one. The engine is entered from the user-interface thread that
// owns the host windows, and must call the services on that thread, from
// inside the host's calls into it.
//
// On 32-bit Windows every word, pointer and table entry is 32 bits, and the
// static_asserts at the end pin the layout. On 64-bit builds pointers and
// table entries are pointer-width; everything else keeps its width.
#pragma once

#include <Platform.h>

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define ENGINE_CDECL __cdecl
#define ENGINE_STDCALL __stdcall
#else
#define ENGINE_CDECL
#define ENGINE_STDCALL
#endif

struct InstanceRecord {
    uintptr_t engineData;  // the engine's own; 0 when created
    class PlayerInstance* owner;
};

// The back-buffer description handed to the engine by SetBackBuffer; 36 bytes
// on 32-bit Windows.
struct BackBufferInfo {
    RGBQUAD* colorTable;
    int32_t colorCount;
    void* pixels;
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t bytesPerRow;
    uint8_t bottomUp;
    uint8_t padding[3];
    int32_t pixelFormat;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(BackBufferInfo) == 36, "BackBufferInfo is 36 bytes");
static_assert(offsetof(BackBufferInfo, pixels) == 8 && offsetof(BackBufferInfo, bytesPerRow) == 24 &&
                  offsetof(BackBufferInfo, bottomUp) == 28 && offsetof(BackBufferInfo, pixelFormat) == 32,
              "BackBufferInfo layout");
#endif

// A table entry; each entry is called through its own signature below.
typedef void(ENGINE_CDECL* EngineEntry)();

struct EngineFunctions {
    static constexpr int kCount = 222;
    EngineEntry entries[kCount];
};

struct HostServices {
    static constexpr int kCount = 155;
    EngineEntry entries[kCount];
};

typedef int32_t(ENGINE_STDCALL* ExternalPlayerInitialize)(HostServices* services, EngineFunctions* functions);

constexpr char kEngineEntryPoint[] = "ExternalPlayer_Initialize";

// EngineFunctions entries the host calls by name.
enum EngineEntryIndex : int {
    kShutdown = 1,
    kNewInstance = 2,
    kDestroyInstance = 3,
    kHandleEvent = 4,
    kStopPlay = 11,
    kGetRect = 21,
    kLoadMovie = 23,
    kSetVariable = 30,
    kGetVariable = 31,
    kGetMovieSize = 40,
    kSetBackBuffer = 52,
    kPaintArea = 53,
    kViewCommand = 57,
    kDetachBackBuffer = 64,
    kSetHostModule = 67,
    kDoPlay = 68,
    kSetComponentParameters = 69,
    kGetComponentParameters = 70,
    kSetMouseCapture = 72,
    kUpdateCursor = 73,
    kSetModeValue = 80,
    kCallFunction = 81,
    kCallFunction2 = 85,
};

// HostServices entries.
enum HostServiceIndex : int {
    kAllocate = 0,
    kFree = 1,
    kServiceGetWindowSize = 2,
    kServiceBlitRect = 3,
    kServiceInvalidateArea = 4,
    kServiceFillBackground = 5,
    kServiceResizeDisplay = 6,
    kServiceSetCursorType = 7,
    kServiceGetWindowHandle = 8,
    kServiceGetBackBufferBitmap = 9,
    kServiceTrace = 10,
    kServiceNone11 = 11,
    kServiceAskToKillScript = 12,
    kServiceLockBackBuffer = 13,
    kServiceUnlockBackBuffer = 14,
    kServiceNone15 = 15,
    kServiceNone19 = 19,
    kServiceClearResultWord = 20,
    kServiceFlushPainting = 21,
    kServiceCallFunction = 22,
    kServiceAlwaysFalse = 24,
};

// Signatures of the host services, as the engine calls them.
namespace service {
typedef void*(ENGINE_CDECL* Allocate)(uint32_t size);
typedef int32_t(ENGINE_CDECL* Free)(void* block);
typedef int32_t(ENGINE_CDECL* GetWindowSize)(InstanceRecord*, int32_t* width, int32_t* height);
typedef int32_t(ENGINE_CDECL* FourWords)(InstanceRecord*, int32_t, int32_t, int32_t, int32_t);
typedef int32_t(ENGINE_CDECL* ThreeWords)(InstanceRecord*, int32_t, int32_t, int32_t);
typedef int32_t(ENGINE_CDECL* TwoWords)(InstanceRecord*, int32_t, int32_t);
typedef int32_t(ENGINE_CDECL* OneWord)(InstanceRecord*, int32_t);
typedef int32_t(ENGINE_CDECL* RecordOnly)(InstanceRecord*);
typedef HWND(ENGINE_CDECL* GetWindowHandle)(InstanceRecord*);
typedef HBITMAP(ENGINE_CDECL* GetBackBufferBitmap)(InstanceRecord*);
typedef int32_t(ENGINE_CDECL* Trace)(InstanceRecord*, const char* text);
typedef uint8_t(ENGINE_CDECL* AskToKillScript)(InstanceRecord*);
typedef int32_t(ENGINE_CDECL* LockBackBuffer)(InstanceRecord*, void** pixels);
typedef void(ENGINE_CDECL* ClearResultWord)(InstanceRecord*, int32_t, int32_t* result);
typedef void(ENGINE_CDECL* FlushPainting)(InstanceRecord*, int32_t, int32_t);
typedef int32_t(ENGINE_CDECL* CallFunction)(InstanceRecord*, const char* request, char** reply);
typedef uint8_t(ENGINE_CDECL* AlwaysFalse)();
}  // namespace service

template <typename Signature>
Signature EntryAs(EngineEntry entry) {
    return reinterpret_cast<Signature>(entry);
}

// Calls an entry of a filled table as Result(args...); an entry the engine
// left empty is skipped and gives Result{}.
template <typename Result, typename... Args>
Result CallFilledEntry(const EngineFunctions& table, int index, Args... args) {
    EngineEntry entry = table.entries[index];
    return entry ? EntryAs<Result(ENGINE_CDECL*)(Args...)>(entry)(args...) : Result();
}

// A function as a table entry; the other side calls it through EntryAs.
template <typename Function>
EngineEntry AsEntry(Function function) {
    return reinterpret_cast<EngineEntry>(function);
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4, "32-bit build");
static_assert(sizeof(InstanceRecord) == 8, "InstanceRecord is two words");
static_assert(offsetof(InstanceRecord, engineData) == 0 && offsetof(InstanceRecord, owner) == 4, "record layout");
static_assert(sizeof(EngineFunctions) == 222 * 4, "EngineFunctions has 222 entries of 4 bytes");
static_assert(sizeof(HostServices) == 155 * 4, "HostServices has 155 entries of 4 bytes");
#define ENGINE_ENTRY_AT(index, offset) \
    static_assert(offsetof(EngineFunctions, entries) + (index) * sizeof(EngineEntry) == (offset), "entry offset")
ENGINE_ENTRY_AT(kShutdown, 4);
ENGINE_ENTRY_AT(kNewInstance, 8);
ENGINE_ENTRY_AT(kDestroyInstance, 12);
ENGINE_ENTRY_AT(kHandleEvent, 16);
ENGINE_ENTRY_AT(kStopPlay, 44);
ENGINE_ENTRY_AT(kGetRect, 84);
ENGINE_ENTRY_AT(kLoadMovie, 92);
ENGINE_ENTRY_AT(kSetVariable, 120);
ENGINE_ENTRY_AT(kGetVariable, 124);
ENGINE_ENTRY_AT(kGetMovieSize, 160);
ENGINE_ENTRY_AT(kSetBackBuffer, 208);
ENGINE_ENTRY_AT(kPaintArea, 212);
ENGINE_ENTRY_AT(kViewCommand, 228);
ENGINE_ENTRY_AT(kDetachBackBuffer, 256);
ENGINE_ENTRY_AT(kSetHostModule, 268);
ENGINE_ENTRY_AT(kDoPlay, 272);
ENGINE_ENTRY_AT(kSetComponentParameters, 276);
ENGINE_ENTRY_AT(kGetComponentParameters, 280);
ENGINE_ENTRY_AT(kSetMouseCapture, 288);
ENGINE_ENTRY_AT(kUpdateCursor, 292);
ENGINE_ENTRY_AT(kSetModeValue, 320);
ENGINE_ENTRY_AT(kCallFunction, 324);
ENGINE_ENTRY_AT(kCallFunction2, 340);
ENGINE_ENTRY_AT(88, 352);  // the last entry the host uses
#undef ENGINE_ENTRY_AT
#define HOST_SERVICE_AT(index, offset) \
    static_assert(offsetof(HostServices, entries) + (index) * sizeof(EngineEntry) == (offset), "service offset")
HOST_SERVICE_AT(kAllocate, 0);
HOST_SERVICE_AT(kFree, 4);
HOST_SERVICE_AT(kServiceTrace, 40);
HOST_SERVICE_AT(kServiceAskToKillScript, 48);
HOST_SERVICE_AT(kServiceClearResultWord, 80);
HOST_SERVICE_AT(kServiceFlushPainting, 84);
HOST_SERVICE_AT(kServiceCallFunction, 88);
HOST_SERVICE_AT(kServiceAlwaysFalse, 96);
#undef HOST_SERVICE_AT
#endif
