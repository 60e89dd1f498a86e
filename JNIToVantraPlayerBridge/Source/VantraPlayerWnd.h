// The host window: a child window that hosts one engine instance, keeps the
// back buffer the engine draws into, copies it to the screen on request,
// and reports mouse input to the movie.
//
// Lifetime: created by CreateHostWindow, whose creation message creates the
// engine instance; the destroy message destroys the engine instance and the
// back buffer. The owner deletes the object with DeleteWhenSafe, which waits
// until no message of the window and no call into its engine is in progress
// (Java may destroy the widget from inside an up-call the window made).
#pragma once

#include <jni.h>

#include <CWnd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "MouseInput.h"
#include "PlayerInstance.h"

// A rectangle of DrawArea, in client pixels; xmax and ymax exclusive.
struct AreaRect {
    int32_t xmin;
    int32_t xmax;
    int32_t ymin;
    int32_t ymax;
};

// The question of the kill-script service, in a message box owned by the
// window: true (stop the script) when the user answers No to "keep waiting?".
bool AskUserToKillScript(HWND owner);

class CPlayerWnd : public CWnd, public PlayerInstance {
public:
    CPlayerWnd() = default;
    ~CPlayerWnd() override;

    void SetPlayerFolder(const std::u16string& folder) { playerFolder = folder; }
    void SetJavaWidget(jobject widget) { javaWidget = widget; }
    void SetJavaVM(JavaVM* vm) { javaVM = vm; }
    void SetCallFunctionMethod(jmethodID method) { callFunctionMethod = method; }
    void SetContextMenuMethod(jmethodID method) { contextMenuMethod = method; }
    void SetDoubleClickMethod(jmethodID method) { doubleClickMethod = method; }

    // Creates the hidden 100 x 100 native window under `parent`.
    bool CreateHostWindow(HWND parent);

    // Asks the engine to paint the area.
    void DrawArea(const AreaRect& area);

    // While painting is suppressed, paint messages validate their area without
    // asking the engine, and the area is painted once painting resumes.
    virtual void SetSuppressPainting(bool suppress);
    bool IsPaintingSuppressed() const { return suppressPainting; }

    // ---- the 15 slots (engine services) ----
    int32_t GetWindowSize(int32_t* width, int32_t* height) override;
    int32_t BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
    int32_t InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) override;
    int32_t FillBackground(int32_t red, int32_t green, int32_t blue) override;
    int32_t ResizeDisplay(int32_t width, int32_t height) override;
    int32_t SetCursorType(int32_t cursorType) override;
    HWND GetWindowHandle() override { return GetSafeHwnd(); }
    HBITMAP GetBackBufferBitmap() override { return backBufferBitmap; }
    int32_t Reserved8(int32_t) override { return 0; }
    int32_t Reserved9(int32_t, int32_t) override { return 0; }
    bool AskToKillScript() override;
    int32_t LockBackBuffer(void** pixels) override;
    int32_t UnlockBackBuffer() override;
    int32_t Reserved13(int32_t) override { return 0; }
    int32_t Reserved14() override { return 0; }
    void FlushPainting() override;
    void OnEngineEnded() override;

    // For tests and diagnostics.
    const BackBufferInfo& PublishedBackBuffer() const { return backBufferInfo; }
    void* BackBufferPixels() const { return backBufferPixels; }
    int DcUseCount() const { return dcUseCount; }
    int32_t LastCursorType() const { return cursorType; }

    const MessageMap* GetMessageMap() const override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool CanDeleteNow() const override { return MessageDepth() == 0 && EngineCallDepth() == 0; }
    void OnEngineCallsReturned() override;
    void OnDeletePending() override { WantCallsReturnedHook(); }

private:
    // Messages.
    LRESULT OnCreate(const CREATESTRUCTW& create);
    void OnDestroy();
    void OnPaint();
    void OnSize(int width, int height);
    void ForwardKeyToParent(UINT message, WPARAM wParam, LPARAM lParam);
    void OnLeftButtonDown(int x, int y);
    void OnLeftButtonUp(int x, int y);
    void OnLeftButtonDoubleClick(int x, int y);
    void OnRightButtonDown(int x, int y);
    void OnMouseMove(int x, int y);
    void OnMouseLeave();
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    bool OnSetCursor(LPARAM lParam);
    void OnCaptureChanged();

    // While the engine takes no calls.
    static bool NeedsTheEngine(UINT message);
    LRESULT WhileTheEngineTakesNoCalls(UINT message, WPARAM wParam, LPARAM lParam);
    RECT PaintFromBackBuffer();  // the area it painted

    // Back buffer.
    void ResizeBackBuffer(int width, int height);
    bool CreateBackBuffer(int width, int height);
    void ReleaseBackBuffer();
    bool PublishBackBuffer();
    void FinishDestruction();

    // Window DC sharing and the back-buffer lock.
    HDC AcquireWindowDC();
    void ReleaseWindowDC();
    bool TakeBackBufferLock();
    void ReleaseBackBufferLock() { backBufferLocked = false; }

    // Input to the engine.
    void SendInputEvent(const InputEvent& event);
    void SendInvocation(const std::string& text);
    void SendMouseInvocation(const char* name, int x, int y);
    static bool IsCtrlDown();
    static bool IsShiftDown();
    static bool IsAltDown();

    jobject javaWidget = nullptr;  // valid only during the create call
    JavaVM* javaVM = nullptr;
    jmethodID callFunctionMethod = nullptr;
    jmethodID contextMenuMethod = nullptr;
    jmethodID doubleClickMethod = nullptr;
    BackBufferInfo backBufferInfo{};
    HDC currentDC = nullptr;
    int32_t dcUseCount = 0;
    // The memory DC BlitRect copies from, kept for the window's life: making
    // one per blit costs more than the copy on some systems. The back buffer
    // is selected into it only during a blit, so the engine may select it
    // into DCs of its own.
    struct MemoryDCDeleter {
        void operator()(HDC dc) const { DeleteDC(dc); }
    };
    std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDCDeleter> blitDC;
    bool backBufferLocked = false;
    HBITMAP backBufferBitmap = nullptr;
    // The file mapping under the back buffer when the engine runs in a
    // process of its own, which maps it too.
    HANDLE backBufferSection = nullptr;
    std::unique_ptr<unsigned char[]> backBufferHeader;  // 40-byte header and three colour masks
    BITMAP backBufferDescription{};
    void* backBufferPixels = nullptr;
    std::unique_ptr<RGBQUAD[]> colorTable;
    bool suppressPainting = false;
    bool mouseInside = false;
    std::u16string playerFolder;

    int32_t cursorType = 0;
    RECT suppressedArea{};                   // what went unpainted while suppressed
    InstanceRecord* doomedRecord = nullptr;  // destroyed once the engine calls in progress return
    bool destructionPending = false;
};
