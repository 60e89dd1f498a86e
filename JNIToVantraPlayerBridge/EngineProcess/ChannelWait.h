// The one place where either side of the channel waits for the other: for
// the next frame, until the other process ends or the time allowed runs out,
// while the waiting thread's messages are dispatched. A thread inside a call
// dispatches only the messages sent to its windows (another process's
// SendMessage waits for them; posted input keeps its order); an idle thread
// dispatches all of them (an engine's timers and COM need that).
#pragma once

#include <Platform.h>

#include <chrono>

#include "ChannelFrame.h"
#include "EngineChannel.h"

using WaitClock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// The time the other side may take over one call, counted only while this
// side waits for it: time spent serving its requests (an up-call into Java,
// a dialog Java opens there) is not its time.
class WaitBudget {
public:
    static constexpr Milliseconds kUnbounded = Milliseconds::max();
    explicit WaitBudget(Milliseconds allowed = kUnbounded) : allowed_(allowed) {}
    void Allow(Milliseconds allowed) { allowed_ = allowed; }
    Milliseconds Allowed() const { return allowed_; }
    void Spend(WaitClock::duration spent) { spent_ += spent; }
    bool Exhausted() const { return allowed_ != kUnbounded && spent_ >= allowed_; }
    // What is left, for a system wait.
    DWORD LeftMs() const;
    WaitClock::duration Spent() const { return spent_; }

private:
    Milliseconds allowed_;
    WaitClock::duration spent_{};
};

// Nothing: a thread that must not run a window procedure meanwhile (one in
// the middle of sending a frame, whose services would send in turn).
enum class Dispatch { Nothing, SentMessages, AllMessages };
enum class Waited { Frame, PeerEnded, Overdue };

// Waits for the channel's next frame. `peer` is the other side's process
// (null: none to watch); once it has ended, what it wrote before is still
// read, and then PeerEnded. Overdue once the budget is spent. An idle wait
// that expects the next frame soon (the other side is still at work on what
// this side sent last) looks for it as long as a call's wait before it sleeps.
Waited ReceiveFrame(EngineChannel& channel, HANDLE peer, ChannelFrame* frame, WaitBudget& budget, Dispatch dispatch,
                    bool expectedSoon = false);

// Sends the frame, waiting for room as ReceiveFrame waits for a frame (woken
// when the other side has made some): Frame once all of it is written,
// PeerEnded when the other side is gone (or the frame cannot be sent),
// Overdue once the budget is spent; then SendRest goes on with the rest.
// Nothing else may be sent meanwhile.
Waited SendFrame(EngineChannel& channel, HANDLE peer, const ChannelFrame& frame, WaitBudget& budget,
                 Dispatch dispatch);
Waited SendRest(EngineChannel& channel, HANDLE peer, WaitBudget& budget, Dispatch dispatch);

// How long an engine may keep a call of the library's waiting: past the soft
// limit the library reports it; at the hard one it ends the engine process.
struct EngineTimeLimits {
    Milliseconds soft;
    Milliseconds hard;
};
constexpr char16_t kEngineTimeLimitsVariable[] = u"VANTRA_PLAYER_ENGINE_TIMEOUTS";
constexpr EngineTimeLimits kDefaultEngineTimeLimits{Milliseconds(10000), Milliseconds(45000)};
// "<soft>,<hard>" in seconds (decimals allowed, soft ≤ hard, hard ≤ a day); a
// value that is not one gives the defaults and *complaint says why.
EngineTimeLimits ParseEngineTimeLimits(const std::u16string& text, std::u16string* complaint);
EngineTimeLimits EngineTimeLimitsFromEnvironment();
