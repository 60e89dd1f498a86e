// One player instance as the host sees it: the engine's InstanceRecord, the
// engine's function table, and the 15 operations the engine asks of its host
// window through the host services.
//
// Every call below does nothing and returns zero (false, null, 0.0) when the
// instance has no engine instance (`instanceRecord` null); otherwise it calls
// its EngineFunctions entry with the record first and returns the result.
#pragma once

#include <type_traits>

#include "EngineContract.h"
#include "EngineGuard.h"
#include "VantraPlayerManager.h"

struct ComponentParameter;

struct RectWords {
    int32_t words[4];
};

class PlayerInstance {
public:
    PlayerInstance() = default;
    PlayerInstance(const PlayerInstance&) = delete;
    PlayerInstance& operator=(const PlayerInstance&) = delete;
    virtual ~PlayerInstance() = default;

    // ---- the 15 slots, in order; reached through the host services ----
    virtual int32_t GetWindowSize(int32_t* width, int32_t* height) = 0;
    virtual int32_t BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual int32_t InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) = 0;
    virtual int32_t FillBackground(int32_t red, int32_t green, int32_t blue) = 0;
    virtual int32_t ResizeDisplay(int32_t width, int32_t height) = 0;
    virtual int32_t SetCursorType(int32_t cursorType) = 0;
    virtual HWND GetWindowHandle() = 0;
    virtual HBITMAP GetBackBufferBitmap() = 0;
    virtual int32_t Reserved8(int32_t word) = 0;
    virtual int32_t Reserved9(int32_t first, int32_t second) = 0;
    virtual bool AskToKillScript() = 0;
    virtual int32_t LockBackBuffer(void** pixels) = 0;
    virtual int32_t UnlockBackBuffer() = 0;
    virtual int32_t Reserved13(int32_t word) = 0;
    virtual int32_t Reserved14() = 0;

    // Host service 21: the engine asks for what it invalidated to be painted
    // now rather than when the message queue gets to it.
    virtual void FlushPainting() {}

    // ---- calls the host makes ----
    int32_t StopPlay();
    bool LoadMovie(int32_t number, const char* url, bool option);
    int32_t SetVariable(const char* name, const char* value);
    char* GetVariable(const char* name);  // the caller frees it with the Free service
    int32_t GetMovieSize(int32_t* width, int32_t* height);
    bool DoPlay();  // false when the engine raised an exception
    int32_t SetMouseCapture(bool captured);
    uint8_t UpdateCursor();
    int32_t SetModeValue(int32_t value);
    int32_t CallFunction(const char* request);
    char* CallFunction2(const char* request);  // the caller frees the reply with the Free service
    // The same inside a guard against every exception; *raised tells.
    char* CallFunction2Guarded(const char* request, bool* raised);

    // Component parameters. The array returned is the caller's (delete[]);
    // null when there are none, with *count then 0 (not written without an
    // engine instance).
    ComponentParameter* GetComponentParameters(int32_t identifier, int32_t* count);
    int32_t SetComponentParameters(int32_t identifier, const ComponentParameter& parameter);

    // ---- calls with the engine's shapes that the host does not use ----
    int32_t EngineCall6();
    int32_t EngineCall7();
    int32_t EngineCall8();
    int32_t EngineCall9(int32_t word);
    int32_t EngineCall10(bool flag);
    int32_t EngineCall12();
    int32_t EngineCall13();
    int32_t EngineCall14();
    int32_t EngineCall15();
    int32_t EngineCall17(int32_t word);
    int32_t EngineCall18();
    int32_t EngineCall19(int32_t a, int32_t b, int32_t c);
    int32_t EngineCall20(int32_t word);
    RectWords GetRect();  // the engine's words in the order second, fourth, first, third
    int32_t EngineCall24(int32_t a, int32_t b);
    int32_t EngineCall25(int32_t a, int32_t b);
    int32_t EngineCall26(int32_t word);
    int32_t EngineCall27(int32_t word);
    int32_t EngineCall28(int32_t word);
    int32_t EngineCall29(int32_t word);
    int32_t EngineCall32(int32_t a, int32_t b, int32_t c);
    int32_t EngineCall33(int32_t a, int32_t b);
    int32_t EngineCall34(int32_t a, int32_t b);
    int32_t EngineCall35(int32_t a, int32_t b);
    double EngineCall36(int32_t a, int32_t b);
    int32_t EngineCall37(int32_t a, int32_t b, double value);
    uint8_t EngineCall38();
    int32_t EngineCall39();
    int32_t EngineCall41();
    int32_t EngineCall42();
    int32_t EngineCall43(int32_t word);
    int32_t EngineCall44();
    int32_t EngineCall45(int32_t word);
    int32_t EngineCall46();
    int32_t EngineCall47();
    int32_t EngineCall48(int32_t word);
    int32_t EngineCall50(uint8_t flag, int32_t word);
    int32_t EngineCall51(int32_t a, int32_t b);
    int32_t EngineCall54();
    int32_t EngineCall55();
    int32_t EngineCall56(int32_t word);
    int32_t ViewCommand0();
    int32_t ViewCommand1();
    int32_t ViewCommand2(const RectWords* words);
    int32_t ViewCommand3(int32_t word, const int32_t* pair);
    int32_t ViewCommand4(int32_t a, int32_t b, int32_t c, int32_t d);
    int32_t EngineCall58();
    int32_t EngineCall59();
    int32_t EngineCall60();
    int32_t EngineCall61();
    int32_t EngineCall62();
    int32_t EngineCall63(int32_t word);
    int32_t EngineCall65();
    int32_t EngineCall66();
    int32_t EngineCall71(int32_t word);
    uint8_t EngineCall74();
    int32_t EngineCall75(int32_t a, int32_t b);
    int32_t EngineCall78();
    int32_t EngineCall79(int32_t word);
    void EngineCall82(int32_t word);
    void EngineCall84();
    int32_t EngineCall86();
    int32_t EngineCall88(uint8_t byte);

    InstanceRecord* GetInstanceRecord() const { return instanceRecord; }

    // The engine's process ended: this instance has no engine from now on.
    // Its record is the manager's to delete; no up-call may be made here.
    virtual void OnEngineEnded() { instanceRecord = nullptr; }

    HMODULE engineModule = nullptr;
    InstanceRecord* instanceRecord = nullptr;
    EngineFunctions* engineFunctions = nullptr;

    // How many calls into the engine are in progress for this instance.
    int EngineCallDepth() const { return engineCallDepth; }

