#include "VantraPlayerWnd.h"

#include <algorithm>
#include <cassert>
#include <iterator>

#include "EngineProtocol.h"
#include "HostServices.h"
#include "JavaUpcalls.h"
#include "VantraPlayerManager.h"
#include "WindowRegistry.h"

namespace {

constexpr int kInitialSize = 100;
constexpr int32_t kPixelFormat = 7;
constexpr size_t kHeaderBlock = sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD);  // 52 bytes
constexpr uint64_t kMaxBackBufferBytes = uint64_t{1} << 30;                    // no window needs more
constexpr LRESULT kDialogCodes = DLGC_WANTARROWS | DLGC_WANTCHARS;             // 0x81

template <typename Handler>
MessageMapEntry Entry(UINT message, Handler handler) {
    return MessageMapEntry{message, 0, handler};
}

CPlayerWnd& Self(CCmdTarget& target) { return static_cast<CPlayerWnd&>(target); }

bool EngineTakesCalls() {
    VantraPlayerManager* manager = VantraPlayerManager::Get(false);
    return !manager || manager->EngineTakesCalls();
}

}  // namespace

CPlayerWnd::~CPlayerWnd() {
    // Destroyed here, while the object is still a CPlayerWnd, so that its
    // destroy handling runs.
    if (GetSafeHwnd()) DestroyWindow();
    if (destructionPending) FinishDestruction();
}

bool CPlayerWnd::CreateHostWindow(HWND parent) {
    return CreateChild(parent, RECT{0, 0, kInitialSize, kInitialSize}, 0, 0) != FALSE;
}

// ---- message map -------------------------------------------------------------------

const MessageMap* CPlayerWnd::GetMessageMap() const {
    static const MessageMapEntry entries[] = {
        Entry(WM_CREATE, [](CCmdTarget& t, WPARAM,
                            LPARAM l) { return Self(t).OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(l)); }),
        Entry(WM_DESTROY,
              [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                  Self(t).OnDestroy();
                  return Self(t).Default();
              }),
        Entry(WM_PAINT,
              [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                  Self(t).OnPaint();
                  return 0;
              }),
        Entry(WM_SIZE,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnSize(LOWORD(l), HIWORD(l));
                  return 0;
              }),
        Entry(WM_KEYDOWN,
              [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                  Self(t).ForwardKeyToParent(WM_KEYDOWN, w, l);
                  return 0;
              }),
        Entry(WM_KEYUP,
              [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                  Self(t).ForwardKeyToParent(WM_KEYUP, w, l);
                  return 0;
              }),
        Entry(WM_CHAR,
              [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                  Self(t).ForwardKeyToParent(WM_CHAR, w, l);
                  return 0;
              }),
        Entry(WM_LBUTTONDOWN,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnLeftButtonDown(PointX(l), PointY(l));
                  return 0;
              }),
        Entry(WM_LBUTTONUP,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnLeftButtonUp(PointX(l), PointY(l));
                  return 0;
              }),
        Entry(WM_LBUTTONDBLCLK,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnLeftButtonDoubleClick(PointX(l), PointY(l));
                  return 0;
              }),
        Entry(WM_RBUTTONDOWN,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnRightButtonDown(PointX(l), PointY(l));
                  return 0;
              }),
        Entry(WM_MOUSEMOVE,
              [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT {
                  Self(t).OnMouseMove(PointX(l), PointY(l));
                  return 0;
              }),
        Entry(WM_MOUSELEAVE,
              [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                  Self(t).OnMouseLeave();
                  return 0;
              }),
        Entry(WM_MOUSEWHEEL,
              [](CCmdTarget& t, WPARAM w, LPARAM l) -> LRESULT {
                  Self(t).OnMouseWheel(w, l);
                  return TRUE;
              }),
        Entry(WM_SETCURSOR, [](CCmdTarget& t, WPARAM, LPARAM l) -> LRESULT { return Self(t).OnSetCursor(l); }),
        Entry(WM_CAPTURECHANGED,
              [](CCmdTarget& t, WPARAM, LPARAM) -> LRESULT {
                  Self(t).OnCaptureChanged();
                  return 0;
              }),
        Entry(WM_GETDLGCODE, [](CCmdTarget&, WPARAM, LPARAM) -> LRESULT { return kDialogCodes; }),
        Entry(WM_MENUSELECT, [](CCmdTarget&, WPARAM, LPARAM) -> LRESULT { return 0; }),
        Entry(kEngineNoticeMessage,
              [](CCmdTarget&, WPARAM, LPARAM) -> LRESULT {
                  if (VantraPlayerManager* manager = VantraPlayerManager::Get(false)) manager->ServeEngineNotices();
                  return 0;
              }),
    };
    static const MessageMap map{CWnd::ThisMessageMap(), entries, std::size(entries)};
    return &map;
}

