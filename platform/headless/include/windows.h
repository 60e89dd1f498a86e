// The Win32 subset this project uses, for Linux, implemented by the headless
// backend (libheadless_win32.so). Names, types, constants and observable
// behaviour follow Win32; only what the library and its tests need is here.
//
// Differences a caller can notice:
// - WCHAR is char16_t (UTF-16 as on Windows; Linux's wchar_t is 32 bits).
// - An invalid area is kept as one bounding rectangle, not a region.
// - Every window has its own pixel surface of its client size; windows are not
//   composited, so drawing into a parent never shows in a child or the reverse.
// - State is per process and must be used from one thread; only PostMessageW
//   and PostThreadMessageW may be called from other threads.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY
#define __stdcall
#define __cdecl

// ---- basic types -----------------------------------------------------------

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef short SHORT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef WORD ATOM;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef BOOL* LPBOOL;
typedef DWORD* LPDWORD;

#define DECLARE_HANDLE(name) \
    struct name##__ {        \
        int unused;          \
    };                       \
    typedef struct name##__* name

typedef void* HANDLE;
DECLARE_HANDLE(HWND);
DECLARE_HANDLE(HINSTANCE);
DECLARE_HANDLE(HDC);
DECLARE_HANDLE(HBITMAP);
DECLARE_HANDLE(HBRUSH);
DECLARE_HANDLE(HCURSOR);
DECLARE_HANDLE(HICON);
DECLARE_HANDLE(HMENU);
DECLARE_HANDLE(HRGN);
typedef HINSTANCE HMODULE;
typedef void* HGDIOBJ;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*FARPROC)();

#define TRUE 1
#define FALSE 0

// ---- macros ----------------------------------------------------------------

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define MAKELONG(a, b) \
    ((LONG)(((WORD)(((DWORD_PTR)(a)) & 0xffff)) | ((DWORD)((WORD)(((DWORD_PTR)(b)) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) (LOBYTE(rgb))
#define GetGValue(rgb) (LOBYTE(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) (LOBYTE((rgb) >> 16))
#define GET_WHEEL_DELTA_WPARAM(wParam) ((short)HIWORD(wParam))
#define GET_KEYSTATE_WPARAM(wParam) (LOWORD(wParam))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))

// ---- structures ------------------------------------------------------------

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

typedef struct tagWNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXW;

typedef struct tagWNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
} WNDCLASSW;

typedef struct tagCREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTW;

typedef struct tagWINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
} WINDOWPOS;

typedef struct tagTRACKMOUSEEVENT {
    DWORD cbSize;
    DWORD dwFlags;
    HWND hwndTrack;
    DWORD dwHoverTime;
} TRACKMOUSEEVENT, *LPTRACKMOUSEEVENT;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
} BITMAP;

typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
} DIBSECTION;

// ---- window styles and creation --------------------------------------------

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_EX_NOPARENTNOTIFY 0x00000004L

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008

#define CW_USEDEFAULT ((int)0x80000000)
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_USERDATA (-21)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_ID (-12)

#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)

// ---- show and position -----------------------------------------------------

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOW 5
#define SW_SHOWNA 8

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200
#define SWP_NOCLIENTSIZE 0x0800
#define SWP_NOCLIENTMOVE 0x1000

#define SIZE_RESTORED 0

#define RDW_INVALIDATE 0x0001
#define RDW_ERASE 0x0004
#define RDW_UPDATENOW 0x0100
#define RDW_ALLCHILDREN 0x0080

// ---- messages ----------------------------------------------------------------

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_SETCURSOR 0x0020
#define WM_GETMINMAXINFO 0x0024
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_GETDLGCODE 0x0087
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_MENUSELECT 0x011F
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MOUSEWHEEL 0x020A
#define WM_PARENTNOTIFY 0x0210
#define WM_CAPTURECHANGED 0x0215
#define WM_MOUSELEAVE 0x02A3
#define WM_USER 0x0400
#define WM_APP 0x8000

#define WM_MOUSEFIRST 0x0200
#define WM_MOUSELAST 0x020E
#define WM_KEYFIRST 0x0100
#define WM_KEYLAST 0x0109

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010

#define WHEEL_DELTA 120
#define HTCLIENT 1

#define DLGC_WANTARROWS 0x0001
#define DLGC_WANTCHARS 0x0080

#define TME_HOVER 0x00000001
#define TME_LEAVE 0x00000002
#define TME_CANCEL 0x80000000
#define HOVER_DEFAULT 0xFFFFFFFF

