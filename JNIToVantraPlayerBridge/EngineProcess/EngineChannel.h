// One end of the channel between the library and its engine process. Two
// transports carry the same frames: two rings in memory both processes map
// (the default), or two pipes (VANTRA_PLAYER_ENGINE_CHANNEL=pipes, kept to
// compare). Each side sets an event of the other's when it has written and
// the other may sleep, so that a waiting side wakes for a frame without
// blocking in a read (ChannelWait waits). A failed write or read (the other
// side is gone), broken counters or a malformed frame end the channel for good.
#pragma once

#include <Platform.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ChannelFrame.h"
#include "SharedRings.h"

// The handles of one side: its pipe ends or the rings' mapping, the event
// the other side sets when it has written, and the other side's such event.
struct ChannelEnds {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    HANDLE arrived = nullptr;
    HANDLE peerArrived = nullptr;
    HANDLE rings = nullptr;
    int side = 0;  // the library's 0, the engine process's 1

    // All five, in the order the engine process's command line gives them.
    std::array<HANDLE, 5> Handles() const { return {read, write, arrived, peerArrived, rings}; }
};

// The engine process's command-line words for its channel: its five handles
// (0 for none), then the library's process id; and, there, back (false for
// words that are not those).
std::u16string ChannelArguments(const ChannelEnds& theirs, DWORD libraryProcessId);
bool ParseChannelArguments(const std::vector<std::string>& words, ChannelEnds* ends, DWORD* libraryProcessId);

enum class ChannelTransport { SharedMemory, Pipes };
// What VANTRA_PLAYER_ENGINE_CHANNEL asks for ("pipes"), shared memory otherwise.
ChannelTransport ChannelTransportFromEnvironment();

// A new channel's handles, both sides', none inheritable: the other side's
// are made inheritable only for the moment its process starts. Its handles
// to the events and the mapping are this process's too (they have no ends),
// so they stay here after it has started.
class ChannelPair {
public:
    explicit ChannelPair(ChannelTransport transport = ChannelTransport::SharedMemory);
    ~ChannelPair();
    ChannelPair(const ChannelPair&) = delete;
    ChannelPair& operator=(const ChannelPair&) = delete;
    bool Made() const;
    const ChannelEnds& Theirs() const { return theirs_; }
    ChannelEnds TakeOurs() { return std::exchange(ours_, ChannelEnds{}); }
    ChannelEnds TakeTheirs() { return std::exchange(theirs_, ChannelEnds{}); }  // both sides in one process
    void CloseTheirs();

private:
    ChannelEnds ours_, theirs_;
};

class EngineChannel {
public:
    // Takes the handles; they are closed with the channel.
    explicit EngineChannel(ChannelEnds ends);
    ~EngineChannel();
    EngineChannel(const EngineChannel&) = delete;
    EngineChannel& operator=(const EngineChannel&) = delete;

    // The other side's process: a writer waiting for room in a full ring
    // gives up when it has ended.
    void SetPeer(HANDLE process) { peer_ = process; }
    // The whole frame, waiting for room as long as the other side lives, in
    // naps: for threads other than the one that waits on Arrival() (the wait
    // would take its wake-up), and for tests. The thread that serves the
    // channel sends with SendFrame (ChannelWait), woken when room is made.
    bool Send(const ChannelFrame& frame);
    // Bytes as they are, frame or not (a peer that breaks the protocol does so).
    bool SendBytes(const std::vector<uint8_t>& bytes);
    // A frame in steps: what fits now, then the rest as room is made.
    // Waiting: call ContinueSending (after waiting on Arrival(), which the
    // other side sets once it has made room and BeginRoomWait said so).
    // A frame too long to send fails and leaves the channel as it was.
    enum class Sending { Done, Waiting, Failed };
    Sending StartSending(const ChannelFrame& frame);
    Sending ContinueSending();
    // Before a system wait for room: false when room came meanwhile (go on);
    // true when the other side now sets Arrival() as it makes room.
    bool BeginRoomWait();
    void EndRoomWait();
    // Tests only: both rings' counts start at `count` (before anything is sent).
    void StartCountsAt(uint32_t count);
    enum class Polled { Frame, Nothing, Ended };
    // Takes the next frame if all of it is there; never blocks.
    Polled Poll(ChannelFrame* frame);
    // Set by the other side when it has written (and when it closes its end).
    HANDLE Arrival() const { return ends_.arrived; }
    // Before a system wait: false when bytes came meanwhile (look again);
    // true when the other side now sets Arrival() for the next ones.
    bool BeginWait();
    void EndWait();
    bool Ended() const { return ended_; }
    // Ends the channel now, closing the handles: the other side sees it end.
    void Close();

private:
    bool End();
    Sending Failed();
    Sending FinishedSending();
    bool SendInNaps(Sending sending);
    bool WriteToPipe(const std::vector<uint8_t>& bytes);
    // The bytes moved into the reader; -1 once the other side is gone or broke the transport.
    long TakeFromPipe();
    long TakeFromRings();

    ChannelEnds ends_;
    std::unique_ptr<SharedRings> rings_;
    HANDLE peer_ = nullptr;
    FrameReader reader_;
    std::vector<uint8_t> sendBytes_;  // reused: a call's path allocates nothing to send
    size_t sentUpTo_ = 0;             // of sendBytes_, while Waiting
    bool ended_ = false;
};
