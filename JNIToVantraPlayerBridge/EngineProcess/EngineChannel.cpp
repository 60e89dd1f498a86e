#include "EngineChannel.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kPipeBytes = 64 * 1024;
constexpr size_t kPieceBytes = kPipeBytes / 2;

void CloseAll(ChannelEnds& ends) {
    for (HANDLE handle : ends.Handles()) {
        if (handle) CloseHandle(handle);
    }
    ends = ChannelEnds{};
}

bool ParseWord(const std::string& text, int32_t* word) {
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || value < INT32_MIN || value > UINT32_MAX) return false;
    *word = static_cast<int32_t>(value);
    return true;
}

HANDLE Duplicate(HANDLE handle) {
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
}

}  // namespace

std::u16string ChannelArguments(const ChannelEnds& theirs, DWORD libraryProcessId) {
    std::string words;
    for (HANDLE handle : theirs.Handles()) words += std::to_string(HandleWord(handle)) + " ";
    words += std::to_string(libraryProcessId);
    return std::u16string(words.begin(), words.end());
}

bool ParseChannelArguments(const std::vector<std::string>& words, ChannelEnds* ends, DWORD* libraryProcessId) {
    int32_t values[6] = {};
    if (words.size() != 6) return false;
    for (size_t i = 0; i < 6; ++i) {
        if (!ParseWord(words[i], &values[i])) return false;
    }
    *ends = ChannelEnds{WordHandle<HANDLE>(values[0]), WordHandle<HANDLE>(values[1]), WordHandle<HANDLE>(values[2]),
                        WordHandle<HANDLE>(values[3]), WordHandle<HANDLE>(values[4]), 1};
    *libraryProcessId = static_cast<DWORD>(values[5]);
    return true;
}

ChannelTransport ChannelTransportFromEnvironment() {
    return EnvironmentValue(u"VANTRA_PLAYER_ENGINE_CHANNEL") == u"pipes" ? ChannelTransport::Pipes
                                                                         : ChannelTransport::SharedMemory;
}

ChannelPair::ChannelPair(ChannelTransport transport) {
    theirs_.side = 1;
    if (transport == ChannelTransport::Pipes) {
        if (!CreatePipe(&theirs_.read, &ours_.write, nullptr, kPipeBytes) ||
            !CreatePipe(&ours_.read, &theirs_.write, nullptr, kPipeBytes))
            return;
    } else {
        ours_.rings = SharedRings::CreateSection();
        if (!ours_.rings) return;
        theirs_.rings = Duplicate(ours_.rings);
    }
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
        bool transport = ends->rings || (ends->read && ends->write);
        if (!transport || !ends->arrived || !ends->peerArrived) return false;
    }
    return true;
}

void ChannelPair::CloseTheirs() { CloseAll(theirs_); }

EngineChannel::EngineChannel(ChannelEnds ends) : ends_(ends) {
    if (ends_.rings) {
        rings_ = std::make_unique<SharedRings>(ends_.rings, ends_.side);
        ends_.rings = nullptr;  // the rings own it
        if (!rings_->Mapped()) End();
    }
}

EngineChannel::~EngineChannel() { Close(); }

void EngineChannel::Close() {
    ended_ = true;
    bool open = rings_ || ends_.write;
    if (rings_) rings_->Close();
    if (ends_.write) CloseHandle(std::exchange(ends_.write, nullptr));
    if (open && ends_.peerArrived) SetEvent(ends_.peerArrived);  // the other side wakes to see the end
    CloseAll(ends_);
    rings_.reset();
}

bool EngineChannel::End() {
    ended_ = true;
    return false;
}

bool EngineChannel::Send(const ChannelFrame& frame) { return SendInNaps(StartSending(frame)); }

bool EngineChannel::SendBytes(const std::vector<uint8_t>& bytes) {
    if (ended_) return false;
    sendBytes_ = bytes;
    sentUpTo_ = 0;
    return SendInNaps(ContinueSending());
}

bool EngineChannel::SendInNaps(Sending sending) {
    while (sending == Sending::Waiting) {
        if (peer_ ? WaitForSingleObject(peer_, 1) == WAIT_OBJECT_0 : (Sleep(1), false)) return End();
        sending = ContinueSending();
    }
    return sending == Sending::Done;
}