// ---- keys --------------------------------------------------------------------

#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28

// ---- message boxes -----------------------------------------------------------

#define MB_OK 0x00000000L
#define MB_ICONHAND 0x00000010L
#define MB_TASKMODAL 0x00002000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNO 0x00000004L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_TYPEMASK 0x0000000FL

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// ---- GDI ---------------------------------------------------------------------

#define BI_RGB 0L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define SRCCOPY (DWORD)0x00CC0020
#define OBJ_BITMAP 7
#define NULLREGION 1
#define SIMPLEREGION 2
#define ERROR 0
#define HGDI_ERROR ((HGDIOBJ)(LONG_PTR)-1)
#define CLR_INVALID 0xFFFFFFFF

// ---- errors, modules, code pages ----------------------------------------------

#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_MR_MID_NOT_FOUND 317L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#define ERROR_CANNOT_FIND_WND_CLASS 1407L
#define ERROR_NO_UNICODE_TRANSLATION 1113L

#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

#define MAX_PATH 260

#define HEADLESS_IMPORT extern "C" __attribute__((visibility("default")))

// ---- functions ---------------------------------------------------------------

// errors
HEADLESS_IMPORT DWORD GetLastError();
HEADLESS_IMPORT void SetLastError(DWORD error);

// window classes and windows
HEADLESS_IMPORT ATOM RegisterClassW(const WNDCLASSW* wc);
HEADLESS_IMPORT ATOM RegisterClassExW(const WNDCLASSEXW* wc);
HEADLESS_IMPORT BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR name, WNDCLASSEXW* wc);
HEADLESS_IMPORT BOOL UnregisterClassW(LPCWSTR name, HINSTANCE instance);
HEADLESS_IMPORT HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
HEADLESS_IMPORT BOOL DestroyWindow(HWND hwnd);
HEADLESS_IMPORT BOOL IsWindow(HWND hwnd);
HEADLESS_IMPORT BOOL IsWindowVisible(HWND hwnd);
HEADLESS_IMPORT HWND GetParent(HWND hwnd);
// Every window here is of this process: the enumerations list this
// process's windows (top-level ones; a window's descendants), in the order
// they were made.
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);
HEADLESS_IMPORT BOOL EnumWindows(WNDENUMPROC proc, LPARAM param);
HEADLESS_IMPORT BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param);
HEADLESS_IMPORT DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
HEADLESS_IMPORT int InternalGetWindowText(HWND hwnd, LPWSTR text, int room);
HEADLESS_IMPORT int GetClassNameW(HWND hwnd, LPWSTR name, int room);
HEADLESS_IMPORT BOOL ShowWindow(HWND hwnd, int cmd);
HEADLESS_IMPORT BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
HEADLESS_IMPORT BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
HEADLESS_IMPORT BOOL GetClientRect(HWND hwnd, LPRECT rect);
HEADLESS_IMPORT BOOL GetWindowRect(HWND hwnd, LPRECT rect);
HEADLESS_IMPORT BOOL ScreenToClient(HWND hwnd, LPPOINT point);
HEADLESS_IMPORT BOOL ClientToScreen(HWND hwnd, LPPOINT point);
HEADLESS_IMPORT LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
HEADLESS_IMPORT LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
HEADLESS_IMPORT HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HEADLESS_IMPORT HCURSOR SetCursor(HCURSOR cursor);
HEADLESS_IMPORT HCURSOR GetCursor();
// A cursor of one's own: a handle, its planes not kept (nothing is shown here).
HEADLESS_IMPORT HCURSOR CreateCursor(HINSTANCE instance, int hotX, int hotY, int width, int height,
                                     const void* andPlane, const void* xorPlane);
HEADLESS_IMPORT BOOL DestroyCursor(HCURSOR cursor);

// messages
HEADLESS_IMPORT LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HEADLESS_IMPORT BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HEADLESS_IMPORT void PostQuitMessage(int exitCode);
HEADLESS_IMPORT BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
HEADLESS_IMPORT BOOL TranslateMessage(const MSG* msg);
HEADLESS_IMPORT LRESULT DispatchMessageW(const MSG* msg);
HEADLESS_IMPORT LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
HEADLESS_IMPORT LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// focus, capture, input state
HEADLESS_IMPORT HWND SetFocus(HWND hwnd);
HEADLESS_IMPORT HWND GetFocus();
HEADLESS_IMPORT HWND SetCapture(HWND hwnd);
HEADLESS_IMPORT BOOL ReleaseCapture();
HEADLESS_IMPORT HWND GetCapture();
HEADLESS_IMPORT BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track);
HEADLESS_IMPORT SHORT GetKeyState(int virtualKey);
HEADLESS_IMPORT BOOL GetCursorPos(LPPOINT point);
HEADLESS_IMPORT UINT GetDoubleClickTime();

