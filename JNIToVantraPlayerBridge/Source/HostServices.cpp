#include "HostServices.h"

#include <cstdlib>
#include <cstring>

#include "EngineGuard.h"
#include "JavaUpcalls.h"
#include "PlayerInstance.h"

namespace {

constexpr int32_t kNullRecord = 2;
constexpr int32_t kNullOwner = 4;

// Runs a slot of the record's owner, answering the status codes when the
// record or its owner is missing, and `failed` when the slot throws.
template <typename Result, typename Slot>
Result ForwardToOwner(InstanceRecord* record, Result nullRecord, Result nullOwner, Result failed, Slot slot) noexcept {
    if (!record) return nullRecord;
    if (!record->owner) return nullOwner;
    RaisesStoppedHere stopped;  // what an engine call inside raised is its guarded caller's
    try {
        return slot(*record->owner);
    } catch (...) {
        return failed;
    }
}

void* ENGINE_CDECL Allocate(uint32_t size) { return AllocateEngineBlock(size); }

int32_t ENGINE_CDECL Free(void* block) {
    FreeEngineBlock(block);
    return 0;
}

int32_t ENGINE_CDECL GetWindowSize(InstanceRecord* record, int32_t* width, int32_t* height) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.GetWindowSize(width, height); });
}

int32_t ENGINE_CDECL BlitRect(InstanceRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.BlitRect(x, y, width, height); });
}

int32_t ENGINE_CDECL InvalidateArea(InstanceRecord* record, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.InvalidateArea(top, left, bottom, right); });
}

int32_t ENGINE_CDECL FillBackground(InstanceRecord* record, int32_t red, int32_t green, int32_t blue) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.FillBackground(red, green, blue); });
}

int32_t ENGINE_CDECL ResizeDisplay(InstanceRecord* record, int32_t width, int32_t height) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.ResizeDisplay(width, height); });
}

int32_t ENGINE_CDECL SetCursorType(InstanceRecord* record, int32_t cursorType) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.SetCursorType(cursorType); });
}

HWND ENGINE_CDECL GetWindowHandle(InstanceRecord* record) {
    return ForwardToOwner<HWND>(record, nullptr, nullptr, nullptr,
                                [](PlayerInstance& owner) { return owner.GetWindowHandle(); });
}

HBITMAP ENGINE_CDECL GetBackBufferBitmap(InstanceRecord* record) {
    return ForwardToOwner<HBITMAP>(record, nullptr, nullptr, nullptr,
                                   [](PlayerInstance& owner) { return owner.GetBackBufferBitmap(); });
}

int32_t ENGINE_CDECL Trace(InstanceRecord* record, const char* text) { return TraceUpcall(record, text); }

// Entries 11 and 15 to 19: no service; the owner is not looked at.
int32_t ENGINE_CDECL NoService(InstanceRecord* record) { return record ? 0 : kNullRecord; }

uint8_t ENGINE_CDECL AskToKillScript(InstanceRecord* record) {
    // Without a window to ask, the script is stopped.
    return ForwardToOwner<uint8_t>(record, 1, 1, 1,
                                   [](PlayerInstance& owner) -> uint8_t { return owner.AskToKillScript() ? 1 : 0; });
}

int32_t ENGINE_CDECL LockBackBuffer(InstanceRecord* record, void** pixels) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner,
                          [&](PlayerInstance& owner) { return owner.LockBackBuffer(pixels); });
}

int32_t ENGINE_CDECL UnlockBackBuffer(InstanceRecord* record) {
    return ForwardToOwner(record, kNullRecord, kNullOwner, kNullOwner, [](PlayerInstance& owner) {
        owner.UnlockBackBuffer();
        return int32_t{0};
    });
}

void ENGINE_CDECL ClearResultWord(InstanceRecord* record, int32_t, int32_t* result) {
    // Documented to need a record with an owner; a broken call writes nothing.
    if (record && record->owner && result) *result = 0;
}

void ENGINE_CDECL FlushPainting(InstanceRecord* record, int32_t, int32_t) {
    if (!record || !record->owner) return;
    PlayerInstance* owner = record->owner;
    // Every exception is caught; one an engine call inside raised is its guarded caller's
    // (the system may have stopped it already: 64-bit Windows stops what leaves a window procedure).
    RaisesStoppedHere stopped;
    CallGuarded([owner] { owner->FlushPainting(); });
}

int32_t ENGINE_CDECL CallFunction(InstanceRecord* record, const char* request, char** reply) {
    return CallFunctionUpcall(record, request, reply);
}

uint8_t ENGINE_CDECL AlwaysFalse() { return 0; }

}  // namespace

void* AllocateEngineBlock(size_t size) { return std::malloc(size); }

void FreeEngineBlock(void* block) { std::free(block); }

char* CopyToEngineBlock(const char* text, size_t length) {
    auto* copy = static_cast<char*>(AllocateEngineBlock(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

void FillHostServices(HostServices& table) {
    std::memset(&table, 0, sizeof table);
    EngineEntry* e = table.entries;
    e[kAllocate] = AsEntry(&Allocate);
    e[kFree] = AsEntry(&Free);
    e[kServiceGetWindowSize] = AsEntry(&GetWindowSize);
    e[kServiceBlitRect] = AsEntry(&BlitRect);
    e[kServiceInvalidateArea] = AsEntry(&InvalidateArea);
    e[kServiceFillBackground] = AsEntry(&FillBackground);
    e[kServiceResizeDisplay] = AsEntry(&ResizeDisplay);
    e[kServiceSetCursorType] = AsEntry(&SetCursorType);
    e[kServiceGetWindowHandle] = AsEntry(&GetWindowHandle);
    e[kServiceGetBackBufferBitmap] = AsEntry(&GetBackBufferBitmap);
    e[kServiceTrace] = AsEntry(&Trace);
    e[kServiceNone11] = AsEntry(&NoService);
    e[kServiceAskToKillScript] = AsEntry(&AskToKillScript);
    e[kServiceLockBackBuffer] = AsEntry(&LockBackBuffer);
    e[kServiceUnlockBackBuffer] = AsEntry(&UnlockBackBuffer);
    for (int i = kServiceNone15; i <= kServiceNone19; ++i) e[i] = AsEntry(&NoService);
    e[kServiceClearResultWord] = AsEntry(&ClearResultWord);
    e[kServiceFlushPainting] = AsEntry(&FlushPainting);
    e[kServiceCallFunction] = AsEntry(&CallFunction);
    e[kServiceAlwaysFalse] = AsEntry(&AlwaysFalse);
}
