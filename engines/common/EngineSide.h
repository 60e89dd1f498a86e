// What every engine of ours needs on its side of the boundary: the export of
// its entry point, and texts handed to the host in blocks of the host's heap.
#pragma once

#include <EngineContract.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#define ENGINE_EXPORT extern "C" __declspec(dllexport)
#else
#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// A copy of the text in a block of the host's Allocate service (the host
// releases it); null when the host has no room.
inline char* CopyToHostHeap(HostServices* services, const std::string& text) {
    auto allocate = EntryAs<service::Allocate>(services->entries[kAllocate]);
    auto* copy = static_cast<char*>(allocate(static_cast<uint32_t>(text.size() + 1)));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}
