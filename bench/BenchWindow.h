// A shown host window under a top-level window of the headless backend, with
// one of our engines, for the benchmarks.
#pragma once

#include <HostServices.h>
#include <MouseInput.h>
#include <RecordingEngineClient.h>
#include <VantraPlayerWnd.h>
#include <headless_control.h>

#include <cstdlib>
#include <string>

class BenchWindow {
public:
    BenchWindow(int width, int height, const char* engine = "noop") {
        parent_ = headless::CreateTopLevelWindow(0, 0, width, height);
        window_ = new CPlayerWnd();
        window_->SetPlayerFolder(RecordingEngineClient::FolderText(engine));
        if (!window_->CreateHostWindow(parent_)) std::abort();
        ShowWindow(window_->GetSafeHwnd(), SW_SHOWNORMAL);
        MoveWindow(window_->GetSafeHwnd(), 0, 0, width, height, TRUE);
        headless::RunUntilIdle();
    }
    ~BenchWindow() {
        window_->StopPlay();
        window_->DestroyWindow();
        window_->DeleteWhenSafe();
        DestroyWindow(parent_);
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    CPlayerWnd* operator->() const { return window_; }

    // A mouse move's two engine calls (HandleEvent, then CallFunction2 with
    // its invocation, the reply freed) made straight through the window's
    // entry table (an engine process's proxy's, there), without the window's
    // message path: the floor of a move through the window.
    void MoveThroughTheEngineTable(int x, int y) const {
        InstanceRecord* record = window_->GetInstanceRecord();
        EngineEntry* entries = window_->engineFunctions->entries;
        InputEvent event = PointerEvent(InputEvent::MouseMove, x, y);
        EntryAs<int32_t(ENGINE_CDECL*)(InstanceRecord*, const InputEvent*)>(entries[kHandleEvent])(record, &event);
        std::string text = MouseInvocation("handleMouseMove", x, y, ModifierKeys{false, false, false});
        char* reply = nullptr;
        EntryAs<int32_t(ENGINE_CDECL*)(InstanceRecord*, const char*, char**)>(entries[kCallFunction2])(
            record, text.c_str(), &reply);
        FreeEngineBlock(reply);
    }

private:
    HWND parent_ = nullptr;
    CPlayerWnd* window_ = nullptr;
};
