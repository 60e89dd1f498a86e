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
