#include "ChannelFrame.h"

#include <cstring>
#include <new>

namespace {

uint8_t* PutU32(uint8_t* at, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) *at++ = static_cast<uint8_t>(value >> shift);
    return at;
}

uint8_t* PutU16(uint8_t* at, uint16_t value) {
    *at++ = static_cast<uint8_t>(value);
    *at++ = static_cast<uint8_t>(value >> 8);
    return at;
}

uint32_t U32At(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool KnownKind(uint16_t kind) {
    return kind >= static_cast<uint16_t>(FrameKind::Hello) && kind <= static_cast<uint16_t>(FrameKind::Posted);
}

// What decoding a frame of these counts allocates at least: a frame of empty
// texts costs far more decoded than sent.
size_t DecodedBytes(uint32_t wordCount, uint32_t textCount, size_t size) {
    return size_t{wordCount} * sizeof(int32_t) + size_t{textCount} * sizeof(std::optional<std::string>) + size;
}

// Reads the fields after the header; false at the first that disagrees with
// the size, or when decoding would allocate more than the cap.
bool ReadBody(const uint8_t* data, size_t size, uint32_t wordCount, uint32_t textCount, ChannelFrame* frame) {
    size_t at = ChannelFrame::kHeaderBytes;
    if (wordCount > (size - at) / 4) return false;
    // Every text needs its length at least; bounded so, the sum below cannot overflow.
    if (textCount > (size - at) / 4) return false;
    if (DecodedBytes(wordCount, textCount, size) > 2 * size + ChannelFrame::kDecodingSlack) return false;
    frame->words.resize(wordCount);
    for (uint32_t i = 0; i < wordCount; ++i, at += 4) frame->words[i] = static_cast<int32_t>(U32At(data + at));
    if (textCount > (size - at) / 4) return false;
    frame->texts.resize(textCount);
    for (std::optional<std::string>& text : frame->texts) {
        if (size - at < 4) return false;
        uint32_t length = U32At(data + at);
        at += 4;
        if (length == ChannelFrame::kNullText) {
            text.reset();
            continue;
        }
        if (length > size - at) return false;
        const char* bytes = reinterpret_cast<const char*>(data + at);
        if (std::memchr(bytes, 0, length)) return false;
        if (text && text->capacity() <= ChannelFrame::kKeptRoomBytes) {
            text->assign(bytes, length);  // the room of the frame read before is reused, unless a long text's
        } else {
            text.emplace(bytes, length);
        }
        at += length;
    }
    return at == size;  // nothing after the last field
}

}  // namespace

bool ChannelFrame::operator==(const ChannelFrame& other) const {
    return kind == other.kind && code == other.code && instance == other.instance && words == other.words &&
           texts == other.texts;
}

size_t ChannelFrame::EncodedSize() const {
    size_t size = kHeaderBytes + words.size() * 4;
    for (const std::optional<std::string>& text : texts) {
        if (text && (text->size() >= kNullText || text->find('\0') != std::string::npos)) return 0;
        size += 4 + (text ? text->size() : 0);
        if (size > kMaxBytes) return 0;
    }
    return size > kMaxBytes ? 0 : size;
}

std::vector<uint8_t> ChannelFrame::Encode() const {
    std::vector<uint8_t> out;
    EncodeInto(&out);
    return out;
}

bool ChannelFrame::EncodeInto(std::vector<uint8_t>* out) const {
    size_t size = EncodedSize();
    out->resize(size);
    if (size == 0) return false;
    uint8_t* at = out->data();
    at = PutU32(at, static_cast<uint32_t>(size));
    at = PutU16(at, static_cast<uint16_t>(kind));
    at = PutU16(at, code);
    at = PutU32(at, instance);
    at = PutU32(at, static_cast<uint32_t>(words.size()));
    at = PutU32(at, static_cast<uint32_t>(texts.size()));
    for (int32_t word : words) at = PutU32(at, static_cast<uint32_t>(word));
    for (const std::optional<std::string>& text : texts) {
        at = PutU32(at, text ? static_cast<uint32_t>(text->size()) : kNullText);
        if (text && !text->empty()) at = static_cast<uint8_t*>(std::memcpy(at, text->data(), text->size())) + text->size();
    }
    return true;
}

ChannelFrame::Decoded ChannelFrame::Decode(const uint8_t* data, size_t available, ChannelFrame* frame,
                                           size_t* consumed) {
    if (available < 4) return Decoded::Incomplete;
    uint32_t size = U32At(data);
    if (size < kHeaderBytes || size > kMaxBytes) return Decoded::Malformed;
    if (available < kHeaderBytes) return Decoded::Incomplete;
    uint16_t kind = U16At(data + 4);
    if (!KnownKind(kind)) return Decoded::Malformed;
    if (available < size) return Decoded::Incomplete;
    frame->kind = static_cast<FrameKind>(kind);
    frame->code = U16At(data + 6);
    frame->instance = U32At(data + 8);
    try {
        if (!ReadBody(data, size, U32At(data + 12), U32At(data + 16), frame)) return Decoded::Malformed;
    } catch (const std::bad_alloc&) {
        return Decoded::Malformed;  // a frame this process cannot hold ends the channel, not the process
    }
    *consumed = size;
    return Decoded::Complete;
}

void FrameReader::Feed(const uint8_t* data, size_t size) {
    if (broken_ || size == 0) return;
    if (start_ > 0 && start_ == pending_.size()) {
        pending_.clear();
        start_ = 0;
    }
    if (pending_.size() == start_ && size >= 4) {
        // A frame's start: room for all of it at once, rather than growing
        // (and copying) a long one piece by piece.
        uint32_t frameSize = U32At(data);
        if (frameSize > size && frameSize <= ChannelFrame::kMaxBytes) pending_.reserve(start_ + frameSize);
    }
    pending_.insert(pending_.end(), data, data + size);
}

ChannelFrame::Decoded FrameReader::Next(ChannelFrame* frame) {
    if (broken_) return ChannelFrame::Decoded::Malformed;
    size_t consumed = 0;
    ChannelFrame::Decoded result =
        ChannelFrame::Decode(pending_.data() + start_, pending_.size() - start_, frame, &consumed);
    if (result == ChannelFrame::Decoded::Malformed) {
        broken_ = true;
        pending_.clear();
        start_ = 0;
    } else if (result == ChannelFrame::Decoded::Complete) {
        start_ += consumed;
        if (start_ == pending_.size() && pending_.capacity() > ChannelFrame::kKeptRoomBytes) {
            std::vector<uint8_t>().swap(pending_);  // a long frame's room goes once it is read
            start_ = 0;
        } else if (start_ * 2 > pending_.size()) {  // drop what was read once it is most of the buffer
            pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start_));
            start_ = 0;
        }
    }
    return result;
}