// painting
HEADLESS_IMPORT BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HEADLESS_IMPORT BOOL ValidateRect(HWND hwnd, const RECT* rect);
HEADLESS_IMPORT BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);
HEADLESS_IMPORT BOOL UpdateWindow(HWND hwnd);
HEADLESS_IMPORT BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags);
HEADLESS_IMPORT HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
HEADLESS_IMPORT BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// GDI
HEADLESS_IMPORT HDC GetDC(HWND hwnd);
HEADLESS_IMPORT int ReleaseDC(HWND hwnd, HDC dc);
HEADLESS_IMPORT HDC CreateCompatibleDC(HDC dc);
HEADLESS_IMPORT BOOL DeleteDC(HDC dc);
HEADLESS_IMPORT int GetClipBox(HDC dc, LPRECT rect);
HEADLESS_IMPORT HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                         DWORD offset);
HEADLESS_IMPORT int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
HEADLESS_IMPORT HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HEADLESS_IMPORT BOOL DeleteObject(HGDIOBJ object);
HEADLESS_IMPORT BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop);
HEADLESS_IMPORT HBRUSH CreateSolidBrush(COLORREF color);
HEADLESS_IMPORT int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
HEADLESS_IMPORT COLORREF GetPixel(HDC dc, int x, int y);
HEADLESS_IMPORT BOOL GdiFlush();

// rectangles
HEADLESS_IMPORT BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
HEADLESS_IMPORT BOOL IsRectEmpty(const RECT* rect);
HEADLESS_IMPORT BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b);
HEADLESS_IMPORT BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b);
HEADLESS_IMPORT BOOL PtInRect(const RECT* rect, POINT point);
HEADLESS_IMPORT BOOL EqualRect(const RECT* a, const RECT* b);

// message boxes
HEADLESS_IMPORT int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// modules
HEADLESS_IMPORT HMODULE LoadLibraryW(LPCWSTR fileName);

// Files, for reading only: CreateFileW with GENERIC_READ and OPEN_EXISTING,
// then ReadFile (TRUE with 0 bytes at the end) and CloseHandle.
#define GENERIC_READ 0x80000000
#define FILE_SHARE_READ 0x00000001
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
HEADLESS_IMPORT HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, struct _SECURITY_ATTRIBUTES* attributes,
                                   DWORD disposition, DWORD flags, HANDLE templateFile);

// Shared memory: unnamed file mappings backed by memory, their views, and
// their handles. Only INVALID_HANDLE_VALUE as the file, PAGE_READWRITE, no
// name, no security attributes.
typedef size_t SIZE_T;
typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define PAGE_READWRITE 0x04
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F
#define ERROR_INVALID_HANDLE 6L
HEADLESS_IMPORT HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name);
HEADLESS_IMPORT LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
HEADLESS_IMPORT BOOL UnmapViewOfFile(LPCVOID view);
HEADLESS_IMPORT BOOL CloseHandle(HANDLE handle);

// Anonymous pipes: blocking reads and writes, no overlapped operations. A read
// of a pipe whose writing end is closed, once empty, fails with
// ERROR_BROKEN_PIPE; a write to one whose reading end is closed fails with
// ERROR_NO_DATA.
typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;
#define ERROR_BROKEN_PIPE 109L
#define ERROR_NO_DATA 232L
HEADLESS_IMPORT BOOL CreatePipe(HANDLE* readEnd, HANDLE* writeEnd, LPSECURITY_ATTRIBUTES attributes, DWORD size);
HEADLESS_IMPORT BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped);
HEADLESS_IMPORT BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
// Processes: a child program started with the standard handles given
// (STARTF_USESTDHANDLES; the handles must be inheritable and inheritance
// asked for; a null one is none, read and written as the null device),
// inheriting the inheritable pipe ends (or those of a handle list) under the
// same handle values, waiting for it, its exit code, ending it. The
// application name is a program of this system; the command line is split
// as Windows splits one (blanks between arguments, double quotes around one
// with blanks). Job objects end their processes when their last handle
// closes, if asked to; they never hold what their processes start, so the
// silent breakaway limit is taken and changes nothing. A child sees the
// flags of its startup information. OpenProcess opens any process for
// waiting on it and ending it.
typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    BYTE* lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;
typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;
typedef struct _PROC_THREAD_ATTRIBUTE_LIST* LPPROC_THREAD_ATTRIBUTE_LIST;
typedef struct _STARTUPINFOEXW {
    STARTUPINFOW StartupInfo;
    LPPROC_THREAD_ATTRIBUTE_LIST lpAttributeList;
} STARTUPINFOEXW, *LPSTARTUPINFOEXW;
#define EXTENDED_STARTUPINFO_PRESENT 0x00080000
#define PROC_THREAD_ATTRIBUTE_HANDLE_LIST 0x00020002
HEADLESS_IMPORT BOOL InitializeProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD count, DWORD flags,
                                                       SIZE_T* size);
