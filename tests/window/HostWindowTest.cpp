// The host window's lifecycle, back buffer, painting and engine services.
#include <algorithm>
#include <cstring>

#include <DebugOutputCapture.h>
#include <ScopedEngineTimeLimits.h>

#include "WindowFixture.h"

#ifndef _WIN32
#include <headless_control.h>
#endif

using HostWindow = WindowTest;
using EntryList = std::vector<int32_t>;

namespace {

const BackBufferInfo* Published(const RecordedCall& call) {
    return reinterpret_cast<const BackBufferInfo*>(call.args[0]);
}

template <typename Signature>
Signature Service(int index) {
    return EntryAs<Signature>(VantraPlayerManager::Get(true)->Services().entries[index]);
}

}  // namespace

TEST_F(HostWindow, CreationMakesAHiddenChildWithAnEngineInstanceAndABackBuffer) {
    CPlayerWnd* window = CreatePlayer();
    ASSERT_NE(window, nullptr);
    HWND hwnd = window->GetSafeHwnd();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 100);
    ASSERT_NE(window->GetInstanceRecord(), nullptr);
    // The back buffer is built in the creation message and again for the
    // size message that creation sends.
    EXPECT_EQ(engine->Entries(), (EntryList{kRecordedInitialize, kNewInstance, kSetHostModule, kDetachBackBuffer,
                                            kSetBackBuffer, kSetModeValue, kDetachBackBuffer, kSetBackBuffer}));
    EXPECT_EQ(CallsOf(kSetModeValue)[0].args[0], 0);
    const BackBufferInfo& info = window->PublishedBackBuffer();
    EXPECT_EQ(info.width, 100);
    EXPECT_EQ(info.height, 100);
    EXPECT_EQ(info.bitsPerPixel, 32);
    EXPECT_EQ(info.bytesPerRow, 400);
    EXPECT_EQ(info.bottomUp, 0);
    EXPECT_EQ(info.pixelFormat, 7);
    EXPECT_EQ(info.colorCount, 0);
    EXPECT_NE(info.colorTable, nullptr);
    EXPECT_EQ(CallsOf(kSetBackBuffer).back().args[1], 1) << "the engine's description has a colour table too";
    EXPECT_EQ(info.pixels, window->BackBufferPixels());
    EXPECT_NE(info.pixels, nullptr);
}

TEST_F(HostWindow, TheEngineIsHandedTheWindowsOwnBackBufferDescription) {
    SKIP_WITH_ENGINE_PROCESS("an engine process hands the engine a description of its own view");
    CPlayerWnd* window = CreatePlayer();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Published(CallsOf(kSetBackBuffer).back()), &window->PublishedBackBuffer());
}

TEST_F(HostWindow, ResizingRebuildsTheBackBufferOnlyForNonEmptySizeChanges) {
    CPlayerWnd* window = CreatePlayer();
    engine->reset();
    Place(window, 0, 0, 101, 50);
    EXPECT_EQ(engine->Entries(), (EntryList{kDetachBackBuffer, kSetBackBuffer}));
    const BackBufferInfo& info = window->PublishedBackBuffer();
    EXPECT_EQ(info.width, 104);
    EXPECT_EQ(info.height, 50);
    EXPECT_EQ(info.bytesPerRow, 416);
    engine->reset();
    MoveWindow(window->GetSafeHwnd(), 20, 30, 101, 50, TRUE);  // moved, same size
    MoveWindow(window->GetSafeHwnd(), 20, 30, 0, 50, TRUE);    // empty
    EXPECT_TRUE(CallsOf(kSetBackBuffer).empty());
    EXPECT_EQ(window->PublishedBackBuffer().width, 104);
}

TEST_F(HostWindow, AnImpossibleSizeLeavesTheWindowWorkingWithoutBackBuffer) {
    CPlayerWnd* window = CreatePlayer();
    engine->reset();
    Place(window, 0, 0, 30000, 30000);  // 3.6 GB of pixels
    EXPECT_EQ(window->BackBufferPixels(), nullptr);
    EXPECT_EQ(window->GetBackBufferBitmap(), nullptr);
    EXPECT_EQ(engine->Entries(), (EntryList{kDetachBackBuffer}));  // no buffer is announced
    void* pixels = nullptr;
    EXPECT_EQ(window->LockBackBuffer(&pixels), 1);
    EXPECT_EQ(window->BlitRect(0, 0, 10, 10), 0);
    MoveWindow(window->GetSafeHwnd(), 0, 0, 64, 32, TRUE);
    EXPECT_NE(window->BackBufferPixels(), nullptr);
    EXPECT_EQ(window->PublishedBackBuffer().width, 64);
}

