#include "ProxyHostServices.h"

#include <cstring>
#include <optional>
#include <string>

#include "EngineHost.h"
#include "HostServices.h"

namespace {

constexpr int32_t kNullRecord = 2;

// The one host of this process; the table's plain functions have no other way to it.
EngineHost* host = nullptr;

std::optional<std::string> TextOf(const char* text) { return text ? std::optional<std::string>(text) : std::nullopt; }

template <typename... Words>
int32_t Ask(InstanceRecord* record, int service, Words... words) {
    if (!record) return kNullRecord;
    return host->Request(record, service, {static_cast<int32_t>(words)...}).words[0];
}

void* ENGINE_CDECL Allocate(uint32_t size) { return AllocateEngineBlock(size); }

int32_t ENGINE_CDECL Free(void* block) {
    FreeEngineBlock(block);
    return 0;
}

int32_t ENGINE_CDECL GetWindowSize(InstanceRecord* record, int32_t* width, int32_t* height) {
    if (!record) return kNullRecord;
    ChannelFrame reply = host->Request(record, kServiceGetWindowSize, {}, {}, 3);
    if (width) *width = reply.words[1];
    if (height) *height = reply.words[2];
    return reply.words[0];
}

int32_t ENGINE_CDECL BlitRect(InstanceRecord* record, int32_t x, int32_t y, int32_t width, int32_t height) {
    return Ask(record, kServiceBlitRect, x, y, width, height);
}

int32_t ENGINE_CDECL InvalidateArea(InstanceRecord* record, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    return Ask(record, kServiceInvalidateArea, top, left, bottom, right);
}

int32_t ENGINE_CDECL FillBackground(InstanceRecord* record, int32_t red, int32_t green, int32_t blue) {
    return Ask(record, kServiceFillBackground, red, green, blue);
}

int32_t ENGINE_CDECL ResizeDisplay(InstanceRecord* record, int32_t width, int32_t height) {
    return Ask(record, kServiceResizeDisplay, width, height);
}

int32_t ENGINE_CDECL SetCursorType(InstanceRecord* record, int32_t cursorType) {
    return Ask(record, kServiceSetCursorType, cursorType);
}

// Window handles are the same in every process.
HWND ENGINE_CDECL GetWindowHandle(InstanceRecord* record) {
    if (!record) return nullptr;
    return reinterpret_cast<HWND>(static_cast<intptr_t>(Ask(record, kServiceGetWindowHandle)));
}

HBITMAP ENGINE_CDECL GetBackBufferBitmap(InstanceRecord* record) {
    EngineHost::Instance* instance = host->Find(record);
    return instance ? instance->bitmap : nullptr;
}

int32_t ENGINE_CDECL Trace(InstanceRecord* record, const char* text) {
    if (!record) return kNullRecord;
    return host->Request(record, kServiceTrace, {}, {TextOf(text)}).words[0];
}

int32_t ENGINE_CDECL NoService(InstanceRecord* record) { return record ? 0 : kNullRecord; }

uint8_t ENGINE_CDECL AskToKillScript(InstanceRecord* record) {
    if (!record) return 1;
    return static_cast<uint8_t>(Ask(record, kServiceAskToKillScript));
}

// The lock is the window's (it keeps blits out while the engine writes);
// the pixels are this process's view.
int32_t ENGINE_CDECL LockBackBuffer(InstanceRecord* record, void** pixels) {
    if (!record) return kNullRecord;
    if (!pixels) return 1;
    EngineHost::Instance* instance = host->Find(record);
    int32_t result = Ask(record, kServiceLockBackBuffer);
    if (result == 0) *pixels = instance ? instance->info.pixels : nullptr;
    return result;
}

int32_t ENGINE_CDECL UnlockBackBuffer(InstanceRecord* record) { return Ask(record, kServiceUnlockBackBuffer); }

void ENGINE_CDECL ClearResultWord(InstanceRecord* record, int32_t, int32_t* result) {
    if (host->Find(record) && result) *result = 0;
}

void ENGINE_CDECL FlushPainting(InstanceRecord* record, int32_t first, int32_t second) {
    if (record) Ask(record, kServiceFlushPainting, first, second);
}

// The reply becomes the engine's, from this process's heap.
int32_t ENGINE_CDECL CallFunction(InstanceRecord* record, const char* request, char** reply) {
    if (!record) return kNullRecord;
    ChannelFrame answer = host->Request(record, kServiceCallFunction, {}, {TextOf(request)});
    const std::optional<std::string>& text = answer.texts.empty() ? std::nullopt : answer.texts[0];
    if (reply && text) {
        *reply = static_cast<char*>(AllocateEngineBlock(text->size() + 1));
        if (*reply) std::memcpy(*reply, text->c_str(), text->size() + 1);
    }
    return answer.words[0];
}

uint8_t ENGINE_CDECL AlwaysFalse() { return 0; }

}  // namespace

void FillProxyHostServices(HostServices& table, EngineHost& engineHost) {
    host = &engineHost;
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
