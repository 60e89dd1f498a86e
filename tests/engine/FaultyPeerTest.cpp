// The library's checks on what its engine process sends: a peer that sends
// exactly the wrong thing (tests/engine/FaultyPeer.cpp) ends that engine
// process, and the call in progress fails; a peer that answers rightly does not.
#include <EngineChannel.h>
#include <EngineProtocol.h>
#include <EngineProxy.h>
#include <HostServices.h>
#include <DebugOutputCapture.h>
#include <RecordingEngineClient.h>
#include <ScopedEngineTimeLimits.h>
#include <gtest/gtest.h>

#include <ChannelWait.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

const HostServices& TheHostServices() {
    static HostServices services = [] {
        HostServices table{};
        FillHostServices(table);
        return table;
    }();
    return services;
}

std::unique_ptr<EngineProxy> StartPeer(const std::string& fault, std::u16string* reason,
                                       const HostServices& services = TheHostServices()) {
#ifdef _WIN32
    std::u16string program = RecordingEngineClient::TestsFolder() + u"\\faulty_peer.exe";
#else
    std::u16string program = RecordingEngineClient::TestsFolder() + u"/faulty_peer";
#endif
    return EngineProxy::StartProgram(program, std::u16string(fault.begin(), fault.end()), services, reason);
}

// A peer started, with one instance of the test's adopted.
struct StartedPeer {
    explicit StartedPeer(const std::string& fault, const HostServices& services = TheHostServices())
        : proxy(StartPeer(fault, &reason, services)) {
        if (proxy) proxy->Adopt(&record);
    }
    std::u16string reason;
    std::unique_ptr<EngineProxy> proxy;
    InstanceRecord record{0, nullptr};
};

}  // namespace

TEST(FaultyPeer, AGreetingOtherThanOursGivesNoEngine) {
    for (const char* fault : {"hello-none", "hello-version", "hello-words"}) {
        std::u16string reason;
        EXPECT_EQ(StartPeer(fault, &reason), nullptr) << fault;
        EXPECT_FALSE(reason.empty()) << fault;
    }
}

TEST(FaultyPeer, EveryWrongFrameEndsItsEngineProcessAndTheCallFails) {
    for (const char* fault : {"answer-code", "answer-instance", "answer-words", "answer-texts", "call-kind",
                              "reply-kind", "request-service", "request-words", "request-texts", "notice-service",
                              "posted-service", "notice-unnoticeable", "garbage", "half-then-exit", "broken-counter"}) {
        std::u16string reason;
        std::unique_ptr<EngineProxy> proxy = StartPeer(fault, &reason);
        ASSERT_NE(proxy, nullptr) << fault;
        InstanceRecord record{0, nullptr};
        proxy->Adopt(&record);
        int endings = 0;
        proxy->SetEndedHandler([&] { ++endings; });
        WaitClock::time_point start = WaitClock::now();
        EXPECT_FALSE(proxy->Call(&record, kDoPlay).has_value()) << fault;
        EXPECT_LT(WaitClock::now() - start, Milliseconds(3000)) << fault << ": seen at once, not at a limit";
        EXPECT_TRUE(proxy->Ended()) << fault;
        EXPECT_EQ(endings, 1) << fault;
    }
}

// The count of the library's ring that the engine process publishes as read,
// past what the library wrote: the library's next write that looks at it
// (one that needs more room than it last saw) ends that engine process.
TEST(FaultyPeer, AReadCountPastWhatWasWrittenEndsItsEngineProcess) {
    StartedPeer peer("broken-reader-count");
    ASSERT_NE(peer.proxy, nullptr);
    EXPECT_TRUE(peer.proxy->Call(&peer.record, kDoPlay).has_value()) << "answered; the count broken meanwhile";
    std::string value(5 << 20, 'v');  // written past the ring, and past the mapping, were the count believed
    EXPECT_FALSE(peer.proxy->Call(&peer.record, kSetVariable, {}, {std::string("name"), value}).has_value());
    EXPECT_TRUE(peer.proxy->Ended());
}

// Notices queued inside a call are bounded in bytes: past the bound the
// engine process is ended as faulty rather than held in this process.
TEST(FaultyPeer, MoreQueuedNoticesThanTheBoundEndTheEngineProcess) {
    DebugOutputCapture debug;
    StartedPeer peer("notice-flood");
    ASSERT_NE(peer.proxy, nullptr);
    EXPECT_FALSE(peer.proxy->Call(&peer.record, kDoPlay).has_value());
    EXPECT_TRUE(peer.proxy->Ended());
    EXPECT_NE(debug.TakeText().find("queued more notices than a sound one can"), std::string::npos);
}

