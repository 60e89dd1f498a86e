// An engine process that breaks the protocol in one way, named by its engine
// argument: it greets (or not) and answers the first call with exactly the
// wrong frame ("none" and "slow", after 0.7 s, answer every call rightly). The proxy's checks on what it reads are tested against it.
#include <Platform.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ChannelFrame.h"
#include "ChannelWait.h"
#include "EngineChannel.h"
#include "EngineProtocol.h"

namespace {

ChannelFrame Greeting(int32_t version) {
    ChannelFrame hello;
    hello.words.assign(kEngineHelloWords, 0);
    hello.words[kHelloVersion] = version;
    hello.words[kHelloPointerBits] = static_cast<int32_t>(sizeof(void*) * 8);
    hello.words[kHelloEntryMask] = -1;  // every entry filled
    return hello;
}

// The wrong frame sent in reply to `call`; kind Answer unless the fault says otherwise.
ChannelFrame Fault(const std::string& fault, const ChannelFrame& call) {
    ChannelFrame frame;
    frame.kind = FrameKind::Answer;
    frame.code = call.code;
    frame.instance = call.instance;
    frame.words = {0, 1};
    if (fault == "answer-code") frame.code = static_cast<uint16_t>(call.code + 1);
    if (fault == "answer-instance") frame.instance = call.instance + 1;
    if (fault == "answer-words") frame.words = {0};
    if (fault == "answer-texts") frame.texts = {std::string("a"), std::string("b")};
    if (fault == "call-kind") frame.kind = FrameKind::Call;
    if (fault == "reply-kind") frame.kind = FrameKind::Reply;
    if (fault == "request-service" || fault == "request-words" || fault == "request-texts" ||
        fault == "notice-service" || fault == "posted-service") {
        frame.kind = fault == "notice-service"   ? FrameKind::Notice
                     : fault == "posted-service" ? FrameKind::Posted
                                                 : FrameKind::Request;
        frame.code = fault == "request-service"  ? 999
                     : fault == "notice-service" ? kServiceGetWindowSize
                                                 : kServiceInvalidateArea;
        frame.words = fault == "request-words" ? std::vector<int32_t>{1, 2, 3} : std::vector<int32_t>{0, 0, 1, 1};
        if (fault == "request-texts") frame.texts = {std::string("extra")};
    }
    if (fault == "notice-unnoticeable") {  // of the right shape, but a question nobody would wait for the answer to
        frame.kind = FrameKind::Notice;
        frame.code = kServiceAskToKillScript;
        frame.words = {};
    }
    return frame;
}

bool Receive(EngineChannel& channel, ChannelFrame* frame) {
    WaitBudget unbounded;
    return ReceiveFrame(channel, nullptr, frame, unbounded, Dispatch::SentMessages) == Waited::Frame;
}

int Run(const std::string& fault, ChannelEnds ends) {
    EngineChannel channel(ends);
    ChannelFrame hello;
    if (!Receive(channel, &hello)) return 2;
    if (fault == "hello-none") return 0;
    ChannelFrame greeting = Greeting(fault == "hello-version" ? kEngineProtocolVersion + 1 : kEngineProtocolVersion);
    if (fault == "hello-words") greeting.words.pop_back();
    if (!channel.Send(greeting)) return 2;
    if (fault == "deaf") {  // reads nothing more, as an engine hung between calls
        for (;;) Sleep(1000);
    }
    ChannelFrame call;
    while (Receive(channel, &call)) {
        if (fault == "slow") Sleep(700);  // then the right answer: a sound engine, merely slow
        while (fault == "chatty") {  // a request every millisecond, for ever: an engine looping in its script
            Sleep(1);
            ChannelFrame request = Fault("request-words", call);
            request.words = {0, 0, 1, 1};
            ChannelFrame reply;
            if (!channel.Send(request) || !Receive(channel, &reply)) return 2;
        }
        if (fault == "notice-flood") {  // more notices inside one call than a sound engine process sends
            ChannelFrame notice;
            notice.kind = FrameKind::Notice;
            notice.code = kServiceTrace;
            notice.instance = call.instance;
            notice.texts = {std::string(8 << 20, 'n')};
            for (int i = 0; i < 17; ++i) {
                if (!channel.Send(notice)) return 2;
            }
        }
        if (fault == "garbage") {
            static const char garbage[] = "\xff\xff\xff\x7f no frame";
            channel.SendBytes(std::vector<uint8_t>(garbage, garbage + sizeof garbage));
        } else if (fault == "half-then-exit") {  // dies in the middle of writing
            std::vector<uint8_t> answer = Fault("none", call).Encode();
            answer.resize(answer.size() / 2);
            channel.SendBytes(answer);
            ExitProcess(0);
        } else if (fault == "broken-reader-count") {  // read more of the library's ring than it wrote, then answer
            auto* counters = ends.rings ? static_cast<uint32_t*>(MapViewOfFile(ends.rings, FILE_MAP_WRITE, 0, 0, 4096))
                                        : nullptr;
            if (!counters) return 2;
            counters[64 / 4] += 3u << 20;
            UnmapViewOfFile(counters);
            if (!channel.Send(Fault("none", call))) return 2;
            Sleep(2000);  // reading would publish its own count again
        } else if (fault == "broken-counter") {  // the written count of the ring to the library: more than a ring
            if (!ends.rings) return 2;
            auto* counters = static_cast<uint32_t*>(MapViewOfFile(ends.rings, FILE_MAP_WRITE, 0, 0, 4096));
            if (!counters) return 2;
            counters[192 / 4] += 3u << 20;
            SetEvent(ends.peerArrived);
        } else if (!channel.Send(Fault(fault, call))) {
            return 2;
        }
    }
    return 0;
}

}  // namespace

// FaultyPeer <fault> <the channel's arguments>
#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(Utf8FromUtf16(reinterpret_cast<const char16_t*>(argv[i])));
#else
int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
#endif
    ChannelEnds ends;
    DWORD library = 0;
    if (arguments.empty() ||
        !ParseChannelArguments(std::vector<std::string>(arguments.begin() + 1, arguments.end()), &ends, &library))
        return 2;
    return Run(arguments[0], ends);
}