// ---- lifecycle ----------------------------------------------------------------------

LRESULT CPlayerWnd::OnCreate(const CREATESTRUCTW& create) {
    VantraPlayerManager* manager = VantraPlayerManager::Get(true);
    manager->SetPlayerFolder(playerFolder);
    instanceRecord = manager->CreatePlayerInstance(this);
    if (instanceRecord) {
        ResizeBackBuffer(create.cx, create.cy);
        SetModeValue(0);
    }
    return 0;  // the window exists even without an engine instance
}

void CPlayerWnd::OnDestroy() {
    if (EngineCallDepth() > 0) {
        // The engine is inside a call for this instance: its record and its
        // back buffer must outlive that call.
        doomedRecord = instanceRecord;
        instanceRecord = nullptr;
        destructionPending = true;
        WantCallsReturnedHook();
        return;
    }
    FinishDestruction();
}

void CPlayerWnd::FinishDestruction() {
    destructionPending = false;
    InstanceRecord* record = instanceRecord ? instanceRecord : doomedRecord;
    instanceRecord = nullptr;
    doomedRecord = nullptr;
    if (record) VantraPlayerManager::Get(true)->DestroyPlayerInstance(record);
    colorTable.reset();
    backBufferInfo.colorTable = nullptr;
    ReleaseBackBuffer();
    blitDC.reset();
}

void CPlayerWnd::OnEngineEnded() {
    InstanceRecord* record = instanceRecord ? instanceRecord : doomedRecord;
    WindowRegistry::Instance().EngineEnded(*this, record);
    instanceRecord = nullptr;
    doomedRecord = nullptr;
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), nullptr, FALSE);  // white from now on
}

void CPlayerWnd::OnEngineCallsReturned() {
    if (VantraPlayerManager* manager = VantraPlayerManager::Get(false)) manager->ReleaseIdleProxies();
    if (destructionPending) FinishDestruction();
    DeleteIfPending();  // may delete this
}

// ---- back buffer ----------------------------------------------------------------------

void CPlayerWnd::ResizeBackBuffer(int width, int height) {
    if (!instanceRecord) return;
    Call<int32_t>(kDetachBackBuffer);
    CreateBackBuffer(width, height);
    PublishBackBuffer();
}

bool CPlayerWnd::CreateBackBuffer(int width, int height) {
    ReleaseBackBuffer();
    if (width <= 0 || height <= 0) return false;
    int64_t rowWidth = (static_cast<int64_t>(width) + 3) / 4 * 4;
    uint64_t bytes = static_cast<uint64_t>(rowWidth) * static_cast<uint64_t>(height) * 4;
    if (bytes > kMaxBackBufferBytes) return false;

    HDC memoryDC = CreateCompatibleDC(nullptr);
    backBufferHeader.reset(new unsigned char[kHeaderBlock]());
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(backBufferHeader.get());
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(rowWidth);
    header->biHeight = -height;  // top-down
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = BI_RGB;
    void* pixels = nullptr;
    if (VantraPlayerManager::Get(true)->EngineInOwnProcess()) {
        backBufferSection = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                               static_cast<DWORD>(bytes >> 32), static_cast<DWORD>(bytes), nullptr);
    }
    backBufferBitmap = CreateDIBSection(memoryDC, reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, &pixels,
                                        backBufferSection, 0);
    backBufferPixels = backBufferBitmap ? pixels : nullptr;
    if (memoryDC) DeleteDC(memoryDC);
    if (!backBufferBitmap ||
        GetObjectW(backBufferBitmap, sizeof backBufferDescription, &backBufferDescription) != sizeof(BITMAP)) {
        ReleaseBackBuffer();
    }
    return backBufferBitmap != nullptr;
}

