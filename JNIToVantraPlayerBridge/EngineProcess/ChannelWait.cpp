#include "ChannelWait.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <immintrin.h>
#include <string>

namespace {

// How long a wait looks for a frame before it asks the system to wait. A
// system wait costs a sleep and a wake-up: tens of microseconds on a virtual
// machine, hundreds under Wine, where the wake goes through its server. Inside
// a call the answer is near (a repaint's fill or blit takes under a
// millisecond), so the wait looks for up to a millisecond of the other side's
// work; an idle side looks only briefly for the next call, then sleeps.
// Only where the other side can run meanwhile: with one processor usable,
// the spinner would hold the core the answer needs.
constexpr std::chrono::microseconds kSpinInsideCall{1000};
constexpr std::chrono::microseconds kSpinWhenIdle{50};
// Between looks, a pause; every so many looks (some 40 us), the processor is
// offered to another thread, should one wait for it. Not more often: where
// every processor is busy with other processes, a yield every 64 looks made
// a call serving one request take 104 us instead of 1.4 (bench/RESULTS.md).
constexpr unsigned kLooksBetweenYields = 1024;
// The process's processors are read again at most this often: the read
// costs a system call (a server call under Wine), and affinity rarely changes.
constexpr std::chrono::milliseconds kProcessorsReadEvery{1000};

int ProcessorsOfThisProcess() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
    int count = 0;
    for (; process; process &= process - 1) ++count;
    return count;
}

bool MaySpin() {
    enum : int { kUnread, kNo, kYes };
    static std::atomic<int> maySpin{kUnread};
    static std::atomic<DWORD> readAt{0};
    DWORD now = GetTickCount();
    if (maySpin.load(std::memory_order_relaxed) == kUnread ||
        now - readAt.load(std::memory_order_relaxed) >= static_cast<DWORD>(kProcessorsReadEvery.count())) {
        readAt.store(now, std::memory_order_relaxed);
        maySpin.store(ProcessorsOfThisProcess() >= 2 ? kYes : kNo, std::memory_order_relaxed);
    }
    return maySpin.load(std::memory_order_relaxed) == kYes;
}

std::chrono::microseconds SpinFor(Dispatch dispatch, bool expectedSoon) {
    if (!MaySpin()) return std::chrono::microseconds(0);
    return dispatch == Dispatch::SentMessages || expectedSoon ? kSpinInsideCall : kSpinWhenIdle;
}

