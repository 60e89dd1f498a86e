// Frames of the engine process's channel: what goes out reads back the same,
// the reader takes nothing malformed, however the bytes arrive, and the
// channel over two pipes ends when the other side goes or talks nonsense.
#include <ChannelFrame.h>
#include <ChannelWait.h>
#include <EngineChannel.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

namespace {

using Decoded = ChannelFrame::Decoded;

ChannelFrame SampleCall() {
    ChannelFrame frame;
    frame.kind = FrameKind::Call;
    frame.code = 23;
    frame.instance = 7;
    frame.words = {4, -1, INT32_MIN, INT32_MAX};
    frame.texts = {std::string("file:///C:/movies/intro.vmv"), std::nullopt, std::string(), std::string("\xC3\xA9")};
    return frame;
}

Decoded DecodeAll(const std::vector<uint8_t>& bytes, ChannelFrame* frame) {
    size_t consumed = 0;
    Decoded result = ChannelFrame::Decode(bytes.data(), bytes.size(), frame, &consumed);
    if (result == Decoded::Complete) {
        EXPECT_EQ(consumed, bytes.size());
    }
    return result;
}

void PutU32At(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TEST(ChannelFrame, ReadsBackWhatWasWrittenFieldForField) {
    ChannelFrame sent = SampleCall();
    std::vector<uint8_t> bytes = sent.Encode();
    ASSERT_EQ(bytes.size(), 20u + 4 * 4 + (4 + 27) + 4 + 4 + (4 + 2));
    // Little-endian, fixed width: the size, kind 2, code 23, instance 7, counts 4 and 4.
    const uint8_t header[20] = {
        static_cast<uint8_t>(bytes.size()), 0, 0, 0, 2, 0, 23, 0, 7, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), header, sizeof header), 0);
    ChannelFrame read;
    ASSERT_EQ(DecodeAll(bytes, &read), Decoded::Complete);
    EXPECT_TRUE(read == sent);
    EXPECT_FALSE(read.texts[1].has_value());
    EXPECT_TRUE(read.texts[2].has_value());
}

TEST(ChannelFrame, EveryShorterPrefixIsIncomplete) {
    std::vector<uint8_t> bytes = SampleCall().Encode();
    ChannelFrame read;
    for (size_t length = 0; length < bytes.size(); ++length) {
        size_t consumed = 0;
        EXPECT_EQ(ChannelFrame::Decode(bytes.data(), length, &read, &consumed), Decoded::Incomplete) << length;
    }
}

