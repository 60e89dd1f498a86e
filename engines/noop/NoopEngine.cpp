// The no-op engine: the cheapest engine that still does what the host asks,
// so that benchmarks measure the host. Variables and calls answer a short
// text from the host's heap; a paint fills the asked area of the back buffer
// with one colour and shows it with one BlitRect (with "blit" set to 0 it
// only fills); with the variable "ask" set to 1, DoPlay asks the host for
// the window's size once.
#include <EngineSide.h>

#include <cstring>
#include <vector>

namespace {

struct Instance {
    BackBufferInfo buffer{};
    uint32_t colour = 0x00336699;
    bool fill = true;
    bool blit = true;
    bool ask = false;
};

HostServices* services = nullptr;

template <typename Signature>
Signature Service(int index) {
    return EntryAs<Signature>(services->entries[index]);
}

Instance& Of(InstanceRecord* record) { return *reinterpret_cast<Instance*>(record->engineData); }

void ENGINE_CDECL Shutdown() {}
void ENGINE_CDECL NewInstance(InstanceRecord* r) { r->engineData = reinterpret_cast<uintptr_t>(new Instance()); }
void ENGINE_CDECL DestroyInstance(InstanceRecord* r) {
    delete &Of(r);
    r->engineData = 0;
}
int32_t ENGINE_CDECL Ignore(InstanceRecord*) { return 0; }
int32_t ENGINE_CDECL HandleEvent(InstanceRecord*, const void*) { return 0; }
int32_t ENGINE_CDECL SetVariable(InstanceRecord* r, const char* name, const char* value) {
    if (!name || !value) return 1;
    bool on = std::strcmp(value, "0") != 0;
    if (std::strcmp(name, "fill") == 0) Of(r).fill = on;
    if (std::strcmp(name, "ask") == 0) Of(r).ask = on;
    if (std::strcmp(name, "blit") == 0) Of(r).blit = on;
    return 1;
}
int32_t ENGINE_CDECL DoPlay(InstanceRecord* r) {
    if (!Of(r).ask) return 0;
    int32_t width = 0, height = 0;
    return Service<service::GetWindowSize>(kServiceGetWindowSize)(r, &width, &height);
}
char* ENGINE_CDECL GetVariable(InstanceRecord*, const char*) { return CopyToHostHeap(services, "42"); }
int32_t ENGINE_CDECL CallFunction2(InstanceRecord*, const char*, char** reply) {
    *reply = CopyToHostHeap(services, "<string>ok</string>");
    return 0;
}
int32_t ENGINE_CDECL SetBackBuffer(InstanceRecord* r, const BackBufferInfo* info) {
    Of(r).buffer = *info;
    return 0;
}
int32_t ENGINE_CDECL DetachBackBuffer(InstanceRecord* r) {
    Of(r).buffer = BackBufferInfo{};
    return 0;
}
int32_t ENGINE_CDECL PaintArea(InstanceRecord* r, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    Instance& instance = Of(r);
    const BackBufferInfo& b = instance.buffer;
    if (!b.pixels) return 0;
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    right = right > b.width ? b.width : right;
    bottom = bottom > b.height ? b.height : bottom;
    if (instance.fill && right > left) {
        // One row of the colour, copied down: as fast as an engine can write.
        std::vector<uint32_t> colourRow(static_cast<size_t>(right - left), instance.colour);
        size_t rowBytes = colourRow.size() * sizeof(uint32_t);
        for (int32_t y = top; y < bottom; ++y) {
            char* row = static_cast<char*>(b.pixels) + static_cast<size_t>(y) * b.bytesPerRow;
            std::memcpy(row + static_cast<size_t>(left) * sizeof(uint32_t), colourRow.data(), rowBytes);
        }
    }
    if (instance.blit && right > left && bottom > top) {
        Service<service::FourWords>(kServiceBlitRect)(r, left, top, right - left, bottom - top);
    }
    return 0;
}

}  // namespace

ENGINE_EXPORT int32_t ENGINE_STDCALL ExternalPlayer_Initialize(HostServices* hostServices, EngineFunctions* functions) {
    services = hostServices;
    std::memset(functions, 0, sizeof *functions);
    EngineEntry* e = functions->entries;
    e[kShutdown] = AsEntry(&Shutdown);
    e[kNewInstance] = AsEntry(&NewInstance);
    e[kDestroyInstance] = AsEntry(&DestroyInstance);
    e[kHandleEvent] = AsEntry(&HandleEvent);
    e[kStopPlay] = AsEntry(&Ignore);
    e[kSetVariable] = AsEntry(&SetVariable);
    e[kGetVariable] = AsEntry(&GetVariable);
    e[kSetBackBuffer] = AsEntry(&SetBackBuffer);
    e[kPaintArea] = AsEntry(&PaintArea);
    e[kDetachBackBuffer] = AsEntry(&DetachBackBuffer);
    e[kDoPlay] = AsEntry(&DoPlay);
    e[kCallFunction2] = AsEntry(&CallFunction2);
    return 0;
}
