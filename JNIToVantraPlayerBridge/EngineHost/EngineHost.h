// The engine process: loads the engine, owns its instance records (each
// owned by a RemoteWindow) and the engine-side host services, and serves the
// library's calls over one channel. Host services that deal in this process's
// memory and handles (the heap, the back buffer's view and bitmap) are
// answered here; the rest travel to the library and back, nested inside the
// call that caused them.
//
// When the channel ends, so does the process: nothing here outlives the
// library that started it.
#pragma once

#include <Platform.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ChannelFrame.h"
#include "ChannelWait.h"
#include "EngineChannel.h"
#include "EngineContract.h"
#include "RemoteWindow.h"

class EngineHost {
public:
    // The channel's ends, and the library's process, whose end is this one's.
    EngineHost(ChannelEnds ends, HANDLE library);
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // Greets the library, loads the engine and serves until the channel ends.
    int Run(const std::u16string& enginePath);

    // ---- what the engine-side host services use ----
    // Asks the library for a host service for its instance `instance` (0: a
    // null record) and waits for its reply, serving the calls it makes
    // meanwhile; ends the process when the library is gone. Outside the
    // library's calls, or from another thread than the one serving them, a
    // service is a notice instead, and the reply is the neutral one made here.
    ChannelFrame Request(uint32_t instance, int service, std::vector<int32_t> words = {},
                         std::vector<std::optional<std::string>> texts = {}, size_t replyWords = 1);

private:
    std::string LoadEngine(const std::u16string& enginePath);
    void Serve(ChannelFrame& call);
    ChannelFrame Answer(ChannelFrame& call);
    void RunEntry(RemoteWindow& window, const ChannelFrame& call, ChannelFrame& answer);
    void DestroyInstance(uint32_t id);
    ChannelFrame Notice(ChannelFrame request, size_t replyWords);
    ChannelFrame Post(ChannelFrame request, size_t replyWords);
    bool AskHereToKillScript(uint32_t instance);
    void Send(const ChannelFrame& frame);
    void SendLocked(const ChannelFrame& frame);  // sendMutex_ held
    bool SendWhole(const ChannelFrame& frame);
    [[noreturn]] void LibraryGone();

    bool Await(ChannelFrame* frame, Dispatch dispatch, bool expectedSoon = false);

    EngineChannel channel_;
    HANDLE library_;
    HMODULE engine_ = nullptr;
    HostServices services_{};
    EngineFunctions functions_{};
    std::map<uint32_t, std::unique_ptr<RemoteWindow>> instances_;
    DWORD servingThread_ = 0;
    int callDepth_ = 0;
    uint32_t paintingInstance_ = 0;  // the instance whose PaintArea runs innermost; 0 for none
    bool blitPosted_ = false;        // since the engine's thread was last idle
    std::mutex sendMutex_;  // notices may come from the engine's threads; guards hostWindows_ too
    std::map<uint32_t, HWND> hostWindows_;
};
