#include "EngineHost.h"

#include <cstring>
#include <utility>

#include "EngineGuard.h"
#include "EngineLibrary.h"
#include "EngineProtocol.h"
#include "HostServices.h"
#include "ProxyHostServices.h"
#include "VantraPlayerWnd.h"

namespace {

constexpr int32_t kRefused = -1;  // the answer to a call this process cannot make

// An engine text handed over as a result: sent, then released to the heap it came from.
std::optional<std::string> TakeEngineText(char* text) {
    std::optional<std::string> taken = ChannelFrame::TextOf(text);
    FreeEngineBlock(text);
    return taken;
}

// How many words each call the library makes carries.
size_t WordsOf(int entry) {
    switch (entry) {
        case kHandleEvent: return 3;
        case kLoadMovie: return 2;
        case kPaintArea: return 4;
        case kSetMouseCapture:
        case kSetModeValue: return 1;
        default: return 0;
    }
}

// A reply this process gives the engine itself: `words` words of 0.
ChannelFrame OwnReply(uint16_t service, size_t words) {
    ChannelFrame reply;
    reply.kind = FrameKind::Reply;
    reply.code = service;
    reply.words.assign(words, 0);
    return reply;
}

HCURSOR UnsetCursorMark() {
    static const uint8_t andPlane[4] = {0xFF, 0xFF, 0xFF, 0xFF}, xorPlane[4] = {};
    static HCURSOR mark = CreateCursor(GetModuleHandleW(nullptr), 0, 0, 1, 1, andPlane, xorPlane);
    return mark;
}

}  // namespace

EngineHost::EngineHost(ChannelEnds ends, HANDLE library) : channel_(ends), library_(library) {
    channel_.SetPeer(library_);
}

// The library bounds the engine's time; here waiting lasts as long as the library does.
bool EngineHost::Await(ChannelFrame* frame, Dispatch dispatch, bool expectedSoon) {
    WaitBudget unbounded;
    return ReceiveFrame(channel_, library_, frame, unbounded, dispatch, expectedSoon) == Waited::Frame;
}

int EngineHost::Run(const std::u16string& enginePath) {
    servingThread_ = GetCurrentThreadId();
    ChannelFrame hello;
    if (!Await(&hello, Dispatch::SentMessages) || hello.kind != FrameKind::Hello || hello.words.empty()) return 2;
    std::string failure = hello.words[kHelloVersion] == kEngineProtocolVersion ? LoadEngine(enginePath)
                                                                               : "the library speaks another protocol";
    ChannelFrame greeting;
    greeting.words = {kEngineProtocolVersion, static_cast<int32_t>(sizeof(void*) * 8),
                      static_cast<int32_t>(GetCurrentProcessId()), failure.empty() ? 0 : 1};
    greeting.words.resize(kEngineHelloWords, 0);
    for (int i = 0; i < EngineFunctions::kCount; ++i) {
        if (failure.empty() && functions_.entries[i])
            greeting.words[kHelloEntryMask + i / 32] |= int32_t(1u << (i % 32));
    }
    if (!failure.empty()) greeting.texts = {failure};
    if (!channel_.Send(greeting) || !failure.empty()) return failure.empty() ? 2 : 1;
    ChannelFrame call;
    // Between calls the engine's thread is idle; after a paint whose blit went
    // posted, the library is still blitting and its next call is near.
    while (Await(&call, Dispatch::AllMessages, std::exchange(blitPosted_, false))) {
        if (call.kind != FrameKind::Call) return 2;
        Serve(call);
    }
    instances_.clear();
    if (engine_) FreeLibrary(engine_);
    return 0;
}

std::string EngineHost::LoadEngine(const std::u16string& enginePath) {
    FillProxyHostServices(services_, *this);
    return Utf8FromUtf16(LoadEngineLibrary(enginePath, &services_, &functions_, &engine_));
}

void EngineHost::Serve(ChannelFrame& call) {
    ++callDepth_;
    ChannelFrame answer = Answer(call);
    --callDepth_;
    Send(answer);
}

void EngineHost::Send(const ChannelFrame& frame) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    SendLocked(frame);
}

// GDI batches a thread's drawing: what the engine drew into its bitmap must
// be there before the library, told by this frame, reads the shared pixels.
// A frame whose texts are too long to send goes without them: the one answer,
// request or notice loses its text, and nothing else is lost.
void EngineHost::SendLocked(const ChannelFrame& frame) {
    GdiFlush();
    if (SendWhole(frame)) return;
    ChannelFrame textless = frame;
    textless.texts.assign(frame.texts.size(), std::nullopt);
    if (channel_.Ended() || !SendWhole(textless)) LibraryGone();
}

