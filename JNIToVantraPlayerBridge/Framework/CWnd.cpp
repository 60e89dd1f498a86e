#include "CWnd.h"

#include "CWinApp.h"

namespace {

constexpr int kObjectSlot = 0;  // offset of the object pointer in the window's extra bytes

// The object whose CreateWindowExW call is in progress on this thread; the
// window procedure attaches it at the first message.
thread_local CWnd* windowBeingCreated = nullptr;

struct CreationScope {
    explicit CreationScope(CWnd* wnd) : previous(windowBeingCreated) { windowBeingCreated = wnd; }
    ~CreationScope() { windowBeingCreated = previous; }
    CWnd* previous;
};

}  // namespace

CWnd::~CWnd() {
    if (hwnd_ && IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    Detach();
}

LPCWSTR CWnd::DefaultChildClass() {
    static const WCHAR* name = [] {
        static const char16_t className[] = u"VantraBridgeWnd";
        HINSTANCE module = ModuleOfAddress(reinterpret_cast<const void*>(&CWnd::StaticWindowProc));
        WNDCLASSEXW wc{};
        if (!GetClassInfoExW(module, AsWide(className), &wc)) {
            wc.cbSize = sizeof wc;
            wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
            wc.lpfnWndProc = &CWnd::StaticWindowProc;
            wc.cbWndExtra = sizeof(CWnd*);
            wc.hInstance = module;
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = nullptr;
            wc.lpszClassName = AsWide(className);
            RegisterClassExW(&wc);
        }
        return AsWide(className);
    }();
    return name;
}

BOOL CWnd::CreateChild(HWND parent, const RECT& rect, DWORD style, UINT id) {
    if (hwnd_) return FALSE;
    CreationScope scope(this);
    HWND hwnd =
        CreateWindowExW(0, DefaultChildClass(), nullptr, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                        ModuleOfAddress(reinterpret_cast<const void*>(&CWnd::StaticWindowProc)), nullptr);
    return hwnd != nullptr;
}

BOOL CWnd::DestroyWindow() { return hwnd_ ? ::DestroyWindow(hwnd_) : FALSE; }

LRESULT CWnd::Default() { return DefWindowProcW(hwnd_, current_.message, current_.wParam, current_.lParam); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(MSG* msg) {
    for (HWND hwnd = msg ? msg->hwnd : nullptr; hwnd; hwnd = GetParent(hwnd)) {
        CWnd* wnd = FromHandle(hwnd);
        if (wnd && wnd->PreTranslateMessage(msg)) return TRUE;
    }
    return FALSE;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    // Another class's extra bytes mean something else: check the procedure first.
    if (!hwnd || GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CWnd::StaticWindowProc)) {
        return nullptr;
    }
    return reinterpret_cast<CWnd*>(GetWindowLongPtrW(hwnd, kObjectSlot));
}

const MessageMap* CWnd::ThisMessageMap() {
    static const MessageMap map{CCmdTarget::ThisMessageMap(), nullptr, 0};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const { return ThisMessageMap(); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) return OnCommand(wParam, lParam) ? 0 : Default();
    const MessageMapEntry* entry = GetMessageMap()->Find(message, 0);
    return entry ? entry->handler(*this, wParam, lParam) : Default();
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT id = LOWORD(wParam);
    if (OnCmdMsg(id, wParam, lParam)) return TRUE;
    CWinApp* app = CWinApp::Current();
    return app && app->OnCmdMsg(id, wParam, lParam);
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* wnd = reinterpret_cast<CWnd*>(GetWindowLongPtrW(hwnd, kObjectSlot));
    if (!wnd && windowBeingCreated) {
        wnd = windowBeingCreated;
        windowBeingCreated = nullptr;
        wnd->Attach(hwnd);
    }
    if (!wnd) return DefWindowProcW(hwnd, message, wParam, lParam);
    return wnd->HandleMessage(message, wParam, lParam);
}

LRESULT CWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result;
    {
        // Restored however the handler leaves, so that a window whose handler
        // threw can still be deleted.
        struct Scope {
            CWnd& wnd;
            CurrentMessage outer;
            ~Scope() {
                --wnd.messageDepth_;
                wnd.current_ = outer;
            }
        } scope{*this, current_};
        current_ = CurrentMessage{message, wParam, lParam};
        ++messageDepth_;
        result = WindowProc(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        Detach();
        PostNcDestroy();  // may delete this
        return result;
    }
    DeleteIfPending();  // may delete this
    return result;
}

void CWnd::DeleteWhenSafe() {
    deletePending_ = true;
    OnDeletePending();
    DeleteIfPending();
}

void CWnd::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, kObjectSlot, reinterpret_cast<LONG_PTR>(this));
}

void CWnd::Detach() {
    if (hwnd_ && IsWindow(hwnd_)) SetWindowLongPtrW(hwnd_, kObjectSlot, 0);
    hwnd_ = nullptr;
}
