#include "ChannelWait.h"

#include <algorithm>
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
constexpr std::chrono::microseconds kSpinInsideCall{1000};
constexpr std::chrono::microseconds kSpinWhenIdle{50};

std::chrono::microseconds SpinFor(Dispatch dispatch, bool expectedSoon) {
    return dispatch == Dispatch::SentMessages || expectedSoon ? kSpinInsideCall : kSpinWhenIdle;
}

void DispatchMessages(Dispatch dispatch) {
    MSG msg;
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

Waited ReceiveFrame(EngineChannel& channel, HANDLE peer, ChannelFrame* frame, WaitBudget& budget, Dispatch dispatch,
                    bool expectedSoon) {
    WaitClock::time_point since = WaitClock::now();
    WaitClock::time_point spinUntil = since + SpinFor(dispatch, expectedSoon);
    for (;;) {
        switch (channel.Poll(frame)) {
            case EngineChannel::Polled::Frame: budget.Spend(WaitClock::now() - since); return Waited::Frame;
            case EngineChannel::Polled::Ended: return Waited::PeerEnded;
            case EngineChannel::Polled::Nothing: break;
        }
        WaitClock::time_point now = WaitClock::now();
        if (now < spinUntil) {
            _mm_pause();  // leaves the core's other thread, if any, its share while this one looks
            continue;
        }
        budget.Spend(now - since);
        if (budget.Exhausted()) return Waited::Overdue;
        if (dispatch == Dispatch::AllMessages) DispatchMessages(dispatch);  // what came before the wait
        since = WaitClock::now();
        if (!channel.BeginWait()) {  // bytes came meanwhile
            spinUntil = since;
            continue;
        }
        HANDLE handles[2] = {channel.Arrival(), peer};
        DWORD count = peer ? 2 : 1;
        DWORD wakeMask = dispatch == Dispatch::AllMessages ? QS_ALLINPUT : QS_SENDMESSAGE;
        DWORD woken = MsgWaitForMultipleObjects(count, handles, FALSE, budget.LeftMs(), wakeMask);
        channel.EndWait();
        budget.Spend(WaitClock::now() - since);
        if (woken == WAIT_OBJECT_0 + 1 && peer) return LastFrame(channel, frame);
        if (woken == WAIT_FAILED) return Waited::PeerEnded;
        if (woken == WAIT_OBJECT_0 + count) DispatchMessages(dispatch);  // not the peer's time
        since = WaitClock::now();
        spinUntil = since;  // woken: look once, then wait again
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
