#include "EngineChannel.h"

#include <chrono>

namespace {

// How long a read looks for bytes before it blocks. The other side usually
// answers within microseconds; a blocked read costs a sleep and a wake-up,
// which on some systems takes tens of microseconds more than the answer.
constexpr std::chrono::microseconds kSpinBeforeBlocking{50};

}  // namespace

EngineChannel::EngineChannel(HANDLE readEnd, HANDLE writeEnd) : readEnd_(readEnd), writeEnd_(writeEnd) {}

EngineChannel::~EngineChannel() { Close(); }

void EngineChannel::Close() {
    ended_ = true;
    if (readEnd_) CloseHandle(readEnd_);
    if (writeEnd_) CloseHandle(writeEnd_);
    readEnd_ = nullptr;
    writeEnd_ = nullptr;
}

bool EngineChannel::End() {
    ended_ = true;
    return false;
}

bool EngineChannel::Send(const ChannelFrame& frame) {
    if (ended_) return false;
    std::vector<uint8_t> bytes = frame.Encode();
    if (bytes.empty()) return false;  // a frame that cannot be sent leaves the channel as it is
    DWORD written = 0;
    if (!WriteFile(writeEnd_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        return End();
    }
    return true;
}

bool EngineChannel::Readable() const {
    DWORD available = 0;
    return !ended_ &&
           (reader_.Buffered() || (PeekNamedPipe(readEnd_, nullptr, 0, nullptr, &available, nullptr) && available > 0));
}

void EngineChannel::AwaitBytes() const {
    auto until = std::chrono::steady_clock::now() + kSpinBeforeBlocking;
    DWORD available = 0;
    do {
        // A pipe that cannot be peeked at is read the blocking way.
        if (!PeekNamedPipe(readEnd_, nullptr, 0, nullptr, &available, nullptr) || available > 0) return;
    } while (std::chrono::steady_clock::now() < until);
}

bool EngineChannel::Receive(ChannelFrame* frame) {
    while (!ended_) {
        switch (reader_.Next(frame)) {
            case ChannelFrame::Decoded::Complete: return true;
            case ChannelFrame::Decoded::Malformed: return End();
            case ChannelFrame::Decoded::Incomplete: break;
        }
        AwaitBytes();
        uint8_t buffer[64 * 1024];
        DWORD read = 0;
        if (!ReadFile(readEnd_, buffer, sizeof buffer, &read, nullptr) || read == 0) return End();
        reader_.Feed(buffer, read);
    }
    return false;
}