void DispatchMessages(Dispatch dispatch) {
    MSG msg;
    if (dispatch == Dispatch::Nothing) return;
    if (dispatch == Dispatch::SentMessages) {
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers the sent ones
        return;
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // not ours to take: left for the thread's own loop
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// What the peer wrote before it ended.
Waited LastFrame(EngineChannel& channel, ChannelFrame* frame) {
    return channel.Poll(frame) == EngineChannel::Polled::Frame ? Waited::Frame : Waited::PeerEnded;
}

}  // namespace

DWORD WaitBudget::LeftMs() const {
    if (allowed_ == kUnbounded) return INFINITE;
    auto left = std::chrono::duration_cast<Milliseconds>(allowed_ - spent_).count();
    return static_cast<DWORD>(std::clamp<long long>(left + 1, 0, INFINITE - 1));
}

namespace {

enum class Looked { Done, Nothing, Ended };

DWORD WakeMask(Dispatch dispatch) {
    switch (dispatch) {
        case Dispatch::AllMessages: return QS_ALLINPUT;
        case Dispatch::SentMessages: return QS_SENDMESSAGE;
        default: return 0;
    }
}

// The one wait: looks (spinning a while where that pays), then sleeps until
// the other side sets this side's event, the other process ends, a message
// comes that `dispatch` takes, or the budget is spent. `look` tells whether
// what is waited for came; `begin` and `end` bracket a sleep (begin false:
// look again); `whenPeerEnded` gives the result once the other process is gone.
template <typename Look, typename Begin, typename End, typename WhenPeerEnded>
Waited WaitFor(EngineChannel& channel, HANDLE peer, WaitBudget& budget, Dispatch dispatch, bool expectedSoon,
               Look look, Begin begin, End end, WhenPeerEnded whenPeerEnded) {
    WaitClock::time_point since = WaitClock::now();
    WaitClock::time_point spinUntil = since + SpinFor(dispatch, expectedSoon);
    unsigned looks = 0;
    for (;;) {
        switch (look()) {
            case Looked::Done: budget.Spend(WaitClock::now() - since); return Waited::Frame;
            case Looked::Ended: return Waited::PeerEnded;
            case Looked::Nothing: break;
        }
        WaitClock::time_point now = WaitClock::now();
        if (now < spinUntil) {
            if (++looks % kLooksBetweenYields == 0) {
                SwitchToThread();
            } else {
                _mm_pause();  // leaves the core's other thread, if any, its share while this one looks
            }
            continue;
        }
        budget.Spend(now - since);
        if (budget.Exhausted()) return Waited::Overdue;
        if (dispatch == Dispatch::AllMessages) DispatchMessages(dispatch);  // what came before the wait
        since = WaitClock::now();
        if (!begin()) {  // it came meanwhile
            spinUntil = since;
            continue;
        }
        HANDLE handles[2] = {channel.Arrival(), peer};
        DWORD count = peer ? 2 : 1;
        DWORD woken = MsgWaitForMultipleObjects(count, handles, FALSE, budget.LeftMs(), WakeMask(dispatch));
        end();
        budget.Spend(WaitClock::now() - since);
        if (woken == WAIT_OBJECT_0 + 1 && peer) return whenPeerEnded();
        if (woken == WAIT_FAILED) return Waited::PeerEnded;
        if (woken == WAIT_OBJECT_0 + count) DispatchMessages(dispatch);  // not the peer's time
        since = WaitClock::now();
        spinUntil = since;  // woken: look once, then wait again
    }
}

}  // namespace

Waited ReceiveFrame(EngineChannel& channel, HANDLE peer, ChannelFrame* frame, WaitBudget& budget, Dispatch dispatch,
                    bool expectedSoon) {
    auto look = [&] {
        switch (channel.Poll(frame)) {
            case EngineChannel::Polled::Frame: return Looked::Done;
            case EngineChannel::Polled::Ended: return Looked::Ended;
            default: return Looked::Nothing;
        }
    };
    return WaitFor(
        channel, peer, budget, dispatch, expectedSoon, look, [&] { return channel.BeginWait(); },
        [&] { channel.EndWait(); }, [&] { return LastFrame(channel, frame); });
}

Waited SendRest(EngineChannel& channel, HANDLE peer, WaitBudget& budget, Dispatch dispatch) {
    auto look = [&] {
        switch (channel.ContinueSending()) {
            case EngineChannel::Sending::Done: return Looked::Done;
            case EngineChannel::Sending::Failed: return Looked::Ended;
            default: return Looked::Nothing;
        }
    };
    return WaitFor(
        channel, peer, budget, dispatch, true, look, [&] { return channel.BeginRoomWait(); },
        [&] { channel.EndRoomWait(); }, [] { return Waited::PeerEnded; });
}

Waited SendFrame(EngineChannel& channel, HANDLE peer, const ChannelFrame& frame, WaitBudget& budget,
                 Dispatch dispatch) {
    switch (channel.StartSending(frame)) {
        case EngineChannel::Sending::Done: return Waited::Frame;
        case EngineChannel::Sending::Failed: return Waited::PeerEnded;
        default: return SendRest(channel, peer, budget, dispatch);
    }
}

EngineTimeLimits ParseEngineTimeLimits(const std::u16string& text, std::u16string* complaint) {
    std::string narrow(text.begin(), text.end());
    size_t comma = narrow.find(',');
    auto seconds = [](const std::string& part, double* value) {
        char* end = nullptr;
        *value = std::strtod(part.c_str(), &end);
        return !part.empty() && *end == '\0' && std::isfinite(*value) && *value > 0 && *value <= 86400;
    };
    double soft = 0, hard = 0;
    if (comma == std::string::npos || !seconds(narrow.substr(0, comma), &soft) ||
        !seconds(narrow.substr(comma + 1), &hard) || soft > hard) {
        *complaint = u"\"" + text + u"\" is not \"<soft>,<hard>\" in seconds with soft <= hard";
        return kDefaultEngineTimeLimits;
    }
    return {Milliseconds(std::llround(soft * 1000)), Milliseconds(std::llround(hard * 1000))};
}

EngineTimeLimits EngineTimeLimitsFromEnvironment() {
    std::u16string value = EnvironmentValue(kEngineTimeLimitsVariable);
    if (value.empty()) return kDefaultEngineTimeLimits;
    std::u16string complaint;
    EngineTimeLimits limits = ParseEngineTimeLimits(value, &complaint);
    if (!complaint.empty()) {
        std::string defaults = std::to_string(limits.soft.count()) + " ms and " + std::to_string(limits.hard.count()) +
                               " ms";  // the defaults, which an ignored value leaves
        std::u16string line = u"JNIToVantraPlayerBridge: " + std::u16string(kEngineTimeLimitsVariable) +
                              u" is ignored (" + complaint + u"): the limits are " + Utf16FromUtf8(defaults) + u"\n";
        OutputDebugStringW(AsWide(line.c_str()));
    }
    return limits;
}
