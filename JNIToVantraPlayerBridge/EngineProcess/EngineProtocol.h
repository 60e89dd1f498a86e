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
// height, UpdateCursor {set, cursor}: whether the engine set one (null
// included) and which; GetVariable and
// CallFunction2 answer their text as text 0.
//
// Request (code: the host service, instance: as in the call) and Reply:
// words as the service takes and gives them, texts for its texts; Reply
// words {result, out-words...}.
//
// Notice: a service the engine asks for outside the library's calls (from a
// thread of its own, or between calls), carried like a Request but with no
// Reply: the engine got its answer in its own process already. The engine
// process posts kEngineNoticeMessage to the host window to announce it; the
// library keeps those it finds while it waits for an answer and serves them
// after the outermost call.
#pragma once

#include <cstdint>

#include "ChannelFrame.h"
#include "EngineContract.h"

// Raised with every change of the frames or the rings: 2 posts the blits
// inside a paint; 3 wakes a writer waiting for room.
constexpr int32_t kEngineProtocolVersion = 3;

constexpr uint16_t kGuardedCall = 0x8000;
constexpr unsigned kEngineNoticeMessage = 0x8000 + 0x3A1;  // WM_APP + 0x3A1

// The services that can be noticed; the others need an answer from the
// library, and outside its calls the engine gets their neutral one.
inline bool IsNoticeable(int service) {
    switch (service) {
        case kServiceBlitRect:
        case kServiceInvalidateArea:
        case kServiceFillBackground:
        case kServiceResizeDisplay:
        case kServiceSetCursorType:
        case kServiceTrace:
        case kServiceFlushPainting:
        case kServiceCallFunction:  // its reply dropped
            return true;
        default: return false;
    }
}

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