void CPlayerWnd::ReleaseBackBuffer() {
    if (backBufferBitmap) DeleteObject(backBufferBitmap);
    if (backBufferSection) CloseHandle(backBufferSection);  // the bitmap does not own it
    backBufferBitmap = nullptr;
    backBufferSection = nullptr;
    backBufferHeader.reset();
    backBufferPixels = nullptr;
}

bool CPlayerWnd::PublishBackBuffer() {
    // Without a back buffer the engine is not told of one: it has already
    // been told that the old one is gone.
    if (!instanceRecord || !backBufferHeader) return false;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(backBufferHeader.get());
    size_t colors = header->biClrUsed;
    colorTable.reset(new RGBQUAD[colors]);
    std::copy_n(reinterpret_cast<const RGBQUAD*>(header + 1), std::min<size_t>(colors, 3), colorTable.get());
    backBufferInfo.colorTable = colorTable.get();
    backBufferInfo.colorCount = static_cast<int32_t>(colors);
    backBufferInfo.pixels = backBufferPixels;
    backBufferInfo.width = backBufferDescription.bmWidth;
    backBufferInfo.height = backBufferDescription.bmHeight;
    backBufferInfo.bitsPerPixel = backBufferDescription.bmBitsPixel;
    backBufferInfo.bytesPerRow = backBufferDescription.bmWidthBytes;
    backBufferInfo.bottomUp = 0;
    backBufferInfo.pixelFormat = kPixelFormat;
    return CallAnswersZero(kSetBackBuffer, &backBufferInfo);
}

// ---- sizing and painting ------------------------------------------------------------------

void CPlayerWnd::OnSize(int width, int height) {
    if (width > 0 && height > 0) ResizeBackBuffer(width, height);
}

void CPlayerWnd::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(GetSafeHwnd(), &paint);
    if (suppressPainting) {
        UnionRect(&suppressedArea, &suppressedArea, &paint.rcPaint);
    } else if (!instanceRecord) {
        FillBackground(255, 255, 255);
    } else {
        dcUseCount = 1;
        currentDC = dc;
        RECT clip{};
        GetClipBox(dc, &clip);
        DrawArea(AreaRect{clip.left, clip.right, clip.top, clip.bottom});
        // The paint DC goes back with EndPaint, whatever the engine left acquired.
        currentDC = nullptr;
        dcUseCount = 0;
    }
    EndPaint(GetSafeHwnd(), &paint);
}

// No exception leaves a window procedure (the system's frames lie beyond);
// one an engine call raised in a message it got inside a guarded engine call
// (a paint the engine asked for) is that call's to report.
LRESULT CPlayerWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    RaisesStoppedHere stopped;
    try {
        if (instanceRecord && NeedsTheEngine(message) && !EngineTakesCalls()) {
            return WhileTheEngineTakesNoCalls(message, wParam, lParam);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// The messages whose handling calls the engine, or Java (which may call it).
bool CPlayerWnd::NeedsTheEngine(UINT message) {
    switch (message) {
        case WM_PAINT:
        case WM_SIZE:
        case WM_SETCURSOR:
        case WM_CAPTURECHANGED:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_MOUSEWHEEL:
        case WM_COMMAND: return true;
        default: return false;
    }
}

// A message another process sent while the engine's process runs a call of
// ours (the engine resizing or updating its window from inside it): answered
// without the engine where an answer exists (the back buffer as it stands,
// the default cursor), else handled once the engine takes calls again, in order.
LRESULT CPlayerWnd::WhileTheEngineTakesNoCalls(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = GetSafeHwnd();
    VantraPlayerManager* manager = VantraPlayerManager::Get(false);
    if (message == WM_SETCURSOR) return Default();
    if (message == WM_PAINT) {
        RECT area = PaintFromBackBuffer();
        manager->WhenEngineTakesCalls([hwnd, area] {
            if (IsWindow(hwnd)) InvalidateRect(hwnd, &area, FALSE);  // the engine paints it then
        });
        return 0;
    }
    manager->WhenEngineTakesCalls([hwnd, message, wParam, lParam] {
        if (IsWindow(hwnd)) SendMessageW(hwnd, message, wParam, lParam);
    });
    return 0;
}

RECT CPlayerWnd::PaintFromBackBuffer() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(GetSafeHwnd(), &paint);
    if (dc && backBufferBitmap && !backBufferLocked) {
        if (!blitDC) blitDC.reset(CreateCompatibleDC(dc));
        if (HDC memoryDC = blitDC.get()) {
            const RECT& r = paint.rcPaint;
            HGDIOBJ previous = SelectObject(memoryDC, backBufferBitmap);
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, memoryDC, r.left, r.top, SRCCOPY);
            SelectObject(memoryDC, previous);
        }
    }
    EndPaint(GetSafeHwnd(), &paint);
    return paint.rcPaint;
}

