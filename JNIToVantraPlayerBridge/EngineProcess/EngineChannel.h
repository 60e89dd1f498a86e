// One end of the channel between the library and its engine process: frames
// written to one pipe and read from another. Each side signals an event of
// the other's after every write, so that a waiting side wakes for a frame
// without blocking in a read (ChannelWait waits). A failed write or read (the
// other side is gone) or a malformed frame ends the channel for good.
#pragma once

#include <Platform.h>

#include <utility>

#include "ChannelFrame.h"

// The four handles of one side: its pipe ends, the event the other side sets
// when it has written, and the other side's such event.
struct ChannelEnds {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    HANDLE arrived = nullptr;
    HANDLE peerArrived = nullptr;
};

// A new channel's handles, both sides', none inheritable: the other side's
// are made inheritable only for the moment its process starts. Its handles
// to the two events are this process's too (an event has no ends), so they
// stay here after it has started.
class ChannelPair {
public:
    ChannelPair();
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

    bool Send(const ChannelFrame& frame);
    enum class Polled { Frame, Nothing, Ended };
    // Takes the next frame if all of it is there; never blocks.
    Polled Poll(ChannelFrame* frame);
    // Set by the other side after each write (and when it closes its end).
    HANDLE Arrival() const { return ends_.arrived; }
    bool Ended() const { return ended_; }
    // Ends the channel now, closing the handles: the other side sees it end.
    void Close();

private:
    bool End();

    ChannelEnds ends_;
    FrameReader reader_;
    bool ended_ = false;
};
