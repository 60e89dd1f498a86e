// The engine as the library sees it when it runs in a process of its own:
// a proxy whose EngineFunctions entries carry each call to the engine
// process and wait for its answer, serving the host services that process
// asks for meanwhile, on the same thread, as calls nest in one process.
//
// Only the entries the host calls are filled; the rest stay empty and are
// skipped. Shutdown is the engine process's own business: it shuts the engine
// down after its last instance.
//
// A failed write or read, or a frame the proxy does not expect, is the end of
// the engine process: the proxy calls its ended handler once, every call from
// then on gives its failure result, and the records it had are the handler's
// to give up.
#pragma once

#include <Platform.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChannelFrame.h"
#include "ChannelWait.h"
#include "EngineChannel.h"
#include "EngineContract.h"
#include "ModuleArchitecture.h"
#include "ProcessWindows.h"

class EngineProxy {
public:
    // Starts the engine process for the engine file, of the engine's
    // processor, and waits for its greeting; null with *reason when the
    // engine cannot be had that way.
    static std::unique_ptr<EngineProxy> Start(const std::u16string& enginePath, ModuleArchitecture architecture,
                                              const HostServices& services, std::u16string* reason);
    // The same with the engine process's program named (a peer of the tests').
    static std::unique_ptr<EngineProxy> StartProgram(const std::u16string& program, const std::u16string& enginePath,
                                                     const HostServices& services, std::u16string* reason);
    // Closes the channel, which ends the engine process, and reaps it.
    ~EngineProxy();
    EngineProxy(const EngineProxy&) = delete;
    EngineProxy& operator=(const EngineProxy&) = delete;

    // Fills the entries the host calls with the proxy's, where the engine
    // filled them: an entry it left empty stays empty here too.
    void FillTable(EngineFunctions& table) const;

    // Makes the record one of this proxy's instances; call before NewInstance.
    void Adopt(InstanceRecord* record);
    // The records adopted and not yet destroyed.
    std::vector<InstanceRecord*> Records() const;

    void SetEndedHandler(std::function<void()> handler) { endedHandler_ = std::move(handler); }
    // Serves the notices waiting on the channel, outside any call (the
    // engine process announces them with a message to the host window).
    void ServeNotices();
    bool Ended() const { return channel_.Ended() || ended_; }
    // Calls into the engine process in progress.
    int CallDepth() const { return callDepth_; }
    HANDLE Process() const { return process_; }
    // Whether the engine process reads a call now: not while it runs one of
    // ours, only while it waits for the reply to a service it asked for, or
    // between calls. A message another process sends the library meanwhile
    // (the engine's own SetWindowPos or UpdateWindow on its window) must not
    // call it then: its call would never be read.
    bool TakesCalls() const { return peerTakesCalls_; }
    // Work that needs the engine while its process takes no call: done, in
    // the order given and after what the engine process queued before it,
    // once the outermost call has returned (even if the process has ended).
    void Defer(std::function<void()> work);

    // ---- what the proxy entries use ----
    static EngineProxy* Of(InstanceRecord* record);
    // Sends the call and waits for its answer; nullopt once the process has ended.
    std::optional<ChannelFrame> Call(InstanceRecord* record, int entry, std::vector<int32_t> words = {},
                                     std::vector<std::optional<std::string>> texts = {});
    void Forget(InstanceRecord* record);

private:
    EngineProxy(HANDLE process, DWORD processId, HANDLE job, ChannelEnds ends, const HostServices& services);
    bool Greet(std::u16string* reason);
    template <typename Wait>
    bool WithinLimits(InstanceRecord* record, int entry, WaitBudget& budget, Wait wait);
    bool AwaitFrame(InstanceRecord* record, int entry, WaitBudget& budget, ChannelFrame* frame);
    bool SendWithinLimits(InstanceRecord* record, int entry, WaitBudget& budget, const ChannelFrame& frame);
    void ReportOverdue(InstanceRecord* record, int entry, Milliseconds waited, bool soft, const std::u16string& shown);
    bool ShowsARuntimeErrorBox(int entry, const std::vector<ShownWindow>& shown);
    bool Serve(const ChannelFrame& request, InstanceRecord* record, int entry, WaitBudget& budget);
    bool ServePosted(const ChannelFrame& posted);
    bool QueueNotice(ChannelFrame notice);
    void ServePending();
    void AnnounceLeftovers();
    std::optional<ChannelFrame> Reply(const ChannelFrame& request);
    InstanceRecord* RecordOf(uint32_t instance) const;
    uint32_t InstanceOf(const InstanceRecord* record) const;
    void End();
    void ReapProcess(DWORD graceMs);

    HANDLE process_;
    DWORD processId_;
    HANDLE job_;  // null where jobs cannot be had
    EngineChannel channel_;
    const HostServices& services_;
    EngineTimeLimits limits_;
    std::map<uint32_t, InstanceRecord*> records_;
    // What waits for the outermost call's end: the engine process's notices
    // (and the library's own reports) or deferred work, in arrival order.
    struct Pending {
        std::optional<ChannelFrame> notice;
        std::function<void()> work;
    };
    std::deque<Pending> pending_;
    size_t pendingNotices_ = 0;
    size_t pendingNoticeBytes_ = 0;
    uint32_t nextInstance_ = 1;
    int callDepth_ = 0;
    bool peerTakesCalls_ = true;
    bool ended_ = false;
    std::function<void()> endedHandler_;
    std::vector<int32_t> entryMask_;
};
