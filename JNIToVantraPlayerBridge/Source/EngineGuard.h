// Calls into the engine that must survive whatever the engine raises.
//
// An engine built by another compiler reports failure with structured
// exceptions (its C++ throws are structured exceptions with code 0xE06D7363,
// and so are access violations); a C++ catch (...) in this library never sees
// them on Windows. CallGuarded installs a structured-exception frame around
// the call as well as a C++ catch, and reports whether the call returned.
#pragma once

// Runs call(context); true when it returned normally, false when any C++ or
// structured exception left it. The engine's frames are unwound.
bool CallGuarded(void (*call)(void* context), void* context) noexcept;

// Engine calls nested in a guarded one (a paint the engine asks for inside
// DoPlay): a raise the host must stop on its way (a host service never lets
// anything reach the engine's frames) is still the guarded call's to report,
// as if it had reached its guard. Every engine call is counted in and out;
// code that stops raises holds a RaisesStoppedHere, which notes the engine
// calls that did not return, and a guarded engine call reports what was
// noted inside it. Nothing is noted outside guarded calls.
struct EngineCalls {  // engine calls come from one thread
    unsigned entered = 0;
    unsigned returned = 0;
    int guarded = 0;  // guarded engine calls in progress
    bool raisedInside = false;
};
extern EngineCalls engineCalls;
// Inline: every engine call pays for them.
inline void EnteringEngine() { ++engineCalls.entered; }
inline void ReturnedFromEngine() { ++engineCalls.returned; }
// A call nested in a guarded one raised (the engine process says so).
void NoteEngineRaiseInsideGuard();

// Held across host code that stops every raise (a host service, a window
// procedure): when it goes, the engine calls entered meanwhile that never
// returned raised, whoever stopped the raise, the system included.
class RaisesStoppedHere {
public:
    RaisesStoppedHere();
    ~RaisesStoppedHere();
    RaisesStoppedHere(const RaisesStoppedHere&) = delete;
    RaisesStoppedHere& operator=(const RaisesStoppedHere&) = delete;

private:
    unsigned unreturned_;
};
// The guarded engine call: false when it raised, or a call nested in it did.
bool CallEngineGuarded(void (*call)(void* context), void* context) noexcept;

// Whether the engine entry now being entered was called inside CallGuarded
// (not from a call nested in it); the mark is cleared by reading it. A proxy
// of an engine running elsewhere raises what that engine raised only then.
bool TakeGuardedCallMark();

// The same for a callable object.
template <typename Function>
bool CallGuarded(Function&& function) noexcept {
    return CallGuarded([](void* context) { (*static_cast<Function*>(context))(); },
                       const_cast<void*>(static_cast<const void*>(&function)));
}
template <typename Function>
bool CallEngineGuarded(Function&& function) noexcept {
    return CallEngineGuarded([](void* context) { (*static_cast<Function*>(context))(); },
                             const_cast<void*>(static_cast<const void*>(&function)));
}