TEST(ChannelFrame, FramesWhoseFieldsDisagreeAreMalformed) {
    const std::vector<uint8_t> good = SampleCall().Encode();
    struct Broken {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Broken cases[] = {
        {"a size below the header", 0, 19},
        {"a size beyond the limit", 0, static_cast<uint32_t>(ChannelFrame::kMaxBytes + 1)},
        {"an unknown kind", 4, 8},  // also sets the code's low half: only the kind matters
        {"kind 0", 4, 0},
        {"more words than the size holds", 12, 0x40000000},
        {"one word too many", 12, 5},
        {"more texts than the size holds", 16, 0x10000000},
        {"a text longer than what is left", 20 + 16, 1000},
        {"a text one byte too long", 20 + 16, 28},
        {"the last text running past the frame's end", 20 + 16 + 31 + 4 + 4, 3},
    };
    for (const Broken& broken : cases) {
        std::vector<uint8_t> bytes = good;
        if (broken.at == 4) {
            bytes[4] = static_cast<uint8_t>(broken.value);
            bytes[5] = 0;
        } else {
            PutU32At(bytes, broken.at, broken.value);
        }
        ChannelFrame read;
        EXPECT_EQ(DecodeAll(bytes, &read), Decoded::Malformed) << broken.what;
    }
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    PutU32At(trailing, 0, static_cast<uint32_t>(trailing.size()));
    ChannelFrame read;
    EXPECT_EQ(DecodeAll(trailing, &read), Decoded::Malformed) << "a byte after the last text";
    std::vector<uint8_t> withNul = good;
    withNul[20 + 16 + 4 + 3] = 0;  // inside the first text
    EXPECT_EQ(DecodeAll(withNul, &read), Decoded::Malformed) << "a NUL inside a text";
}

TEST(ChannelFrame, AFrameThatWouldDecodeToFarMoreThanItsSizeIsMalformed) {
    ChannelFrame frame;
    frame.kind = FrameKind::Answer;
    frame.words = {0, 0};
    frame.texts.assign(size_t{1} << 18, std::string());  // 1 MiB of frame, 8 MiB and more decoded
    std::vector<uint8_t> bytes = frame.Encode();
    ASSERT_FALSE(bytes.empty());
    ChannelFrame read;
    EXPECT_EQ(DecodeAll(bytes, &read), Decoded::Malformed);
    frame.texts.resize(1000);  // a thousand are fine
    EXPECT_EQ(DecodeAll(frame.Encode(), &read), Decoded::Complete);
    EXPECT_EQ(read.texts.size(), 1000u);
}

TEST(ChannelFrame, WhatCannotBeSentIsNotEncoded) {
    ChannelFrame frame = SampleCall();
    frame.texts.push_back(std::string("a\0b", 3));
    EXPECT_TRUE(frame.Encode().empty());
    frame.texts.back() = std::string(ChannelFrame::kMaxBytes, 'x');
    EXPECT_TRUE(frame.Encode().empty());
    frame.texts.back() = std::string(ChannelFrame::kMaxBytes - 200, 'x');
    EXPECT_FALSE(frame.Encode().empty());
}

TEST(FrameReader, FramesArriveWhateverThePiecesTheBytesComeIn) {
    ChannelFrame first = SampleCall();
    ChannelFrame second;
    second.kind = FrameKind::Answer;
    second.code = 23;
    second.words = {0};
    std::vector<uint8_t> stream = first.Encode();
    std::vector<uint8_t> more = second.Encode();
    stream.insert(stream.end(), more.begin(), more.end());
    for (size_t piece : {size_t{1}, size_t{3}, size_t{7}, stream.size()}) {
        FrameReader reader;
        std::vector<ChannelFrame> frames;
        for (size_t at = 0; at < stream.size(); at += piece) {
            reader.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            ChannelFrame frame;
            while (reader.Next(&frame) == Decoded::Complete) frames.push_back(frame);
        }
        ASSERT_EQ(frames.size(), 2u) << "pieces of " << piece;
        EXPECT_TRUE(frames[0] == first);
        EXPECT_TRUE(frames[1] == second);
        ChannelFrame none;
        EXPECT_EQ(reader.Next(&none), Decoded::Incomplete);
    }
}

// A long frame's room is not kept once it is read, in the reader or in the
// frame decoded into again: a 100 MiB text would hold that much for good.
TEST(FrameReader, ALongFramesRoomIsGivenBackOnceRead) {
    ChannelFrame longFrame;
    longFrame.kind = FrameKind::Call;
    longFrame.texts = {std::string(4 << 20, 'x')};
    ChannelFrame shortFrame = longFrame;
    shortFrame.texts = {std::string("short")};
    FrameReader reader;
    ChannelFrame frame;
    for (const ChannelFrame* sent : {&longFrame, &shortFrame}) {
        std::vector<uint8_t> bytes = sent->Encode();
        reader.Feed(bytes.data(), bytes.size());
        ASSERT_EQ(reader.Next(&frame), ChannelFrame::Decoded::Complete);
        EXPECT_EQ(frame, *sent);
        EXPECT_LE(reader.Room(), ChannelFrame::kKeptRoomBytes);
    }
    EXPECT_LE(frame.texts[0]->capacity(), ChannelFrame::kKeptRoomBytes);
}

TEST(FrameReader, AMalformedFrameEndsTheChannel) {
    FrameReader reader;
    std::vector<uint8_t> bad = SampleCall().Encode();
    bad[4] = 99;
    reader.Feed(bad.data(), bad.size());
    ChannelFrame frame;
    EXPECT_EQ(reader.Next(&frame), Decoded::Malformed);
    std::vector<uint8_t> good = SampleCall().Encode();
    reader.Feed(good.data(), good.size());
    EXPECT_EQ(reader.Next(&frame), Decoded::Malformed);
    EXPECT_TRUE(reader.Broken());
}

namespace {

// Two channels facing each other, as the library's and its engine process's.
struct FacingChannels {
    FacingChannels() {
        ChannelPair pair;
        created = pair.Made();
        engine = std::make_unique<EngineChannel>(pair.TakeTheirs());
        library = std::make_unique<EngineChannel>(pair.TakeOurs());
    }
    bool created = false;
    std::unique_ptr<EngineChannel> library;
    std::unique_ptr<EngineChannel> engine;
};

Waited Receive(EngineChannel& channel, ChannelFrame* frame, Milliseconds allowed = Milliseconds(5000),
               HANDLE peer = nullptr, Dispatch dispatch = Dispatch::SentMessages) {
    WaitBudget budget(allowed);
    return ReceiveFrame(channel, peer, frame, budget, dispatch);
}

}  // namespace

TEST(EngineChannel, FramesCrossBothWaysInOrder) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    ChannelFrame call = SampleCall();
    ChannelFrame request;
    request.kind = FrameKind::Request;
    request.code = 22;
    request.instance = 7;
    request.texts = {std::string("<invoke name=\"ask\"/>")};
    ASSERT_TRUE(pair.library->Send(call));
    ASSERT_TRUE(pair.library->Send(call));
    ChannelFrame received;
    ASSERT_EQ(Receive(*pair.engine, &received), Waited::Frame);
    EXPECT_TRUE(received == call);
    ASSERT_EQ(Receive(*pair.engine, &received), Waited::Frame);
    EXPECT_TRUE(received == call);
    ASSERT_TRUE(pair.engine->Send(request));
    ASSERT_EQ(Receive(*pair.library, &received), Waited::Frame);
    EXPECT_TRUE(received == request);
}