// Sending is part of the call's time: a call that waits for room in the
// ring of an engine process that reads nothing is reported at the soft limit
// and given up at the hard one, as a call that waits for its answer.
TEST(FaultyPeer, ACallThatCannotBeSentIsBoundedByTheLimits) {
    ScopedEngineTimeLimits limits(u"0.3,1.5");
    DebugOutputCapture debug;
    StartedPeer peer("deaf");
    ASSERT_NE(peer.proxy, nullptr);
    WaitClock::time_point start = WaitClock::now();
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        EXPECT_FALSE(peer.proxy->Call(&peer.record, kSetVariable, {}, {std::string("name"), std::string(2 << 20, 'v')}));
        returned = true;
    });
    while (!returned && WaitClock::now() - start < Milliseconds(10000)) Sleep(10);
    WaitClock::duration took = WaitClock::now() - start;
    if (!returned) {
        ADD_FAILURE() << "the call was still waiting to be sent after 10 s";
        TerminateProcess(peer.proxy->Process(), 1);  // lets it return
        while (!returned && WaitClock::now() - start < Milliseconds(12000)) Sleep(10);
        if (!returned) {  // its thread cannot be had back: the test ends here, failed
            std::fprintf(stderr, "the call did not return even with its engine process ended\n");
            std::_Exit(1);
        }
    }
    caller.join();
    EXPECT_TRUE(peer.proxy->Ended());
    EXPECT_GE(took, Milliseconds(1500));
    EXPECT_LT(took, Milliseconds(3000)) << "the hard limit, not later";
    std::string lines = debug.TakeText();
    EXPECT_NE(lines.find("has not answered call 30 in 300 ms: still waiting"), std::string::npos) << lines;
    EXPECT_NE(lines.find("has not answered call 30 in 1500 ms: it is ended"), std::string::npos) << lines;
}

// The engine's time between its requests counts, all of it: an engine that
// keeps asking, a little while apart, is ended at the hard limit.
TEST(FaultyPeer, AnEngineThatKeepsAskingIsEndedAtTheHardLimit) {
    ScopedEngineTimeLimits limits(u"0.3,1.5");
    StartedPeer peer("chatty");
    ASSERT_NE(peer.proxy, nullptr);
    WaitClock::time_point start = WaitClock::now();
    EXPECT_FALSE(peer.proxy->Call(&peer.record, kDoPlay).has_value());
    WaitClock::duration took = WaitClock::now() - start;
    EXPECT_TRUE(peer.proxy->Ended());
    EXPECT_GE(took, Milliseconds(1500));
    EXPECT_LT(took, Milliseconds(3000)) << "the hard limit, not later";
}

TEST(FaultyPeer, APeerThatAnswersRightlyIsAnswered) {
    StartedPeer peer("none");
    ASSERT_NE(peer.proxy, nullptr);
    std::optional<ChannelFrame> answer = peer.proxy->Call(&peer.record, kDoPlay);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->words[kAnswerResult], 1);
    EXPECT_FALSE(peer.proxy->Ended());
}

namespace {

// A trace service that calls the engine again, as Java's trace handler may
// call into the widget: once, and what it saw kept.
struct TraceThatCallsAgain {
    static int32_t ENGINE_CDECL Trace(InstanceRecord* record, const char* text) {
        texts.push_back(text ? text : "");
        if (texts.size() == 1) {
            takesCallsWhenCalled = proxy->TakesCalls();
            std::optional<ChannelFrame> answer = proxy->Call(record, kStopPlay);
            nestedAnswered = answer && answer->code == kStopPlay && answer->words[kAnswerResult] == 1;
        }
        return 0;
    }
    static EngineProxy* proxy;
    static std::vector<std::string> texts;
    static bool takesCallsWhenCalled;
    static bool nestedAnswered;
};
EngineProxy* TraceThatCallsAgain::proxy = nullptr;
std::vector<std::string> TraceThatCallsAgain::texts;
bool TraceThatCallsAgain::takesCallsWhenCalled = false;
bool TraceThatCallsAgain::nestedAnswered = false;

}  // namespace

