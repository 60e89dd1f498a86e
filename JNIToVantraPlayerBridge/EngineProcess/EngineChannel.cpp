#include "EngineChannel.h"

#include <algorithm>

namespace {

constexpr DWORD kPipeBytes = 64 * 1024;
constexpr size_t kPieceBytes = kPipeBytes / 2;

void CloseAll(ChannelEnds& ends) {
    for (HANDLE handle : {ends.read, ends.write, ends.arrived, ends.peerArrived}) {
        if (handle) CloseHandle(handle);
    }
    ends = ChannelEnds{};
}

HANDLE Duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

ChannelPair::ChannelPair() {
    if (!CreatePipe(&theirs_.read, &ours_.write, nullptr, kPipeBytes) ||
        !CreatePipe(&ours_.read, &theirs_.write, nullptr, kPipeBytes))
        return;
    ours_.arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    theirs_.arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (ours_.arrived && theirs_.arrived) {
        ours_.peerArrived = Duplicate(theirs_.arrived);
        theirs_.peerArrived = Duplicate(ours_.arrived);
    }
}

ChannelPair::~ChannelPair() {
    CloseAll(ours_);
    CloseAll(theirs_);
}

bool ChannelPair::Made() const {
    for (const ChannelEnds* ends : {&ours_, &theirs_}) {
        if (!ends->read || !ends->write || !ends->arrived || !ends->peerArrived) return false;
    }
    return true;
}

void ChannelPair::CloseTheirs() { CloseAll(theirs_); }

EngineChannel::EngineChannel(ChannelEnds ends) : ends_(ends) {}

EngineChannel::~EngineChannel() { Close(); }

void EngineChannel::Close() {
    ended_ = true;
    if (ends_.write) {
        CloseHandle(ends_.write);
        if (ends_.peerArrived) SetEvent(ends_.peerArrived);  // the other side wakes to see the end
    }
    for (HANDLE handle : {ends_.read, ends_.arrived, ends_.peerArrived}) {
        if (handle) CloseHandle(handle);
    }
    ends_ = ChannelEnds{};
}

bool EngineChannel::End() {
    ended_ = true;
    return false;
}

bool EngineChannel::Send(const ChannelFrame& frame) {
    if (ended_) return false;
    std::vector<uint8_t> bytes = frame.Encode();
    if (bytes.empty()) return false;  // a frame that cannot be sent leaves the channel as it is
    // In pieces no larger than the pipe holds, each announced: the other side
    // reads only what it was told of, so a piece that waited for room is
    // still announced once the reader has made room.
    for (size_t at = 0; at < bytes.size(); at += kPieceBytes) {
        DWORD piece = static_cast<DWORD>(std::min(bytes.size() - at, kPieceBytes));
        DWORD written = 0;
        if (!WriteFile(ends_.write, bytes.data() + at, piece, &written, nullptr) || written != piece ||
            !SetEvent(ends_.peerArrived)) {
            return End();
        }
    }
    return true;
}

// Reads only what the pipe holds, so that a read never blocks: the far end's
// writer may be another process than the peer (a leaked handle), and the
// peer's end is seen from its process handle, not from the pipe.
EngineChannel::Polled EngineChannel::Poll(ChannelFrame* frame) {
    while (!ended_) {
        switch (reader_.Next(frame)) {
            case ChannelFrame::Decoded::Complete: return Polled::Frame;
            case ChannelFrame::Decoded::Malformed: End(); return Polled::Ended;
            case ChannelFrame::Decoded::Incomplete: break;
        }
        DWORD available = 0;
        if (!PeekNamedPipe(ends_.read, nullptr, 0, nullptr, &available, nullptr)) break;
        if (available == 0) return Polled::Nothing;
        uint8_t buffer[64 * 1024];
        DWORD read = 0;
        DWORD wanted = std::min<DWORD>(available, sizeof buffer);
        if (!ReadFile(ends_.read, buffer, wanted, &read, nullptr) || read == 0) break;
        reader_.Feed(buffer, read);
    }
    End();
    return Polled::Ended;
}