TEST(EngineChannel, TheOtherSideGoneEndsTheChannel) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    ASSERT_TRUE(pair.engine->Send(SampleCall()));
    pair.engine.reset();  // its ends close
    ChannelFrame received;
    EXPECT_EQ(Receive(*pair.library, &received), Waited::Frame);  // what was sent before still arrives
    EXPECT_EQ(Receive(*pair.library, &received), Waited::PeerEnded);
    EXPECT_TRUE(pair.library->Ended());
    EXPECT_FALSE(pair.library->Send(SampleCall()));
}

TEST(EngineChannel, BytesThatAreNoFrameEndTheChannel) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    const char garbage[] = "\x10\x00\x00\x00garbage!garbage!";  // a size below the header's
    ASSERT_TRUE(pair.engine->SendBytes(std::vector<uint8_t>(garbage, garbage + sizeof garbage - 1)));
    ChannelFrame received;
    EXPECT_EQ(Receive(*pair.library, &received), Waited::PeerEnded);
    EXPECT_TRUE(pair.library->Ended());
}

TEST(EngineChannel, AFrameThatCannotBeSentLeavesTheChannelUsable) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    ChannelFrame unsendable = SampleCall();
    unsendable.texts.push_back(std::string("a\0b", 3));
    EXPECT_FALSE(pair.library->Send(unsendable));
    EXPECT_FALSE(pair.library->Ended());
    EXPECT_TRUE(pair.library->Send(SampleCall()));
}

namespace {

// A frame of `bytes` bytes of text whose content depends on `seed`.
ChannelFrame FrameOfSize(size_t bytes, int seed) {
    ChannelFrame frame = SampleCall();
    std::string text(bytes, 'a');
    for (size_t i = 0; i < bytes; i += 4093) text[i] = static_cast<char>('a' + (seed + i / 4093) % 26);
    frame.texts = {text};
    frame.words = {seed};
    return frame;
}

}  // namespace

// The rings' counters only grow, modulo 2^32: frames crossing both ways over
// the wrap arrive whole and in order.
TEST(EngineChannel, FramesCrossTheCountersWrapBothWays) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    uint32_t nearTheWrap = 0xFFFFFFFFu - (3u << 20) / 2;  // the wrap half-way through
    pair.library->StartCountsAt(nearTheWrap);
    pair.engine->StartCountsAt(nearTheWrap);
    ChannelFrame received;
    for (int i = 0; i < 12; ++i) {
        ChannelFrame down = FrameOfSize((256 << 10) + 17 * i, i), up = FrameOfSize((200 << 10) + 31 * i, 100 + i);
        ASSERT_TRUE(pair.library->Send(down)) << i;
        ASSERT_EQ(Receive(*pair.engine, &received), Waited::Frame) << i;
        ASSERT_TRUE(received == down) << i;
        ASSERT_TRUE(pair.engine->Send(up)) << i;
        ASSERT_EQ(Receive(*pair.library, &received), Waited::Frame) << i;
        ASSERT_TRUE(received == up) << i;
    }
    EXPECT_FALSE(pair.library->Ended());
    EXPECT_FALSE(pair.engine->Ended());
}

