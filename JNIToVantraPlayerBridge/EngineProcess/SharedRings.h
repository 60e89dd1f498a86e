// The channel's bytes through memory both processes map: one ring each way,
// with counters that only grow (modulo 2^32) and a word the reader sets
// before it waits, so that a writer enters the kernel (sets the reader's
// event) only when the reader sleeps; likewise a word the writer sets before
// it waits for room, so that the reader sets the writer's event only then.
// Everything read from the mapping is checked: the other side may write
// anything there.
#pragma once

#include <Platform.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "ChannelFrame.h"

class SharedRings {
public:
    static constexpr uint32_t kRingBytes = 1u << 20;

    // A new mapping (null section on failure) and a view of one the other side made.
    static HANDLE CreateSection();
    // side 0 writes ring 0 and reads ring 1 (the library); side 1 the other way.
    SharedRings(HANDLE section, int side);
    ~SharedRings();
    SharedRings(const SharedRings&) = delete;
    SharedRings& operator=(const SharedRings&) = delete;
    bool Mapped() const { return view_ != nullptr; }

    // Copies as much as there is room for; the count written, or -1 when the
    // other side's counter cannot be (it broke it).
    long Write(const uint8_t* data, size_t size);
    // This side will write no more; the other side reads what is left, then ends.
    void Close();
    bool PeerClosed() const;
    // Whether the reader waits: the writer then sets its event.
    bool ReaderWaits() const;
    // Moves what the incoming ring holds into the reader: the count, or -1
    // when the other side's counter cannot be.
    long ReadInto(FrameReader& reader);
    bool Empty() const;
    // The reader's word: set before it waits (then it looks once more), cleared after.
    void SetWaiting(bool waiting);
    // The writer's word, the same way, while it waits for room; whether the
    // other side's writer waits for room (this side then sets its event).
    void SetWaitingForRoom(bool waiting);
    bool WriterWaitsForRoom() const;
    // Whether the outgoing ring has room now (true too when its counters are
    // broken: the next write finds that).
    bool HasRoom();
    // Tests only: both rings' counts start at `count`, as after that many
    // bytes each way (call before either side writes).
    void StartCountsAt(uint32_t count);

private:
    struct Ring;
    Ring& Outgoing() const;
    Ring& Incoming() const;
    uint8_t* Bytes(int ring) const;

    HANDLE section_;
    void* view_ = nullptr;
    int side_;
    uint32_t written_ = 0;  // this side's own counts: the mapping's copies are published, never trusted
    uint32_t read_ = 0;
    uint32_t readSeen_ = 0;  // the reader's count when last looked at: never more than it is
};