protected:
    // Runs when the outermost call into the engine has returned, once the
    // owner has asked for it (WantCallsReturnedHook) or an engine process has
    // ended: the owner may finish a destruction it had to defer (and may
    // delete itself). Every other call returns without it.
    virtual void OnEngineCallsReturned() {}
    // From now on, OnEngineCallsReturned runs after every outermost call.
    void WantCallsReturnedHook() { callsReturnedHookWanted = true; }

    // Calls entry `index` as Result(record, args...), or returns Result{} when
    // there is no engine instance or the engine left the entry empty.
    template <typename Result, typename... Args>
    Result Call(int index, Args... args) {
        if (!HasEntry(index)) return Result();
        EngineCallScope scope(*this);
        return Uncounted<Result>(index, args...);
    }

    // Calls entry `index` and tells whether it answered 0, the engine's success;
    // a call that was skipped (no engine instance, an empty entry) is none.
    template <typename... Args>
    bool CallAnswersZero(int index, Args... args) {
        return HasEntry(index) && Call<int32_t>(index, args...) == 0;
    }

    // Whether entry `index` can be called: an engine instance and a filled entry.
    bool HasEntry(int index) const { return instanceRecord && engineFunctions && engineFunctions->entries[index]; }

    // Calls entry `index` (which must exist) inside the guard against every
    // exception; false when one left it. Counted by hand: a structured
    // exception skips the destructors of the frames it unwinds on 32-bit Windows.
    template <typename... Args>
    bool CallGuardedEntry(int index, Args... args) {
        ++engineCallDepth;
        bool returned = CallEngineGuarded([&] { Uncounted<int32_t>(index, args...); });
        EndEngineCall();
        return returned;
    }

private:
    class EngineCallScope {
    public:
        explicit EngineCallScope(PlayerInstance& instance) : instance_(instance) { ++instance_.engineCallDepth; }
        ~EngineCallScope() { instance_.EndEngineCall(); }
        EngineCallScope(const EngineCallScope&) = delete;
        EngineCallScope& operator=(const EngineCallScope&) = delete;

    private:
        PlayerInstance& instance_;
    };

    template <typename Result, typename... Args>
    Result Uncounted(int index, Args... args) {
        using Entry = Result(ENGINE_CDECL*)(InstanceRecord*, Args...);
        EnteringEngine();
        if constexpr (std::is_void_v<Result>) {
            EntryAs<Entry>(engineFunctions->entries[index])(instanceRecord, args...);
            ReturnedFromEngine();
        } else {
            Result result = EntryAs<Entry>(engineFunctions->entries[index])(instanceRecord, args...);
            ReturnedFromEngine();
            return result;
        }
    }

    // The last thing a call does: the hook may delete this object.
    void EndEngineCall() {
        if (--engineCallDepth == 0 && (callsReturnedHookWanted || VantraPlayerManager::HasEndedProcesses())) {
            OnEngineCallsReturned();
        }
    }

    int engineCallDepth = 0;
    bool callsReturnedHookWanted = false;
};
