#include "ProxyHostServices.h"

#include <optional>
#include <string>

#include "EngineHost.h"
#include "HostServices.h"
#include "RemoteWindow.h"

namespace {

constexpr int32_t kNullRecord = 2;

// The one host of this process; the table's plain functions have no other way to it.
EngineHost* host = nullptr;

// The library's number for the record, through its owner as the library's
// own services find it (they may come from any of the engine's threads).
uint32_t InstanceOf(InstanceRecord* record) {
    auto* window = record ? static_cast<RemoteWindow*>(record->owner) : nullptr;
    return window ? window->Id() : 0;
}

int32_t ENGINE_CDECL Trace(InstanceRecord* record, const char* text) {
    if (!record) return kNullRecord;
    return host->Request(InstanceOf(record), kServiceTrace, {}, {ChannelFrame::TextOf(text)}).words[0];
}

// The reply becomes the engine's, from this process's heap. A null record
// is asked about too: the library answers it as its own service does.
int32_t ENGINE_CDECL CallFunction(InstanceRecord* record, const char* request, char** reply) {
    ChannelFrame answer = host->Request(InstanceOf(record), kServiceCallFunction, {}, {ChannelFrame::TextOf(request)});
    const std::optional<std::string>& text = answer.texts.empty() ? std::nullopt : answer.texts[0];
    if (reply && text) *reply = CopyToEngineBlock(text->data(), text->size());
    return answer.words[0];
}

}  // namespace

void FillProxyHostServices(HostServices& table, EngineHost& engineHost) {
    host = &engineHost;
    FillHostServices(table);
    // The library's own services reach the record's owner, here a RemoteWindow;
    // these two go to Java there, and are asked of the library here.
    table.entries[kServiceTrace] = AsEntry(&Trace);
    table.entries[kServiceCallFunction] = AsEntry(&CallFunction);
}