HEADLESS_IMPORT BOOL UpdateProcThreadAttribute(LPPROC_THREAD_ATTRIBUTE_LIST list, DWORD flags, DWORD_PTR attribute,
                                               LPVOID value, SIZE_T size, LPVOID previous, SIZE_T* returnSize);
HEADLESS_IMPORT void DeleteProcThreadAttributeList(LPPROC_THREAD_ATTRIBUTE_LIST list);
#define STARTF_FORCEOFFFEEDBACK 0x00000080
#define STARTF_USESTDHANDLES 0x00000100
#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 258L
#define WAIT_FAILED ((DWORD)0xFFFFFFFF)
#define STILL_ACTIVE 259
HEADLESS_IMPORT BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD flags,
                                    LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                                    LPPROCESS_INFORMATION information);
HEADLESS_IMPORT HANDLE GetStdHandle(DWORD which);
HEADLESS_IMPORT void GetStartupInfoW(LPSTARTUPINFOW startup);
#define HANDLE_FLAG_INHERIT 0x00000001
HEADLESS_IMPORT BOOL SetHandleInformation(HANDLE handle, DWORD mask, DWORD flags);
// Waits on processes and events (eventfds, inheritable through a handle list
// like pipe ends); waiting for messages covers those posted from any thread
// (sent messages are delivered at once here, so there are none to wait for).
HEADLESS_IMPORT DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
HEADLESS_IMPORT DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
#define QS_KEY 0x0001
#define QS_MOUSEMOVE 0x0002
#define QS_MOUSEBUTTON 0x0004
#define QS_POSTMESSAGE 0x0008
#define QS_TIMER 0x0010
#define QS_PAINT 0x0020
#define QS_SENDMESSAGE 0x0040
#define QS_HOTKEY 0x0080
#define QS_ALLPOSTMESSAGE 0x0100
#define QS_RAWINPUT 0x0400
#define QS_MOUSE (QS_MOUSEMOVE | QS_MOUSEBUTTON)
#define QS_INPUT (QS_MOUSE | QS_KEY | QS_RAWINPUT)
#define QS_ALLEVENTS (QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY)
#define QS_ALLINPUT (QS_ALLEVENTS | QS_SENDMESSAGE)
#define PM_QS_SENDMESSAGE (QS_SENDMESSAGE << 16)
HEADLESS_IMPORT DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                                DWORD wakeMask);
HEADLESS_IMPORT HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                                    LPCWSTR name);
HEADLESS_IMPORT BOOL SetEvent(HANDLE event);
HEADLESS_IMPORT BOOL ResetEvent(HANDLE event);
HEADLESS_IMPORT BOOL GetExitCodeProcess(HANDLE process, LPDWORD code);
HEADLESS_IMPORT BOOL TerminateProcess(HANDLE process, UINT code);
#define SYNCHRONIZE 0x00100000L
#define PROCESS_TERMINATE 0x0001
HEADLESS_IMPORT HANDLE OpenProcess(DWORD access, BOOL inheritHandle, DWORD processId);
typedef union _LARGE_INTEGER {
    long long QuadPart;
} LARGE_INTEGER;
typedef struct _JOBOBJECT_BASIC_LIMIT_INFORMATION {
    LARGE_INTEGER PerProcessUserTimeLimit;
    LARGE_INTEGER PerJobUserTimeLimit;
    DWORD LimitFlags;
    SIZE_T MinimumWorkingSetSize;
    SIZE_T MaximumWorkingSetSize;
    DWORD ActiveProcessLimit;
    ULONG_PTR Affinity;
    DWORD PriorityClass;
    DWORD SchedulingClass;
} JOBOBJECT_BASIC_LIMIT_INFORMATION;
typedef struct _IO_COUNTERS {
    unsigned long long ReadOperationCount, WriteOperationCount, OtherOperationCount;
    unsigned long long ReadTransferCount, WriteTransferCount, OtherTransferCount;
} IO_COUNTERS;
typedef struct _JOBOBJECT_EXTENDED_LIMIT_INFORMATION {
    JOBOBJECT_BASIC_LIMIT_INFORMATION BasicLimitInformation;
    IO_COUNTERS IoInfo;
    SIZE_T ProcessMemoryLimit;
    SIZE_T JobMemoryLimit;
    SIZE_T PeakProcessMemoryUsed;
    SIZE_T PeakJobMemoryUsed;
} JOBOBJECT_EXTENDED_LIMIT_INFORMATION;
typedef enum _JOBOBJECTINFOCLASS { JobObjectExtendedLimitInformation = 9 } JOBOBJECTINFOCLASS;
#define JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK 0x00001000
#define JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE 0x00002000
HEADLESS_IMPORT HANDLE CreateJobObjectW(LPSECURITY_ATTRIBUTES attributes, LPCWSTR name);
HEADLESS_IMPORT BOOL SetInformationJobObject(HANDLE job, JOBOBJECTINFOCLASS infoClass, LPVOID info, DWORD size);
HEADLESS_IMPORT BOOL AssignProcessToJobObject(HANDLE job, HANDLE process);
// Crash dialogs: there are none here; the mode is kept.
#define SEM_FAILCRITICALERRORS 0x0001
#define SEM_NOGPFAULTERRORBOX 0x0002
#define SEM_NOOPENFILEERRORBOX 0x8000
HEADLESS_IMPORT UINT SetErrorMode(UINT mode);
// The current process, duplicated handles (file mappings within the current
// process or into a child it started, events within the current process; a
// child opens its duplicate on first use, so the source handle must stay
// open until then), the environment, and ending the process.
#define DUPLICATE_CLOSE_SOURCE 0x00000001
#define DUPLICATE_SAME_ACCESS 0x00000002
HEADLESS_IMPORT HANDLE GetCurrentProcess();
HEADLESS_IMPORT DWORD GetCurrentProcessId();
HEADLESS_IMPORT BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target,
                                     DWORD access, BOOL inheritHandle, DWORD options);
