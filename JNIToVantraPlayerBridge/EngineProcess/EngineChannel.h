// One end of the channel between the library and its engine process: frames
// written to one pipe and read from another, both blocking. A write or read
// that fails (the other side is gone) or a malformed frame ends the channel
// for good: the other side is then treated as dead.
#pragma once

#include <Platform.h>

#include "ChannelFrame.h"

class EngineChannel {
public:
    // Takes both handles; they are closed with the channel.
    EngineChannel(HANDLE readEnd, HANDLE writeEnd);
    ~EngineChannel();
    EngineChannel(const EngineChannel&) = delete;
    EngineChannel& operator=(const EngineChannel&) = delete;

    bool Send(const ChannelFrame& frame);
    // Waits for the next frame; false once the channel has ended.
    bool Receive(ChannelFrame* frame);
    bool Ended() const { return ended_; }
    // Whether a frame, or part of one, waits to be read.
    bool Readable() const;
    // Ends the channel now, closing both handles: the other side sees it end.
    void Close();

private:
    bool End();
    void AwaitBytes() const;

    HANDLE readEnd_;
    HANDLE writeEnd_;
    FrameReader reader_;
    bool ended_ = false;
};