TEST_F(HostWindow, WithoutEngineTheWindowPaintsWhiteAndSurvives) {
    CPlayerWnd* window = CreatePlayer("no-such-engine");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->GetInstanceRecord(), nullptr);
    Place(window, 10, 10, 60, 40);
    Pump();
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 59, 39), RGB(255, 255, 255));
    Place(window, 10, 10, 80, 50);
    Pump();
    EXPECT_TRUE(engine->Calls().empty());
}

TEST_F(HostWindow, DrawAreaHandsTopLeftBottomRight) {
    CPlayerWnd* window = CreatePlayer();
    engine->reset();
    window->DrawArea(AreaRect{10, 110, 20, 220});
    auto paints = CallsOf(kPaintArea);
    ASSERT_EQ(paints.size(), 1u);
    EXPECT_EQ(std::vector<intptr_t>(paints[0].args, paints[0].args + 4), (std::vector<intptr_t>{20, 10, 220, 110}));
}

TEST_F(HostWindow, PaintingAsksTheEngineForTheInvalidArea) {
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 200, 150);
    Pump();
    engine->reset();
    window->InvalidateArea(5, 10, 50, 100);  // top, left, bottom, right
    RECT update;
    ASSERT_TRUE(GetUpdateRect(window->GetSafeHwnd(), &update, FALSE));
    EXPECT_EQ(update.left, 10);
    EXPECT_EQ(update.top, 5);
    EXPECT_EQ(update.right, 100);
    EXPECT_EQ(update.bottom, 50);
    ASSERT_TRUE(PumpUntil([&] { return !CallsOf(kPaintArea).empty(); }));
    RecordedCall paint = CallsOf(kPaintArea)[0];
    EXPECT_EQ(std::vector<intptr_t>(paint.args, paint.args + 4), (std::vector<intptr_t>{5, 10, 50, 100}));
    EXPECT_EQ(window->DcUseCount(), 0);
}

namespace {

// An engine that paints: fills its back buffer with a colour through the
// lock, then copies one rectangle to the window, noting the DC use count
// around the copy.
struct PaintingEngine {
    CPlayerWnd* window;
    uint32_t color;
    RECT blit;
    int useBefore = -1;
    int useDuring = -1;
    int useAfter = -1;
};

void PaintThroughServices(InstanceRecord* record, HostServices*, void* context) {
    auto* engine = static_cast<PaintingEngine*>(context);
    void* pixels = nullptr;
    ASSERT_EQ(Service<service::LockBackBuffer>(kServiceLockBackBuffer)(record, &pixels), 0);
    const BackBufferInfo& info = engine->window->PublishedBackBuffer();
    for (int i = 0; i < info.width * info.height; ++i) static_cast<uint32_t*>(pixels)[i] = engine->color;
    Service<service::RecordOnly>(kServiceUnlockBackBuffer)(record);
    engine->useBefore = engine->window->DcUseCount();
    const RECT& r = engine->blit;
    Service<service::FourWords>(kServiceBlitRect)(record, r.left, r.top, r.right - r.left, r.bottom - r.top);
    engine->useAfter = engine->window->DcUseCount();
}

}  // namespace

TEST_F(HostWindow, BlitsDuringPaintShareThePaintDcAndCopyOnlyTheirRectangle) {
    SKIP_WITH_ENGINE_PROCESS("the painter is a callback");
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 80, 60);
    window->FillBackground(255, 255, 255);
    Pump();
    PaintingEngine painter{window, 0x00FF0000, RECT{10, 20, 30, 40}};
    engine->setCallback(kPaintArea, &PaintThroughServices, &painter);
    InvalidateRect(window->GetSafeHwnd(), nullptr, FALSE);
    ASSERT_TRUE(PumpUntil([&] { return painter.useBefore >= 0; }));
    EXPECT_EQ(painter.useBefore, 1);  // the paint DC, shared
    EXPECT_EQ(painter.useAfter, 1);   // and not released by the blit
    EXPECT_EQ(window->DcUseCount(), 0);
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 10, 20), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 29, 39), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 30, 20), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 9, 39), RGB(255, 255, 255));
#ifndef _WIN32
    EXPECT_EQ(headless::CountLiveDCs(), 1);  // the memory DC the window keeps for blits, nothing else
    DestroyPlayer(window);
    EXPECT_EQ(headless::CountLiveDCs(), 0);
#endif
}