HEADLESS_IMPORT DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size);
HEADLESS_IMPORT BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value);
HEADLESS_IMPORT void ExitProcess(UINT code) __attribute__((noreturn));
#define ERROR_ENVVAR_NOT_FOUND 203L
HEADLESS_IMPORT BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD read, LPDWORD available,
                                   LPDWORD leftInMessage);
HEADLESS_IMPORT DWORD GetFullPathNameW(LPCWSTR fileName, DWORD size, LPWSTR buffer, LPWSTR* filePart);

// Error texts and debug output. Only FORMAT_MESSAGE_FROM_SYSTEM with
// FORMAT_MESSAGE_IGNORE_INSERTS into a caller's buffer, for the errors the
// backend itself sets; the debug output is kept for TakeDebugOutput.
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
HEADLESS_IMPORT DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer,
                                     DWORD size, void* arguments);
HEADLESS_IMPORT void OutputDebugStringW(LPCWSTR text);
HEADLESS_IMPORT FARPROC GetProcAddress(HMODULE module, LPCSTR name);
HEADLESS_IMPORT BOOL FreeLibrary(HMODULE module);
HEADLESS_IMPORT HMODULE GetModuleHandleW(LPCWSTR name);
HEADLESS_IMPORT BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module);
HEADLESS_IMPORT DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size);

// code pages
HEADLESS_IMPORT UINT GetACP();
HEADLESS_IMPORT int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst,
                                        int dstLength);
HEADLESS_IMPORT int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst,
                                        int dstLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);

// time and threads
HEADLESS_IMPORT DWORD GetTickCount();
HEADLESS_IMPORT DWORD GetCurrentThreadId();
HEADLESS_IMPORT void Sleep(DWORD milliseconds);
HEADLESS_IMPORT BOOL SwitchToThread();
// The current process's only: the processors it may run on (as many as a mask has bits).
HEADLESS_IMPORT BOOL GetProcessAffinityMask(HANDLE process, DWORD_PTR* processMask, DWORD_PTR* systemMask);