// The serving thread waits for room as it waits for frames, woken when the
// library makes some, and runs no window procedure meanwhile (the engine's
// would ask services, which send); the engine's other threads nap, leaving
// the channel's event to the serving thread.
bool EngineHost::SendWhole(const ChannelFrame& frame) {
    if (GetCurrentThreadId() != servingThread_) return channel_.Send(frame);
    WaitBudget unbounded;
    return SendFrame(channel_, library_, frame, unbounded, Dispatch::Nothing) == Waited::Frame;
}

// The call's guard mark is taken off in place (its answer keeps it): a copy
// would copy its texts.
ChannelFrame EngineHost::Answer(ChannelFrame& call) {
    ChannelFrame answer;
    answer.kind = FrameKind::Answer;
    answer.code = call.code;
    answer.instance = call.instance;
    bool guarded = (call.code & kGuardedCall) != 0;
    call.code = static_cast<uint16_t>(call.code & ~kGuardedCall);
    answer.words = {0, kRefused};
    if (call.code == kNewInstance && call.instance != 0 && !instances_.count(call.instance)) {
        instances_[call.instance] = std::make_unique<RemoteWindow>(*this, call.instance);
    }
    auto found = instances_.find(call.instance);
    if (found == instances_.end() || call.words.size() < WordsOf(call.code)) return answer;
    RemoteWindow& window = *found->second;
    bool returned = true;
    uint32_t outerPainting = paintingInstance_;  // restored below: a structured exception may skip destructors
    if (call.code == kPaintArea) paintingInstance_ = call.instance;
    // A call nested in another is guarded too: what it raises is the
    // enclosing guarded call's to report, as the library's guard would catch
    // it in one process; the engine process answers it raised.
    if (guarded || callDepth_ > 1) {
        returned = CallGuarded([&] { RunEntry(window, call, answer); });
    } else {
        RunEntry(window, call, answer);
    }
    paintingInstance_ = outerPainting;
    answer.words[kAnswerRaised] = returned ? 0 : 1;
    if (call.code == kDestroyInstance) DestroyInstance(call.instance);
    return answer;
}

void EngineHost::RunEntry(RemoteWindow& window, const ChannelFrame& call, ChannelFrame& answer) {
    InstanceRecord* record = window.Record();
    const std::vector<int32_t>& w = call.words;
    int32_t& result = answer.words[kAnswerResult];
    result = 0;
    switch (call.code) {
        case kNewInstance: {
            // Where notices of this instance are announced.
            HWND hwnd = window.GetWindowHandle();
            std::lock_guard<std::mutex> lock(sendMutex_);
            hostWindows_[window.Id()] = hwnd;
        }
            result = CallFilledEntry<int32_t>(functions_, call.code, record);
            break;
        case kDestroyInstance:
        case kStopPlay:
        case kDetachBackBuffer:
        case kDoPlay: result = CallFilledEntry<int32_t>(functions_, call.code, record); break;
        case kSetHostModule:
            result = CallFilledEntry<int32_t>(functions_, call.code, record, GetModuleHandleW(nullptr));
            break;
        case kHandleEvent: {
            int32_t event[3] = {w[0], w[1], w[2]};
            result = CallFilledEntry<int32_t>(functions_, call.code, record, event);
            break;
        }
        case kLoadMovie:
            result = CallFilledEntry<int32_t>(functions_, call.code, record, w[0], call.TextAt(0),
                                              static_cast<uint8_t>(w[1]));
            break;
        case kSetVariable:
            result = CallFilledEntry<int32_t>(functions_, call.code, record, call.TextAt(0), call.TextAt(1));
            break;
        case kGetVariable: {
            char* text = CallFilledEntry<char*>(functions_, kGetVariable, record, call.TextAt(0));
            answer.texts = {TakeEngineText(text)};
            break;
        }
        case kGetMovieSize: {
            int32_t width = 0, height = 0;
            result = CallFilledEntry<int32_t>(functions_, call.code, record, &width, &height);
            answer.words.insert(answer.words.end(), {width, height});
            break;
        }
        case kSetBackBuffer: {
            const BackBufferInfo* info = window.AttachBackBuffer(w);
            result = info ? CallFilledEntry<int32_t>(functions_, call.code, record, info) : kRefused;
            break;
        }
        case kPaintArea:
            result = CallFilledEntry<int32_t>(functions_, call.code, record, w[0], w[1], w[2], w[3]);
            break;
        case kSetMouseCapture:
        case kSetModeValue: result = CallFilledEntry<int32_t>(functions_, call.code, record, w[0]); break;
        case kUpdateCursor: {
            // Whether the engine set a cursor, null included: a mark of our own
            // that no engine can set stands in for "none" during the call.
            HCURSOR mark = UnsetCursorMark();
            SetCursor(mark);
            result = CallFilledEntry<int32_t>(functions_, call.code, record);
            HCURSOR set = GetCursor();
            answer.words.insert(answer.words.end(), {set != mark ? 1 : 0, set != mark ? HandleWord(set) : 0});
            break;
        }
        case kCallFunction: result = CallFilledEntry<int32_t>(functions_, call.code, record, call.TextAt(0)); break;
        case kCallFunction2: {
            char* reply = nullptr;
            result = CallFilledEntry<int32_t>(functions_, call.code, record, call.TextAt(0), &reply);
            answer.texts = {TakeEngineText(reply)};
            break;
        }
        default: result = kRefused; break;
    }
    if (call.code == kDetachBackBuffer) window.ReleaseBackBuffer();
}