// In an engine process the engine draws into its own view of the window's
// back buffer: what it draws must reach the window with no copy between.
TEST_F(HostWindow, WhatTheEngineDrawsIntoItsBackBufferReachesTheWindow) {
    CPlayerWnd* window = CreatePlayer();
    HWND hwnd = window->GetSafeHwnd();
    Place(window, 0, 0, 80, 60);
    window->FillBackground(255, 255, 255);
    Pump();
    engine->setPaint(kPaintArea, 0x00FF0000, 10, 20, 30, 40);
    InvalidateRect(hwnd, nullptr, FALSE);
    Pump();
    EXPECT_EQ(PixelAt(hwnd, 10, 20), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(hwnd, 29, 39), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(hwnd, 30, 20), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(hwnd, 9, 39), RGB(255, 255, 255));
    engine->setPaint(kDoPlay, 0x000000FF, 0, 0, 5, 5);  // outside a paint
    EXPECT_TRUE(window->DoPlay());
    EXPECT_EQ(PixelAt(hwnd, 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(PixelAt(hwnd, 5, 5), RGB(255, 255, 255));
}

TEST_F(HostWindow, BlitsOutsidePaintTakeAndReturnADcOfTheirOwn) {
    SKIP_WITH_ENGINE_PROCESS("the painter is a callback");
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 80, 60);
    Pump();
    PaintingEngine painter{window, 0x000000FF, RECT{0, 0, 5, 5}};
    engine->setCallback(kDoPlay, &PaintThroughServices, &painter);
    EXPECT_TRUE(window->DoPlay());
    EXPECT_EQ(painter.useBefore, 0);
    EXPECT_EQ(painter.useAfter, 0);
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 2, 2), RGB(0, 0, 255));
}

TEST_F(HostWindow, TheBackBufferLockHasOneHolderAndStopsBlits) {
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 40, 40);
    window->FillBackground(255, 255, 255);
    void* pixels = nullptr;
    ASSERT_EQ(window->LockBackBuffer(&pixels), 0);
    EXPECT_EQ(pixels, window->BackBufferPixels());
    void* again = &pixels;
    EXPECT_EQ(window->LockBackBuffer(&again), 1);
    EXPECT_EQ(again, &pixels);  // untouched
    for (int i = 0; i < 40 * 40; ++i) static_cast<uint32_t*>(pixels)[i] = 0x0000FF00;
    window->BlitRect(0, 0, 40, 40);
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 1, 1), RGB(255, 255, 255));
    window->UnlockBackBuffer();
    window->BlitRect(0, 0, 40, 40);
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 1, 1), RGB(0, 255, 0));
}

TEST_F(HostWindow, FillBackgroundUsesTheLowBytesOnly) {
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 40, 30);
    Pump();
    window->FillBackground(0x1FF, 0, 0);
    EXPECT_EQ(PixelAt(window->GetSafeHwnd(), 20, 20), RGB(255, 0, 0));
    int32_t w = 0, h = 0;
    EXPECT_EQ(window->GetWindowSize(&w, &h), 0);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
}

TEST_F(HostWindow, SuppressedPaintingIsCaughtUpWhenResumed) {
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 40, 40);
    Pump();
    engine->reset();
    window->SetSuppressPainting(true);
    InvalidateRect(window->GetSafeHwnd(), nullptr, FALSE);
    Pump();
    EXPECT_TRUE(CallsOf(kPaintArea).empty());
    window->SetSuppressPainting(false);
    ASSERT_TRUE(PumpUntil([&] { return !CallsOf(kPaintArea).empty(); }));
    RecordedCall paint = CallsOf(kPaintArea)[0];
    EXPECT_EQ(std::vector<intptr_t>(paint.args, paint.args + 4), (std::vector<intptr_t>{0, 0, 40, 40}));
}

#ifndef _WIN32
TEST_F(HostWindow, AskToKillScriptStopsTheScriptOnNo) {
    CPlayerWnd* window = CreatePlayer();
    headless::AnswerNextMessageBoxes({IDNO, IDYES});
    EXPECT_TRUE(window->AskToKillScript());
    EXPECT_FALSE(window->AskToKillScript());
    auto boxes = headless::TakeShownMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"DEBUG: Uh oh...asktokillscript() wants to run...keep waiting?");
    EXPECT_EQ(boxes[0].caption, u"AskToKillScript");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(boxes[0].owner, window->GetSafeHwnd());
}
#endif