void CPlayerWnd::DrawArea(const AreaRect& area) {
    if (!instanceRecord) return;
    Call<int32_t>(kPaintArea, area.ymin, area.xmin, area.ymax, area.xmax);
}

void CPlayerWnd::SetSuppressPainting(bool suppress) {
    suppressPainting = suppress;
    if (suppress || IsRectEmpty(&suppressedArea)) return;
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), &suppressedArea, FALSE);
    suppressedArea = RECT{};
}

void CPlayerWnd::FlushPainting() {
    if (GetSafeHwnd()) UpdateWindow(GetSafeHwnd());
}

HDC CPlayerWnd::AcquireWindowDC() {
    if (dcUseCount > 0) {
        ++dcUseCount;
        return currentDC;
    }
    currentDC = GetDC(GetSafeHwnd());
    dcUseCount = currentDC ? 1 : 0;
    return currentDC;
}

void CPlayerWnd::ReleaseWindowDC() {
    assert(currentDC && "VantraPlayerWnd.cpp: ReleaseWindowDC without a DC");
    if (!currentDC || --dcUseCount > 0) return;
    ReleaseDC(GetSafeHwnd(), currentDC);
    currentDC = nullptr;
    dcUseCount = 0;
}

bool CPlayerWnd::TakeBackBufferLock() {
    if (backBufferLocked || !backBufferPixels) return false;
    backBufferLocked = true;
    return true;
}

// ---- engine services ---------------------------------------------------------------------

int32_t CPlayerWnd::GetWindowSize(int32_t* width, int32_t* height) {
    RECT client{};
    if (GetSafeHwnd()) GetClientRect(GetSafeHwnd(), &client);
    if (width) *width = client.right;
    if (height) *height = client.bottom;
    return 0;
}

int32_t CPlayerWnd::BlitRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!GetSafeHwnd() || !TakeBackBufferLock()) return 0;
    HDC windowDC = AcquireWindowDC();
    if (windowDC) {
        if (!blitDC) blitDC.reset(CreateCompatibleDC(windowDC));
        if (HDC memoryDC = blitDC.get()) {
            HGDIOBJ previous = SelectObject(memoryDC, backBufferBitmap);
            BitBlt(windowDC, x, y, width, height, memoryDC, x, y, SRCCOPY);
            SelectObject(memoryDC, previous);
        }
        ReleaseWindowDC();
    }
    ReleaseBackBufferLock();
    return 0;
}

int32_t CPlayerWnd::InvalidateArea(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    RECT area{left, top, right, bottom};
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), &area, FALSE);
    return 0;
}

int32_t CPlayerWnd::FillBackground(int32_t red, int32_t green, int32_t blue) {
    if (!GetSafeHwnd()) return 0;
    HDC dc = GetDC(GetSafeHwnd());
    if (!dc) return 0;
    RECT box{};
    GetClipBox(dc, &box);
    if (HBRUSH brush = CreateSolidBrush(RGB(red & 0xFF, green & 0xFF, blue & 0xFF))) {
        FillRect(dc, &box, brush);
        DeleteObject(brush);
    }
    ReleaseDC(GetSafeHwnd(), dc);
    return 0;
}

int32_t CPlayerWnd::ResizeDisplay(int32_t, int32_t) { return 0; }

int32_t CPlayerWnd::SetCursorType(int32_t type) {
    cursorType = type;  // the engine sets the cursor itself, in WM_SETCURSOR
    return 0;
}