// A frame larger than the ring waits for room within the budget it is given
// (a reader that reads nothing costs that and no more), its writer is woken
// by the reader's event once room is made, and it arrives whole.
TEST(ChannelWait, AFrameLargerThanTheRingWaitsForRoomWithinItsBudgetAndIsWokenByTheReader) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    ChannelFrame large = FrameOfSize(3 << 20, 7);
    WaitBudget budget(Milliseconds(60));
    WaitClock::time_point start = WaitClock::now();
    ASSERT_EQ(SendFrame(*pair.library, nullptr, large, budget, Dispatch::SentMessages), Waited::Overdue);
    EXPECT_GE(WaitClock::now() - start, Milliseconds(60));
    EXPECT_LT(WaitClock::now() - start, Milliseconds(5000));
    ASSERT_TRUE(pair.library->BeginRoomWait()) << "the ring is full";
    ChannelFrame received;
    EXPECT_EQ(pair.engine->Poll(&received), EngineChannel::Polled::Nothing) << "a third of it so far";
    pair.library->EndRoomWait();
    EXPECT_EQ(WaitForSingleObject(pair.library->Arrival(), 0), WAIT_OBJECT_0) << "the reader woke the writer";
    Waited sent = Waited::Overdue;
    EngineChannel::Polled polled = EngineChannel::Polled::Nothing;
    for (int round = 0; round < 10 && polled != EngineChannel::Polled::Frame; ++round) {
        WaitBudget more(Milliseconds(60));
        if (sent != Waited::Frame) sent = SendRest(*pair.library, nullptr, more, Dispatch::SentMessages);
        polled = pair.engine->Poll(&received);
    }
    EXPECT_EQ(sent, Waited::Frame);
    ASSERT_EQ(polled, EngineChannel::Polled::Frame);
    EXPECT_TRUE(received == large);
}

// A silent peer costs the waiter its budget and no more; the waiter's own
// time (here: none) is not the peer's.
TEST(ChannelWait, ASilentPeerRunsTheBudgetOutAndTheChannelStaysUsable) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    ChannelFrame received;
    WaitClock::time_point start = WaitClock::now();
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(60)), Waited::Overdue);
    EXPECT_GE(WaitClock::now() - start, Milliseconds(60));
    EXPECT_LT(WaitClock::now() - start, Milliseconds(5000));
    EXPECT_FALSE(pair.library->Ended());
    ASSERT_TRUE(pair.engine->Send(SampleCall()));
    EXPECT_EQ(Receive(*pair.library, &received), Waited::Frame);
}

// A reader that has spun out and sleeps is woken by the frame, not by the
// end of its budget.
TEST(ChannelWait, ASleepingReaderIsWokenByTheFrame) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    std::thread writer([&] {
        Sleep(100);  // well past the reader's spin
        pair.engine->Send(SampleCall());
    });
    ChannelFrame received;
    WaitClock::time_point start = WaitClock::now();
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(20000)), Waited::Frame);
    EXPECT_LT(WaitClock::now() - start, Milliseconds(3000)) << "woken when the frame came";
    writer.join();
}

// The peer's end is seen from its process handle (here an event standing in
// for it), not from the pipe, whose far end another process may hold; what
// it wrote before still arrives.
TEST(ChannelWait, ThePeersEndIsSeenFromItsHandleWhileThePipeStaysOpen) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    HANDLE peer = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(peer, nullptr);
    ASSERT_TRUE(pair.engine->Send(SampleCall()));
    ASSERT_TRUE(SetEvent(peer));
    ChannelFrame received;
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(5000), peer), Waited::Frame);
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(5000), peer), Waited::PeerEnded);
    CloseHandle(peer);
}

// Waiting inside a call takes no posted message (input keeps its order);
// an idle wait dispatches them.
TEST(ChannelWait, OnlyAnIdleWaitTakesPostedMessages) {
    FacingChannels pair;
    ASSERT_TRUE(pair.created);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 7, 0, 0));
    ChannelFrame received;
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(30), nullptr, Dispatch::SentMessages), Waited::Overdue);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
    EXPECT_EQ(Receive(*pair.library, &received, Milliseconds(30), nullptr, Dispatch::AllMessages), Waited::Overdue);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
}

TEST(EngineTimeLimits, ReadAsSecondsOrTheDefaultsWithAComplaint) {
    std::u16string complaint;
    EngineTimeLimits limits = ParseEngineTimeLimits(u"0.3,1.5", &complaint);
    EXPECT_TRUE(complaint.empty());
    EXPECT_EQ(limits.soft, Milliseconds(300)) << "not 299: 0.3 has no exact binary form";
    EXPECT_EQ(limits.hard, Milliseconds(1500));
    for (const char16_t* wrong : {u"5", u"2,1", u"a,b", u"0,1", u"1,", u",1", u"1,1e9", u"-1,2", u"nan,nan"}) {
        complaint.clear();
        limits = ParseEngineTimeLimits(wrong, &complaint);
        EXPECT_FALSE(complaint.empty()) << Utf8FromUtf16(wrong);
        EXPECT_EQ(limits.hard, kDefaultEngineTimeLimits.hard) << Utf8FromUtf16(wrong);
    }
}
