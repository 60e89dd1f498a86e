#include "SharedRings.h"

#include <algorithm>
#include <cstring>

// Fixed widths and explicit alignment: a 32-bit and a 64-bit process map it.
struct SharedRings::Ring {
    alignas(64) std::atomic<uint32_t> written;  // by the writer
    alignas(64) std::atomic<uint32_t> read;     // by the reader
    alignas(64) std::atomic<uint32_t> readerWaiting;
    std::atomic<uint32_t> writerClosed;
    std::atomic<uint32_t> writerWaitingForRoom;
};

namespace {

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the counters are shared between processes");
constexpr size_t kHeaderBytes = 4096;  // both rings' counters, page-aligned bytes after
constexpr size_t kMappingBytes = kHeaderBytes + 2 * size_t{SharedRings::kRingBytes};

}  // namespace

HANDLE SharedRings::CreateSection() {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(kMappingBytes),
                              nullptr);
}

SharedRings::SharedRings(HANDLE section, int side) : section_(section), side_(side) {
    static_assert(2 * sizeof(Ring) <= kHeaderBytes, "the counters fit the header");
    if (section_) view_ = MapViewOfFile(section_, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kMappingBytes);
}

SharedRings::~SharedRings() {
    if (view_) UnmapViewOfFile(view_);
    if (section_) CloseHandle(section_);
}

SharedRings::Ring& SharedRings::Outgoing() const { return static_cast<Ring*>(view_)[side_]; }
SharedRings::Ring& SharedRings::Incoming() const { return static_cast<Ring*>(view_)[1 - side_]; }

uint8_t* SharedRings::Bytes(int ring) const {
    return static_cast<uint8_t*>(view_) + kHeaderBytes + static_cast<size_t>(ring) * kRingBytes;
}

// The reader's count is looked at only when the count last seen leaves too
// little room: it is a line the other core wrote, and the call's path crosses
// enough of those.
long SharedRings::Write(const uint8_t* data, size_t size) {
    Ring& ring = Outgoing();
    uint32_t used = written_ - readSeen_;
    if (kRingBytes - used < size) {
        readSeen_ = ring.read.load(std::memory_order_acquire);
        used = written_ - readSeen_;
        if (used > kRingBytes) return -1;
    }
    size_t count = std::min<size_t>(size, kRingBytes - used);
    uint8_t* bytes = Bytes(side_);
    size_t at = written_ % kRingBytes;
    size_t first = std::min(count, kRingBytes - at);
    std::memcpy(bytes + at, data, first);
    std::memcpy(bytes, data + first, count - first);
    written_ += static_cast<uint32_t>(count);
    ring.written.store(written_, std::memory_order_release);
    return static_cast<long>(count);
}

void SharedRings::Close() {
    if (view_) Outgoing().writerClosed.store(1, std::memory_order_release);
}

bool SharedRings::PeerClosed() const { return Incoming().writerClosed.load(std::memory_order_acquire) != 0; }

bool SharedRings::ReaderWaits() const {
    std::atomic_thread_fence(std::memory_order_seq_cst);  // pairs with the reader's, in SetWaiting
    return Outgoing().readerWaiting.load(std::memory_order_relaxed) != 0;
}

void SharedRings::SetWaiting(bool waiting) {
    Incoming().readerWaiting.store(waiting ? 1 : 0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

void SharedRings::SetWaitingForRoom(bool waiting) {
    Outgoing().writerWaitingForRoom.store(waiting ? 1 : 0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_seq_cst);
}

bool SharedRings::WriterWaitsForRoom() const {
    std::atomic_thread_fence(std::memory_order_seq_cst);  // pairs with the writer's, in SetWaitingForRoom
    return Incoming().writerWaitingForRoom.load(std::memory_order_relaxed) != 0;
}

bool SharedRings::HasRoom() {
    readSeen_ = Outgoing().read.load(std::memory_order_acquire);
    return written_ - readSeen_ != kRingBytes;
}

void SharedRings::StartCountsAt(uint32_t count) {
    written_ = read_ = readSeen_ = count;
    for (int ring = 0; ring < 2; ++ring) {
        static_cast<Ring*>(view_)[ring].written.store(count, std::memory_order_release);
        static_cast<Ring*>(view_)[ring].read.store(count, std::memory_order_release);
    }
}

bool SharedRings::Empty() const { return Incoming().written.load(std::memory_order_acquire) == read_; }

// The bytes are copied out before anything reads them: what the other side
// writes there later cannot change what was decoded.
long SharedRings::ReadInto(FrameReader& reader) {
    Ring& ring = Incoming();
    uint32_t available = ring.written.load(std::memory_order_acquire) - read_;
    if (available > kRingBytes) return -1;
    const uint8_t* bytes = Bytes(1 - side_);
    size_t at = read_ % kRingBytes;
    size_t first = std::min<size_t>(available, kRingBytes - at);
    if (first) reader.Feed(bytes + at, first);
    if (available > first) reader.Feed(bytes, available - first);
    read_ += available;
    ring.read.store(read_, std::memory_order_release);
    return static_cast<long>(available);
}