TEST_F(HostWindow, DestructionEndsTheEngineInstanceThenTheBackBuffer) {
    CPlayerWnd* window = CreatePlayer();
#ifndef _WIN32
    int objectsWithWindow = headless::CountLiveGdiObjects();
#endif
    engine->reset();
    HWND hwnd = window->GetSafeHwnd();
    DestroyPlayer(window);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(engine->Entries(), (EntryList{kStopPlay, kDestroyInstance, kShutdown}));
    EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
    EXPECT_EQ(VantraPlayerManager::Get(true)->EngineModule(), nullptr);
#ifndef _WIN32
    EXPECT_EQ(headless::CountLiveGdiObjects(), objectsWithWindow - 1);  // the back buffer is gone
#endif
}

namespace {

struct Closing {
    WindowTest* test;
    CPlayerWnd* window;
    void (*close)(WindowTest*, CPlayerWnd*);
};

}  // namespace

class ClosingWindow : public WindowTest {
public:
    // As the Java side closes a widget: destroy, then delete when safe.
    static void Close(WindowTest* test, CPlayerWnd* window) {
        static_cast<ClosingWindow*>(test)->DestroyPlayer(window);
    }
};

TEST_F(ClosingWindow, AWindowClosedWhileTheEngineIsInsideACallGoesWhenTheCallReturns) {
    SKIP_WITH_ENGINE_PROCESS("the closing engine is a callback");
    CPlayerWnd* window = CreatePlayer();
    Closing closing{this, window, &ClosingWindow::Close};
    engine->reset();
    engine->setCallback(
        kCallFunction,
        [](InstanceRecord* record, HostServices* services, void* context) {
            auto* c = static_cast<Closing*>(context);
            c->close(c->test, c->window);
            // The engine goes on using its instance after the host closed it.
            int32_t w = -1, h = -1;
            EntryAs<service::GetWindowSize>(services->entries[kServiceGetWindowSize])(record, &w, &h);
            EXPECT_EQ(w, 0);
        },
        &closing);
    window->CallFunction("<invoke name=\"close\"/>");
    // The instance was destroyed after the call, not during it.
    EXPECT_EQ(engine->Entries(), (EntryList{kCallFunction, kStopPlay, kDestroyInstance, kShutdown}));
    EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
}

// Destroyed only (its parent closed, say), not deleted: the instance still
// goes once the call returns.
TEST_F(ClosingWindow, AWindowDestroyedWhileTheEngineIsInsideACallLosesItsInstanceWhenTheCallReturns) {
    SKIP_WITH_ENGINE_PROCESS("the destroying engine is a callback");
    CPlayerWnd* window = CreatePlayer();
    engine->reset();
    engine->setCallback(
        kCallFunction,
        [](InstanceRecord*, HostServices*, void* context) {
            DestroyWindow(static_cast<CPlayerWnd*>(context)->GetSafeHwnd());
        },
        window);
    window->CallFunction("<invoke name=\"close\"/>");
    EXPECT_EQ(engine->Entries(), (EntryList{kCallFunction, kDestroyInstance, kShutdown}));
    EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
}

TEST_F(ClosingWindow, AWindowClosedInsideItsOwnMessageGoesWhenTheMessageReturns) {
    SKIP_WITH_ENGINE_PROCESS("the closing engine is a callback");
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 50, 50);
    Closing closing{this, window, &ClosingWindow::Close};
    engine->reset();
    engine->setCallback(
        kHandleEvent,
        [](InstanceRecord*, HostServices*, void* context) {
            auto* c = static_cast<Closing*>(context);
            c->close(c->test, c->window);
        },
        &closing);
    HWND hwnd = window->GetSafeHwnd();
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(CallsOf(kCallFunction2).empty());  // the handler stopped talking to the closed engine
    EXPECT_EQ(VantraPlayerManager::Get(true)->InstanceCount(), 0);
}

// An engine that asks from a thread of its own whether to stop its script
// (against its contract) still gets the user's answer, in either process:
// on Windows the test answers No (stop it); the headless backend's box
// answers Yes (keep waiting).
TEST_F(HostWindow, AskingToKillTheScriptFromTheEnginesOwnThreadAsksTheUser) {
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 60, 40);
    Pump();
    engine->setServiceCall(kDoPlay, kAskToKillScriptFromAThread, "");
    EXPECT_TRUE(window->DoPlay());
    engine->setServiceCall(kDoPlay, kServiceCallNothing, "");
    int32_t status = -1;
    char reply[8];
    for (int tries = 0; tries < 1000 && status == -1; ++tries) {
        Pump();
#ifdef _WIN32
        if (HWND box = FindWindowW(nullptr, L"AskToKillScript")) PostMessageW(box, WM_COMMAND, IDNO, 0);
#endif
        Sleep(10);
        engine->lastServiceCall(&status, reply, sizeof reply);
    }