bool AskUserToKillScript(HWND owner) {
    static const char16_t text[] = u"DEBUG: Uh oh...asktokillscript() wants to run...keep waiting?";
    return MessageBoxW(owner, AsWide(text), AsWide(u"AskToKillScript"), MB_YESNO | MB_ICONWARNING) == IDNO;
}

bool CPlayerWnd::AskToKillScript() { return AskUserToKillScript(GetSafeHwnd()); }

int32_t CPlayerWnd::LockBackBuffer(void** pixels) {
    if (!pixels || !TakeBackBufferLock()) return 1;
    *pixels = backBufferPixels;
    return 0;
}

int32_t CPlayerWnd::UnlockBackBuffer() {
    ReleaseBackBufferLock();
    return 0;
}

// ---- input ---------------------------------------------------------------------------------

bool CPlayerWnd::IsCtrlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }
bool CPlayerWnd::IsShiftDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0; }
bool CPlayerWnd::IsAltDown() { return (GetKeyState(VK_MENU) & 0x8000) != 0; }

void CPlayerWnd::SendInputEvent(const InputEvent& event) {
    InputEvent copy = event;
    Call<int32_t>(kHandleEvent, &copy);
}

void CPlayerWnd::SendInvocation(const std::string& text) {
    if (char* reply = CallFunction2(text.c_str())) FreeEngineBlock(reply);
}

void CPlayerWnd::SendMouseInvocation(const char* name, int x, int y) {
    if (!instanceRecord) return;
    SendInvocation(MouseInvocation(name, x, y, ModifierKeys{IsCtrlDown(), IsShiftDown(), IsAltDown()}));
}

void CPlayerWnd::ForwardKeyToParent(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HWND parent = GetParent(GetSafeHwnd())) SendMessageW(parent, message, wParam, lParam);
}

void CPlayerWnd::OnLeftButtonDown(int x, int y) {
    SetFocus(GetSafeHwnd());
    SetCapture(GetSafeHwnd());
    SendInputEvent(PointerEvent(InputEvent::LeftButtonDown, x, y));
    SendMouseInvocation("handleLMouseDown", x, y);
}

void CPlayerWnd::OnLeftButtonUp(int x, int y) {
    ReleaseCapture();
    SendInputEvent(PointerEvent(InputEvent::LeftButtonUp, x, y));
    SendMouseInvocation("handleLMouseUp", x, y);
}

void CPlayerWnd::OnLeftButtonDoubleClick(int x, int y) { DoubleClickUpcall(*this, doubleClickMethod, x, y); }

void CPlayerWnd::OnRightButtonDown(int x, int y) {
    ContextMenuUpcall(*this, x, y);
    SendMouseInvocation("handleRMouseDown", x, y);
}

void CPlayerWnd::OnMouseMove(int x, int y) {
    SendInputEvent(PointerEvent(InputEvent::MouseMove, x, y));
    if (!mouseInside) {
        if (instanceRecord) SendInvocation(PlainInvocation("handleMouseEnter"));
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, GetSafeHwnd(), 0};
        if (GetSafeHwnd()) TrackMouseEvent(&track);
        mouseInside = true;
    }
    SendMouseInvocation("handleMouseMove", x, y);
}

void CPlayerWnd::OnMouseLeave() {
    if (instanceRecord) SendInvocation(PlainInvocation("handleMouseLeave"));
    mouseInside = false;
}

void CPlayerWnd::OnMouseWheel(WPARAM wParam, LPARAM lParam) {
    POINT point{PointX(lParam), PointY(lParam)};
    ScreenToClient(GetSafeHwnd(), &point);
    bool ctrl = (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0;
    SendInputEvent(WheelEvent(GET_WHEEL_DELTA_WPARAM(wParam), ctrl, point.x, point.y));
}

bool CPlayerWnd::OnSetCursor(LPARAM lParam) { return LOWORD(lParam) == HTCLIENT && UpdateCursor() != 0; }

void CPlayerWnd::OnCaptureChanged() {
    if (GetCapture() != GetSafeHwnd()) SetMouseCapture(false);
}

BOOL CPlayerWnd::OnCommand(WPARAM wParam, LPARAM) {
    SendInputEvent(MenuCommandEvent(LOWORD(wParam)));
    return FALSE;  // default processing follows
}