// A call past the soft limit is reported, and Java hears of it once the call
// has returned: a trace handler that calls the widget again sends its call to
// an engine process that takes it, and both calls get their own answers.
TEST(FaultyPeer, TheSoftLimitsReportMayCallTheEngineAgainAndBothCallsAreAnswered) {
    ScopedEngineTimeLimits limits(u"0.3,1.5");
    DebugOutputCapture debug;
    static HostServices services = TheHostServices();
    services.entries[kServiceTrace] = AsEntry(&TraceThatCallsAgain::Trace);
    StartedPeer peer("slow", services);
    ASSERT_NE(peer.proxy, nullptr);
    TraceThatCallsAgain::proxy = peer.proxy.get();
    std::optional<ChannelFrame> answer = peer.proxy->Call(&peer.record, kDoPlay);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->words[kAnswerResult], 1);
    EXPECT_EQ(answer->code, kDoPlay);
    EXPECT_FALSE(peer.proxy->Ended());
    // The second call's report came after the time given to serving: it
    // waits for the thread's message loop, which the announcement reaches.
    ASSERT_EQ(TraceThatCallsAgain::texts.size(), 1u);
    peer.proxy->ServeNotices();
    ASSERT_EQ(TraceThatCallsAgain::texts.size(), 2u) << "one report for each slow call";
    EXPECT_EQ(TraceThatCallsAgain::texts[0], "the engine process has not answered call 68 in 300 ms: still waiting");
    EXPECT_TRUE(TraceThatCallsAgain::takesCallsWhenCalled) << "reported once the call had its answer";
    EXPECT_TRUE(TraceThatCallsAgain::nestedAnswered) << "the trace's own call, with its own answer";
    EXPECT_NE(debug.TakeText().find("has not answered call 68 in 300 ms: still waiting"), std::string::npos);
    TraceThatCallsAgain::proxy = nullptr;
}

namespace {

// The engine process driven by the test as a library that breaks the
// protocol would drive it: its channel's other ends are the test's.
class HostDrivenByTheTest {
public:
    explicit HostDrivenByTheTest(const char* engine = "noop") {
        ChannelPair pair;
        if (!pair.Made()) return;
        for (HANDLE handle : pair.Theirs().Handles()) {
            if (handle) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
#ifdef _WIN32
        std::u16string program = RecordingEngineClient::TestsFolder() + u"\\VantraPlayerEngineHost.exe";
#else
        std::u16string program = RecordingEngineClient::TestsFolder() + u"/VantraPlayerEngineHost";
#endif
        std::u16string line = u"\"" + program + u"\" \"" + RecordingEngineClient::EngineFile(engine) + u"\" " +
                              ChannelArguments(pair.Theirs(), GetCurrentProcessId());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (CreateProcessW(AsWide(program.c_str()), AsWide(&line[0]), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &started)) {
            CloseHandle(started.hThread);
            process_ = started.hProcess;
        }
        pair.CloseTheirs();
        channel_ = std::make_unique<EngineChannel>(pair.TakeOurs());
    }
    ~HostDrivenByTheTest() {
        channel_.reset();
        if (process_) {
            if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            WaitForSingleObject(process_, INFINITE);
            CloseHandle(process_);
        }
    }

    bool Started() const { return process_ != nullptr; }
    EngineChannel& Channel() { return *channel_; }
    // The host's exit code once it has ended within 5 s; STILL_ACTIVE otherwise.
    DWORD ExitCode() {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_, 5000) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        return code;
    }
    bool Greet(int32_t version, ChannelFrame* greeting) {
        ChannelFrame hello;
        hello.words = {version, static_cast<int32_t>(sizeof(void*) * 8), static_cast<int32_t>(GetCurrentProcessId())};
        return channel_->Send(hello) && Receive(greeting);
    }
    // Sends the call and gives the first frame that comes back, other than
    // a request when `serveRequests` says: those get a reply of zeros.
    std::optional<ChannelFrame> Call(int entry, uint32_t instance, std::vector<int32_t> words = {},
                                     bool serveRequests = true) {
        ChannelFrame call;
        call.kind = FrameKind::Call;
        call.code = static_cast<uint16_t>(entry);
        call.instance = instance;
        call.words = std::move(words);
        ChannelFrame answer;
        if (!channel_->Send(call)) return std::nullopt;
        while (Receive(&answer)) {
            if (answer.kind != FrameKind::Request || !serveRequests) return answer;
            ChannelFrame reply;
            reply.kind = FrameKind::Reply;
            reply.code = answer.code;
            reply.instance = answer.instance;
            reply.words = {0, 0, 0};
            if (!channel_->Send(reply)) break;
        }
        return std::nullopt;
    }
    // Started, greeted, and instance 1 made.
    bool HasAnInstance() {
        ChannelFrame greeting;
        return Started() && Greet(kEngineProtocolVersion, &greeting) && greeting.words[kHelloLoadStatus] == 0 &&
               Call(kNewInstance, 1).has_value();
    }
    bool Receive(ChannelFrame* frame) {
        WaitBudget budget(Milliseconds(30000));
        return ReceiveFrame(*channel_, process_, frame, budget, Dispatch::SentMessages) == Waited::Frame;
    }

private:
    HANDLE process_ = nullptr;
    std::unique_ptr<EngineChannel> channel_;
};

}  // namespace

TEST(FaultyLibrary, AnotherProtocolIsRefusedInTheGreetingAndTheHostEnds) {
    HostDrivenByTheTest host;
    ASSERT_TRUE(host.Started());
    ChannelFrame greeting;
    ASSERT_TRUE(host.Greet(kEngineProtocolVersion + 1, &greeting));
    EXPECT_EQ(greeting.words[kHelloLoadStatus], 1);
    EXPECT_STREQ(greeting.TextAt(0), "the library speaks another protocol");
    EXPECT_EQ(host.ExitCode(), 1u);
}