EngineChannel::Sending EngineChannel::StartSending(const ChannelFrame& frame) {
    if (ended_) return Sending::Failed;
    if (!frame.EncodeInto(&sendBytes_)) return Sending::Failed;  // the channel stays as it is
    sentUpTo_ = 0;
    return ContinueSending();
}

// A pipe's write blocks until the reader has taken it all: pipes are kept to
// compare, and waiting is the shared rings' business. Pipe writes go in
// pieces no larger than the pipe holds, each announced: the other side reads
// only what it was told of, so a piece that waited for room is still
// announced once the reader has made room.
EngineChannel::Sending EngineChannel::ContinueSending() {
    if (ended_) return Failed();
    if (!rings_) return WriteToPipe(sendBytes_) ? FinishedSending() : Failed();
    while (sentUpTo_ < sendBytes_.size()) {
        long written = rings_->Write(sendBytes_.data() + sentUpTo_, sendBytes_.size() - sentUpTo_);
        if (written < 0) return Failed();
        sentUpTo_ += static_cast<size_t>(written);
        if (written > 0 && rings_->ReaderWaits() && !SetEvent(ends_.peerArrived)) return Failed();
        if (sentUpTo_ == sendBytes_.size()) break;
        if (rings_->PeerClosed()) return Failed();
        if (written == 0) return Sending::Waiting;
    }
    return FinishedSending();
}

EngineChannel::Sending EngineChannel::FinishedSending() {
    if (sendBytes_.capacity() > ChannelFrame::kKeptRoomBytes) std::vector<uint8_t>().swap(sendBytes_);  // a long text's room goes
    sendBytes_.clear();
    sentUpTo_ = 0;
    return Sending::Done;
}

EngineChannel::Sending EngineChannel::Failed() {
    End();
    return Sending::Failed;
}

bool EngineChannel::BeginRoomWait() {
    if (!rings_) return true;
    rings_->SetWaitingForRoom(true);
    if (!rings_->HasRoom() && !rings_->PeerClosed()) return true;
    rings_->SetWaitingForRoom(false);
    return false;
}

void EngineChannel::EndRoomWait() {
    if (rings_) rings_->SetWaitingForRoom(false);
}

void EngineChannel::StartCountsAt(uint32_t count) {
    if (rings_) rings_->StartCountsAt(count);
}

bool EngineChannel::WriteToPipe(const std::vector<uint8_t>& bytes) {
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
long EngineChannel::TakeFromPipe() {
    DWORD available = 0;
    if (!PeekNamedPipe(ends_.read, nullptr, 0, nullptr, &available, nullptr)) return -1;
    if (available == 0) return 0;
    uint8_t buffer[64 * 1024];
    DWORD read = 0;
    DWORD wanted = std::min<DWORD>(available, sizeof buffer);
    if (!ReadFile(ends_.read, buffer, wanted, &read, nullptr) || read == 0) return -1;
    reader_.Feed(buffer, read);
    return static_cast<long>(read);
}

// The writer waiting for room is woken once some is made.
long EngineChannel::TakeFromRings() {
    long taken = rings_->ReadInto(reader_);
    if (taken > 0 && rings_->WriterWaitsForRoom()) SetEvent(ends_.peerArrived);
    return taken == 0 && rings_->PeerClosed() ? -1 : taken;
}

EngineChannel::Polled EngineChannel::Poll(ChannelFrame* frame) {
    while (!ended_) {
        switch (reader_.Next(frame)) {
            case ChannelFrame::Decoded::Complete: return Polled::Frame;
            case ChannelFrame::Decoded::Malformed: End(); return Polled::Ended;
            case ChannelFrame::Decoded::Incomplete: break;
        }
        long taken = rings_ ? TakeFromRings() : TakeFromPipe();
        if (taken < 0) break;
        if (taken == 0) return Polled::Nothing;
    }
    End();
    return Polled::Ended;
}

bool EngineChannel::BeginWait() {
    if (!rings_) return true;  // a pipe's writer always sets the event
    rings_->SetWaiting(true);
    if (rings_->Empty() && !rings_->PeerClosed()) return true;
    rings_->SetWaiting(false);
    return false;
}

void EngineChannel::EndWait() {
    if (rings_) rings_->SetWaiting(false);
}
