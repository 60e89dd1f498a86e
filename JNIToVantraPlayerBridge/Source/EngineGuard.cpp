#include "EngineGuard.h"

#include <Platform.h>

#include <utility>

// GCC may clone a function across calls unless told not to; clang has no
// such pass (nor the attribute).
#if defined(__clang__)
#define VP_NOT_CLONED __attribute__((noinline))
#else
#define VP_NOT_CLONED __attribute__((noinline, noipa))
#endif

bool& GuardedCallMark();

namespace {

struct GuardedCall {
    void (*call)(void*);
    void* context;
    bool threw;
};

// The C++ half: exceptions thrown by code built like ours. Neither half may be
// inlined into the other or cloned: the scope below must stay alone in a
// function without C++ handlers of its own.
VP_NOT_CLONED void CallCatchingCpp(void* argument) {
    auto* guarded = static_cast<GuardedCall*>(argument);
    try {
        GuardedCallMark() = true;
        guarded->call(guarded->context);
    } catch (...) {
        guarded->threw = true;
    }
    GuardedCallMark() = false;
}

}  // namespace

bool& GuardedCallMark() {
    static bool mark = false;  // engine calls come from one thread
    return mark;
}

bool TakeGuardedCallMark() {
    bool mark = GuardedCallMark();
    GuardedCallMark() = false;
    return mark;
}

#if defined(_WIN32) && defined(_WIN64)

// x86_64: a __C_specific_handler scope over the call, as mingw-w64's
// __try1/__except1 lay it out, with labels of our own. The filter accepts
// every exception; the handler unwinds the engine's frames and resumes at
// the end of the scope, where `completed` is still false.
extern "C" LONG GuardFilter(EXCEPTION_POINTERS*, void*) { return EXCEPTION_EXECUTE_HANDLER; }

namespace {

VP_NOT_CLONED bool CallInScope(void (*call)(void*), void* context) {
    volatile bool completed = false;
    asm volatile(
        "\t.l_guard_start:\n"
        "\t.seh_handler __C_specific_handler, @except\n"
        "\t.seh_handlerdata\n"
        "\t.long 1\n"
        "\t.rva .l_guard_start, .l_guard_end, GuardFilter, .l_guard_end\n"
        "\t.text\n" ::
            : "memory");
    call(context);
    completed = true;
    asm volatile("\tnop\n\t.l_guard_end: nop\n" ::: "memory");
    return completed;
}

}  // namespace

bool CallGuarded(void (*call)(void*), void* context) noexcept {
    GuardedCall guarded{call, context, false};
    return CallInScope(&CallCatchingCpp, &guarded) && !guarded.threw;
}

#elif defined(_WIN32)

// i386: the frame-based technique. An exception registration record on the
// stack, linked at the head of the thread's handler chain (fs:[0]), whose
// handler, when any exception reaches it:
// 1. lets RtlUnwind run the handlers of every frame above ours with the
//    unwinding flag and remove them from the chain,
// 2. jumps back into CallInFrame with __builtin_longjmp, which restores the
//    frame and stack pointers saved by __builtin_setjmp (GCC reloads the
//    callee-saved registers at the receiver),
// where our record is unlinked and failure is reported. Unwinding calls of
// our own handler are passed on.
namespace {

constexpr DWORD kUnwindFlags = 0x2 | 0x4;  // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND

struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD registration;  // first: the handler gets its address
    void* jump[5];
};

// The head of the thread's handler chain, fs:[0].
EXCEPTION_REGISTRATION_RECORD* ChainHead() {
    EXCEPTION_REGISTRATION_RECORD* head;
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

void SetChainHead(EXCEPTION_REGISTRATION_RECORD* head) { asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }

EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
    if (record->ExceptionFlags & kUnwindFlags) return ExceptionContinueSearch;
    RtlUnwind(frame, nullptr, record, nullptr);
    __builtin_longjmp(static_cast<GuardFrame*>(frame)->jump, 1);
}

VP_NOT_CLONED bool CallInFrame(void (*call)(void*), void* context) {
    GuardFrame guard;
    guard.registration.Next = ChainHead();
    guard.registration.Handler = reinterpret_cast<PEXCEPTION_ROUTINE>(&GuardHandler);
    if (__builtin_setjmp(guard.jump)) {
        SetChainHead(guard.registration.Next);
        return false;
    }
    SetChainHead(&guard.registration);
    call(context);
    SetChainHead(guard.registration.Next);
    return true;
}

}  // namespace

bool CallGuarded(void (*call)(void*), void* context) noexcept {
    GuardedCall guarded{call, context, false};
    return CallInFrame(&CallCatchingCpp, &guarded) && !guarded.threw;
}

#else

bool CallGuarded(void (*call)(void*), void* context) noexcept {
    GuardedCall guarded{call, context, false};
    CallCatchingCpp(&guarded);
    return !guarded.threw;
}

#endif

EngineCalls engineCalls;

RaisesStoppedHere::RaisesStoppedHere() : unreturned_(engineCalls.entered - engineCalls.returned) {}

RaisesStoppedHere::~RaisesStoppedHere() {
    if (engineCalls.entered - engineCalls.returned == unreturned_) return;
    engineCalls.returned = engineCalls.entered - unreturned_;  // they never will
    NoteEngineRaiseInsideGuard();
}

void NoteEngineRaiseInsideGuard() {
    if (engineCalls.guarded > 0) engineCalls.raisedInside = true;
}

bool CallEngineGuarded(void (*call)(void*), void* context) noexcept {
    EngineCalls& calls = engineCalls;
    bool enclosing = std::exchange(calls.raisedInside, false);  // an enclosing guarded call's, kept for it
    unsigned before = calls.entered - calls.returned;
    ++calls.guarded;
    bool returned = CallGuarded(call, context);
    --calls.guarded;
    calls.returned = calls.entered - before;  // the guarded call itself, had it raised
    return !std::exchange(calls.raisedInside, enclosing) && returned;
}