TEST(FaultyLibrary, CallsForNoInstanceOrWithTooFewWordsAreRefusedAndTheHostServesOn) {
    HostDrivenByTheTest host;
    ASSERT_TRUE(host.Started());
    ChannelFrame greeting;
    ASSERT_TRUE(host.Greet(kEngineProtocolVersion, &greeting));
    ASSERT_EQ(greeting.words[kHelloLoadStatus], 0);
    std::optional<ChannelFrame> answer = host.Call(kDoPlay, 7);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->words[kAnswerResult], -1) << "no instance 7";
    ASSERT_TRUE(host.Call(kNewInstance, 1).has_value());
    answer = host.Call(kHandleEvent, 1, {1, 2});
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->words[kAnswerResult], -1) << "an event is three words";
    answer = host.Call(kDoPlay, 1);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->kind, FrameKind::Answer);
}

TEST(FaultyLibrary, AFrameOtherThanACallEndsTheHost) {
    for (FrameKind kind : {FrameKind::Answer, FrameKind::Reply, FrameKind::Hello}) {
        HostDrivenByTheTest host;
        ASSERT_TRUE(host.Started());
        ChannelFrame greeting;
        ASSERT_TRUE(host.Greet(kEngineProtocolVersion, &greeting));
        ChannelFrame wrong;
        wrong.kind = kind;
        ASSERT_TRUE(host.Channel().Send(wrong));
        EXPECT_EQ(host.ExitCode(), 2u) << static_cast<int>(kind);
    }
}

TEST(FaultyLibrary, BackBufferWordsOfTheWrongShapeAreRefusedAndTheHostServesOn) {
    HostDrivenByTheTest host;
    ASSERT_TRUE(host.HasAnInstance());
    std::vector<int32_t> sound{0, 0, 4, 4, 32, 16, 0, 7, 0};                   // no section: the bitmap's own memory
    std::vector<std::vector<int32_t>> wrong{{0, 0, 4, 4, 32, 16, 0, 7},        // no colour count
                                            {0, 0, 4, 4, 32, 16, 0, 7, 2, 1},  // fewer colours than counted
                                            {0, 0, 4, 4, 32, 16, 0, 7, 0, 1},  // more
                                            {0, 0, 4, 4, 32, 16, 0, 7, -1},    // a count below none
                                            {0, 0, 4, 4, 32, 16, 0, 7, 257}};  // above a colour table's
    for (const std::vector<int32_t>& words : wrong) {
        std::optional<ChannelFrame> answer = host.Call(kSetBackBuffer, 1, words);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->words[kAnswerResult], -1) << words.size() << " words, count " << words.back();
    }
    std::optional<ChannelFrame> answer = host.Call(kSetBackBuffer, 1, sound);
    ASSERT_TRUE(answer.has_value());
    EXPECT_NE(answer->words[kAnswerResult], -1) << "a sound description is the engine's to take";
}

// The engine process waits for the reply to the service it asked for: a
// reply of another service, or without its words, is a library gone wrong.
TEST(FaultyLibrary, AReplyOfAnotherServiceOrWithoutItsWordsEndsTheHost) {
    RecordingEngineClient engine;  // the engine process inherits its record's file
    ASSERT_TRUE(engine.Loaded());
    engine.setServiceCall(kDoPlay, kServiceCallTrace, "asked");
    for (int fault = 0; fault < 3; ++fault) {
        HostDrivenByTheTest host("recording");
        ASSERT_TRUE(host.HasAnInstance());
        std::optional<ChannelFrame> request = host.Call(kDoPlay, 1, {}, false);
        ASSERT_TRUE(request.has_value());
        ASSERT_EQ(request->kind, FrameKind::Request);
        ASSERT_EQ(request->code, kServiceTrace);
        ChannelFrame reply;
        reply.kind = FrameKind::Reply;
        reply.code = fault == 0 ? static_cast<uint16_t>(kServiceGetWindowSize) : request->code;
        reply.instance = request->instance;
        if (fault != 1) reply.words = {5};
        ASSERT_TRUE(host.Channel().Send(reply));
        if (fault == 2) {  // the sound reply: the call is answered
            ChannelFrame answer;
            ASSERT_TRUE(host.Receive(&answer));
            EXPECT_EQ(answer.kind, FrameKind::Answer);
            int32_t status = 0;
            char text[8];
            engine.lastServiceCall(&status, text, sizeof text);
            EXPECT_EQ(status, 5);
        } else {
            EXPECT_EQ(host.ExitCode(), 3u) << fault;
        }
    }
    engine.reset();
}