#ifdef _WIN32
    EXPECT_EQ(status, 1) << "the user's No: stop the script";
#else
    EXPECT_EQ(status, 0) << "the box's Yes: keep waiting";
#endif
    EXPECT_NE(window->GetInstanceRecord(), nullptr);
}

// A fault in a paint the engine asked for inside DoPlay is DoPlay's: its
// guard reports that the engine raised, and the window and engine go on.
TEST_F(HostWindow, AFaultInAPaintInsideDoPlayIsReportedByDoPlay) {
#if defined(_WIN32) && !defined(_WIN64)
    // There a structured exception skips the destructors of the host's frames
    // it unwinds (the window's message and call counts among them): a fault
    // in a nested paint leaves the window unable to go.
    if (!EngineInItsOwnProcess()) GTEST_SKIP() << "a structured exception unwinds the host's frames uncleaned";
#endif
    CPlayerWnd* window = CreatePlayer();
    Place(window, 0, 0, 60, 40);
    Pump();
    engine->setServiceCall(kDoPlay, kServiceCallPaintNow, "");
    engine->setRaise(kPaintArea, kRaiseAccessViolation);
    EXPECT_FALSE(window->DoPlay()) << "the engine raised";
    engine->setRaise(kPaintArea, kRaiseNothing);
    engine->setServiceCall(kDoPlay, kServiceCallNothing, "");
    EXPECT_NE(window->GetInstanceRecord(), nullptr);
    EXPECT_TRUE(window->DoPlay());
    InvalidateRect(window->GetSafeHwnd(), nullptr, FALSE);
    Pump();
    EXPECT_FALSE(CallsOf(kPaintArea).empty());
}

// An engine that updates or resizes its own window inside a call (DoPlay, a
// paint) gets the paint and the new back buffer, in either process; with the
// engine in a process of its own, once that call has returned, and the call
// is answered without waiting for the limits.
TEST_F(HostWindow, AnEngineThatUpdatesOrResizesItsWindowInsideACallIsServed) {
#ifndef _WIN32
    if (EngineInItsOwnProcess()) GTEST_SKIP() << "the headless backend shares no windows between processes";
#endif
    ScopedEngineTimeLimits limits;
    DebugOutputCapture debug;
    CPlayerWnd* window = CreatePlayer();
    HWND hwnd = window->GetSafeHwnd();
    for (int32_t entry : {kDoPlay, kPaintArea}) {
        for (int32_t change : {kUpdateHostWindowOnce, kResizeHostWindowOnce}) {
            std::string which = "entry " + std::to_string(entry) + ", change " + std::to_string(change);
            Place(window, 0, 0, 60, 40);
            Pump();
            engine->reset();
            engine->setServiceCall(entry, change, "");
            if (entry == kDoPlay) {
                EXPECT_TRUE(window->DoPlay()) << which;
            } else {
                InvalidateRect(hwnd, nullptr, FALSE);
            }
            Pump();
            int32_t status = 0;
            char reply[8];
            engine->lastServiceCall(&status, reply, sizeof reply);
            EXPECT_EQ(status, 1) << which << ": the engine's own call returned";
            ASSERT_NE(window->GetInstanceRecord(), nullptr) << which;
            if (change == kUpdateHostWindowOnce) {
                std::vector<RecordedCall> paints = CallsOf(kPaintArea);
                bool updated = std::any_of(paints.begin() + (entry == kPaintArea ? 1 : 0), paints.end(),
                                           [](const RecordedCall& paint) {
                                               return paint.args[0] <= 0 && paint.args[1] <= 0 &&
                                                      paint.args[2] >= 10 && paint.args[3] >= 10;
                                           });
                EXPECT_TRUE(updated) << which << ": the engine painted the area it updated";
            } else {
                RECT client{};
                GetClientRect(hwnd, &client);
                EXPECT_EQ(client.right, 70) << which;
                EXPECT_EQ(window->PublishedBackBuffer().height, 50) << which;
                EXPECT_GE(window->PublishedBackBuffer().width, 70) << which;
                std::vector<RecordedCall> handed = CallsOf(kSetBackBuffer);
                EXPECT_FALSE(handed.empty()) << which << ": the engine was handed the new back buffer";
            }
        }
    }
    EXPECT_EQ(debug.TakeText().find("has not answered"), std::string::npos);
    EXPECT_TRUE(window->DoPlay());
}
