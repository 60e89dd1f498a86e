// One frame of the channel between the library and its engine process: a
// call of an engine entry, its answer, a host service the engine process
// asks for, its reply. On the wire every field is fixed-width little-endian
// and nothing is a pointer:
//
//   u32 size         the whole frame, these 20 bytes included
//   u16 kind         FrameKind
//   u16 code         the entry or service number; 0 for Hello
//   u32 instance     the engine instance it concerns; 0 for none
//   u32 wordCount
//   u32 textCount
//   i32 words[wordCount]
//   texts: u32 length (0xFFFFFFFF for a null text), then that many bytes, no NUL among them
//
// The reader trusts nothing: a frame whose fields disagree with its size, or
// that exceeds the limits below, is malformed, and a malformed frame ends the
// channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class FrameKind : uint16_t {
    Hello = 1,    // each side's first frame: words {protocol version, pointer bits, process id}
    Call = 2,     // library → engine process: an engine entry
    Answer = 3,   // engine process → library: the call's result
    Request = 4,  // engine process → library, inside a call: a host service
    Reply = 5,    // library → engine process: the request's result
    Notice = 6,   // engine process → library, outside any call: a host service served later
    Posted = 7,   // engine process → library, inside a call: a host service served in its turn, with no reply
};

// Handles travel as one word: kernel and window handles fit in 32 bits, as
// Windows keeps them for processes of both widths to share.
inline int32_t HandleWord(const void* handle) { return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle)); }
template <typename Handle>
Handle WordHandle(int32_t word) {
    return reinterpret_cast<Handle>(static_cast<intptr_t>(word));
}

struct ChannelFrame {
    FrameKind kind = FrameKind::Hello;
    uint16_t code = 0;
    uint32_t instance = 0;
    std::vector<int32_t> words;
    std::vector<std::optional<std::string>> texts;

    static constexpr size_t kHeaderBytes = 20;
    // Room for the longest texts the natives carry in one process (64 MiB and more).
    static constexpr size_t kMaxBytes = size_t{128} << 20;
    // What decoding a frame may allocate beyond twice its size, its words and
    // texts counted: a frame of empty texts may not decode to eight times its size.
    static constexpr size_t kDecodingSlack = size_t{64} << 10;
    static constexpr uint32_t kNullText = 0xFFFFFFFF;
    // The room kept between frames for encoding, reading and decoded texts
    // (frames are mostly a few hundred bytes); a longer frame's is given back.
    static constexpr size_t kKeptRoomBytes = size_t{64} << 10;

    bool operator==(const ChannelFrame& other) const;

    // A C text as a frame's text: null stays null.
    static std::optional<std::string> TextOf(const char* text) {
        return text ? std::optional<std::string>(text) : std::nullopt;
    }
    // Text `index` as a C text; null when it is null or absent.
    const char* TextAt(size_t index) const {
        return index < texts.size() && texts[index] ? texts[index]->c_str() : nullptr;
    }

    // The frame's bytes; empty when it exceeds the limits or a text holds a NUL.
    std::vector<uint8_t> Encode() const;
    // The same into *out, whose room is reused; false (and *out empty) for none.
    bool EncodeInto(std::vector<uint8_t>* out) const;
    // How many bytes Encode gives, without making them; 0 for none.
    size_t EncodedSize() const;

    enum class Decoded { Complete, Incomplete, Malformed };
    // Reads one frame from the start of `data`. Complete: *frame holds it and
    // *consumed its size. Incomplete: more bytes are needed (the size read so
    // far is within the limits), *frame unchanged. Malformed: the bytes are no
    // frame, and *frame holds what was read of them.
    static Decoded Decode(const uint8_t* data, size_t size, ChannelFrame* frame, size_t* consumed);
};

// Frames from a stream of bytes as they arrive in pieces. Once a malformed
// frame was seen it stays broken.
class FrameReader {
public:
    void Feed(const uint8_t* data, size_t size);
    // Complete with the next frame, Incomplete until more bytes come, Malformed for good.
    ChannelFrame::Decoded Next(ChannelFrame* frame);
    bool Broken() const { return broken_; }
    // Whether bytes fed have not been read as frames yet.
    bool Buffered() const { return pending_.size() > start_; }
    // The bytes of room it holds.
    size_t Room() const { return pending_.capacity(); }

private:
    std::vector<uint8_t> pending_;
    size_t start_ = 0;
    bool broken_ = false;
};
