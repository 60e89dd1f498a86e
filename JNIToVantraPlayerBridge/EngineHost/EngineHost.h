// The engine process: loads the engine, owns its instance records and the
// engine-side host services, and serves the library's calls over one channel.
// Host services that deal in this process's memory and handles (the heap,
// the back buffer's view and bitmap) are answered here; the rest travel to
// the library and back, nested inside the call that caused them.
//
// When the channel ends, so does the process: nothing here outlives the
// library that started it.
#pragma once

#include <Platform.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChannelFrame.h"
#include "EngineChannel.h"
#include "EngineContract.h"

class EngineHost {
public:
    // One engine instance and the back buffer it draws into: this process's
    // DIB section over the window's file mapping.
    struct Instance {
        uint32_t id = 0;
        InstanceRecord record{0, nullptr};
        HANDLE section = nullptr;
        HBITMAP bitmap = nullptr;
        BackBufferInfo info{};
        std::vector<RGBQUAD> colors;
        ~Instance();
        void ReleaseBackBuffer();
    };

    EngineHost(HANDLE input, HANDLE output);
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // Greets the library, loads the engine and serves until the channel ends.
    int Run(const std::u16string& enginePath);

    // ---- what the engine-side host services use ----
    Instance* Find(InstanceRecord* record);
    // Asks the library for a host service and waits for its reply, serving
    // the calls it makes meanwhile; ends the process when the library is gone.
    ChannelFrame Request(InstanceRecord* record, int service, std::vector<int32_t> words = {},
                         std::vector<std::optional<std::string>> texts = {}, size_t replyWords = 1);

private:
    std::string LoadEngine(const std::u16string& enginePath);
    void Serve(const ChannelFrame& call);
    ChannelFrame Answer(const ChannelFrame& call);
    void RunEntry(Instance& instance, const ChannelFrame& call, ChannelFrame& answer);
    void AttachBackBuffer(Instance& instance, const std::vector<int32_t>& words, ChannelFrame& answer);
    void DestroyInstance(uint32_t id);
    [[noreturn]] void LibraryGone();

    EngineChannel channel_;
    HMODULE engine_ = nullptr;
    HostServices services_{};
    EngineFunctions functions_{};
    std::map<uint32_t, std::unique_ptr<Instance>> instances_;
};
