// A window object wrapping one native window.
//
// The object is attached to its HWND from the very first message the window
// receives (WM_NCCREATE), through the window's extra bytes, and detached
// after WM_NCDESTROY; then PostNcDestroy runs. Messages go through the class's
// message map; what no entry handles goes to Default(), the platform's
// default processing of the message being handled.
//
// Only windows of the framework's own class (DefaultChildClass) have objects.
#pragma once

#include "CCmdTarget.h"

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    // Destroys the native window if it still exists.
    ~CWnd() override;

    HWND GetSafeHwnd() const { return hwnd_; }

    // Creates a child window of the default child class: double clicks,
    // redraw on size changes, the arrow cursor, no background brush.
    BOOL CreateChild(HWND parent, const RECT& rect, DWORD style, UINT id);
    virtual BOOL DestroyWindow();

    // The platform's default processing of the message now being handled.
    LRESULT Default();

    // A chance to translate a message before it is dispatched; true when done.
    virtual BOOL PreTranslateMessage(MSG* msg);
    static BOOL WalkPreTranslateTree(MSG* msg);

    // The object attached to a native window, or null for other windows.
    static CWnd* FromHandle(HWND hwnd);

    // Registered once per module, on first use.
    static LPCWSTR DefaultChildClass();

    const MessageMap* GetMessageMap() const override;
    static const MessageMap* ThisMessageMap();

    // How many messages of this window are being handled right now (nested
    // sends included); a window must not be deleted while this is above 0.
    int MessageDepth() const { return messageDepth_; }

    // Deletes the object now or, while it is busy (CanDeleteNow), as soon as
    // it is not: code that handles a message may delete its own window.
    void DeleteWhenSafe();

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND: routes the command; false lets default processing follow.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    // Runs after WM_NCDESTROY, once the object is detached; by default it
    // carries out a deletion that DeleteWhenSafe deferred.
    virtual void PostNcDestroy() { DeleteIfPending(); }

    virtual bool CanDeleteNow() const { return messageDepth_ == 0; }
    // DeleteWhenSafe was called: a subclass that can be busy in other ways
    // than its messages arranges to delete itself when it no longer is.
    virtual void OnDeletePending() {}
    // Deletes the object if a deletion is pending and allowed now.
    void DeleteIfPending() {
        if (deletePending_ && CanDeleteNow()) delete this;
    }

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Attach(HWND hwnd);
    void Detach();

    HWND hwnd_ = nullptr;
    CurrentMessage current_{};
    int messageDepth_ = 0;
    bool deletePending_ = false;
};
