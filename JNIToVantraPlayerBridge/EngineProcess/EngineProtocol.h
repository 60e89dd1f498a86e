// What the frames between the library and its engine process carry.
//
// Hello: the library speaks first with {version, pointer bits, process id};
// the engine process answers with the same three words and its load status
// (0: the engine is loaded and initialised; else text 0 says why not).
//
// Call (code: the engine entry, with kGuardedCall when the library calls it
// inside its guard against the engine's exceptions; instance: the library's
// instance number). The engine process guards just those calls: in any other
// a fault ends it, as it would end the library's process.
//   HandleEvent       words: the three words of the event
//   LoadMovie         words: number, option; text: the address
//   SetVariable       texts: name, value       GetVariable   text: name
//   SetBackBuffer     words: BackBufferWord; the section handle is the
//                     engine process's own (duplicated into it)
//   PaintArea         words: top, left, bottom, right
//   SetMouseCapture, SetModeValue: words: the value
//   CallFunction, CallFunction2: text: the request
//   the rest: nothing
// Answer: words {raised, result, out-words...}; GetMovieSize adds width and
// height, UpdateCursor the cursor the engine set; GetVariable and
// CallFunction2 answer their text as text 0.
//
// Request (code: the host service, instance: as in the call) and Reply:
// words as the service takes and gives them, texts for its texts; Reply
// words {result, out-words...}.
#pragma once

#include <cstdint>

constexpr int32_t kEngineProtocolVersion = 1;
constexpr uint16_t kGuardedCall = 0x8000;

enum HelloWord : int { kHelloVersion, kHelloPointerBits, kHelloProcessId, kHelloLoadStatus, kHelloEntryMask };
constexpr int kEntryMaskWords = (222 + 31) / 32;
constexpr int kEngineHelloWords = kHelloEntryMask + kEntryMaskWords;
enum AnswerWord : int { kAnswerRaised, kAnswerResult, kAnswerOut };

enum BackBufferWord : int {
    kBufferSection,
    kBufferOffset,
    kBufferWidth,
    kBufferHeight,
    kBufferBitsPerPixel,
    kBufferBytesPerRow,
    kBufferBottomUp,
    kBufferPixelFormat,
    kBufferColorCount,
    kBufferColors,  // colorCount words follow, each an RGBQUAD
};
constexpr int32_t kMaxBufferColors = 256;

// The engine process's program, beside the library: of the library's own
// processor, and of the other one for engines built for that.
#ifdef _WIN32
constexpr char16_t kEngineHostProgram[] = u"VantraPlayerEngineHost.exe";
constexpr char16_t kEngineHostProgram32[] = u"VantraPlayerEngineHost32.exe";
constexpr char16_t kEngineHostProgram64[] = u"VantraPlayerEngineHost64.exe";
#else
constexpr char16_t kEngineHostProgram[] = u"VantraPlayerEngineHost";
constexpr char16_t kEngineHostProgram32[] = u"VantraPlayerEngineHost32";
constexpr char16_t kEngineHostProgram64[] = u"VantraPlayerEngineHost64";
#endif
