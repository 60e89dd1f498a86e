// A shown host window under a top-level window of the headless backend, with
// one of our engines, for the benchmarks.
#pragma once

#include <RecordingEngineClient.h>
#include <VantraPlayerWnd.h>
#include <headless_control.h>

#include <cstdlib>

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

private:
    HWND parent_ = nullptr;
    CPlayerWnd* window_ = nullptr;
};