void EngineHost::DestroyInstance(uint32_t id) {
    instances_.erase(id);
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        hostWindows_.erase(id);
    }
    // The library releases the engine after its last instance; here that is
    // this process's end, and the engine is shut down first as it would be there.
    if (instances_.empty()) CallGuarded([&] { CallFilledEntry<int32_t>(functions_, kShutdown); });
}

ChannelFrame EngineHost::Request(uint32_t instance, int service, std::vector<int32_t> words,
                                 std::vector<std::optional<std::string>> texts, size_t replyWords) {
    ChannelFrame request;
    request.kind = FrameKind::Request;
    request.code = static_cast<uint16_t>(service);
    request.instance = instance;
    request.words = std::move(words);
    request.texts = std::move(texts);
    if (callDepth_ == 0 || GetCurrentThreadId() != servingThread_) return Notice(std::move(request), replyWords);
    if (service == kServiceBlitRect && instance == paintingInstance_) return Post(std::move(request), replyWords);
    Send(request);
    ChannelFrame frame;
    while (Await(&frame, Dispatch::SentMessages)) {
        if (frame.kind == FrameKind::Call) {
            Serve(frame);
        } else if (frame.kind == FrameKind::Reply && frame.code == request.code && frame.words.size() >= replyWords) {
            return frame;
        } else {
            break;
        }
    }
    LibraryGone();
}

ChannelFrame EngineHost::Notice(ChannelFrame request, size_t replyWords) {
    ChannelFrame reply = OwnReply(request.code, replyWords);
    if (request.code == kServiceLockBackBuffer) reply.words[0] = 1;  // a lock the window cannot give now
    if (request.code == kServiceAskToKillScript) reply.words[0] = AskHereToKillScript(request.instance) ? 1 : 0;
    if (!IsNoticeable(request.code)) return reply;
    request.kind = FrameKind::Notice;
    std::lock_guard<std::mutex> lock(sendMutex_);
    SendLocked(request);
    auto window = hostWindows_.find(request.instance);
    if (window != hostWindows_.end()) PostMessageW(window->second, kEngineNoticeMessage, 0, 0);
    return reply;
}

// The engine's blit of the window it paints: the library answers 0 there,
// whatever it blits, so the engine goes on at once, and the library, which
// waits for the paint, blits in its turn, before any frame sent after this one.
ChannelFrame EngineHost::Post(ChannelFrame request, size_t replyWords) {
    request.kind = FrameKind::Posted;
    Send(request);
    blitPosted_ = true;
    return OwnReply(request.code, replyWords);
}

// The library cannot be asked outside its calls; as in one process, the
// engine's thread shows the question itself, owned by the host window (window
// handles are the same in every process).
bool EngineHost::AskHereToKillScript(uint32_t instance) {
    HWND owner = nullptr;
    {
        std::lock_guard<std::mutex> lock(sendMutex_);
        auto window = hostWindows_.find(instance);
        if (window != hostWindows_.end()) owner = window->second;
    }
    return AskUserToKillScript(owner);
}

void EngineHost::LibraryGone() { ExitProcess(3); }
