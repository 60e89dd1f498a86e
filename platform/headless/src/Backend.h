// Internal state of the headless Win32 backend. One Backend per process.
#pragma once

#include <headless_control.h>
#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace headless {

// A 32-bit pixel surface, 0x00RRGGBB per pixel, as DIB sections store them.
struct PixelSurface {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    bool bottomUp = false;

    uint32_t* Row(int y) const { return pixels + static_cast<ptrdiff_t>(bottomUp ? height - 1 - y : y) * width; }
    RECT Bounds() const { return RECT{0, 0, width, height}; }
};

struct WindowClass {
    std::u16string name;
    WNDCLASSEXW info{};
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> windowClass;
    HWND parent = nullptr;
    std::vector<HWND> children;  // bottom of the z-order first
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // in the parent's client coordinates; screen for top-level windows
    std::u16string text;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::vector<unsigned char> extraBytes;
    DWORD threadId = 0;
    bool destroying = false;

    bool hasInvalidArea = false;
    RECT invalidArea{};
    bool eraseNeeded = false;

    std::vector<uint32_t> surfaceStore;  // client pixels, top row first
    int surfaceWidth = 0;
    int surfaceHeight = 0;

    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
    PixelSurface Surface() { return PixelSurface{surfaceStore.data(), surfaceWidth, surfaceHeight, false}; }
};

enum class GdiKind { Bitmap, Brush };

struct GdiObject {
    GdiKind kind = GdiKind::Bitmap;
    bool stock = false;
    // bitmap
    BITMAPINFOHEADER header{};
    std::unique_ptr<uint32_t[]> bits;   // own pixels, or
    std::shared_ptr<void> sectionView;  // a view of a file mapping holding them
    HANDLE section = nullptr;
    DWORD sectionOffset = 0;
    PixelSurface surface;
    HDC selectedInto = nullptr;
    // brush
    COLORREF color = 0;
};

// A kernel object behind a handle: a file mapping backed by memory (handles
// and views share it), one end of a pipe, an event (an eventfd), a process...
// Its descriptor closes with the last reference.
struct KernelObject {
    enum class Kind { Section, PipeEnd, Process, Thread, File, Job, Event } kind = Kind::Section;
    int fd = -1;        // a process's is its pidfd
    uint64_t size = 0;  // of a section
    bool inheritable = false;
    int pid = 0;                                           // of a process
    bool child = true;                                     // of a process: started here, so reaped here
    bool exited = false;                                   // of a process, once reaped
    DWORD exitCode = 0;                                    // of a process that exited
    std::optional<DWORD> terminationCode;                  // what TerminateProcess asked for
    bool killOnClose = false;                              // of a job
    bool manualReset = false;                              // of an event
    std::vector<std::shared_ptr<KernelObject>> processes;  // of a job
    ~KernelObject();
};

enum class DcKind { Screen, Window, Paint, Memory };

struct DeviceContext {
    DcKind kind = DcKind::Memory;
    HWND window = nullptr;
    HGDIOBJ bitmap = nullptr;  // memory DCs only
    HGDIOBJ brush = nullptr;
    RECT clip{};  // in the DC's coordinates
};

// One queued message with the key or button state it changes when removed.
struct QueuedMessage {
    MSG msg{};
    bool isInput = false;
    int stateKey = 0;  // virtual key whose state changes at retrieval, 0 for none
    bool stateDown = false;
};

struct ThreadQueue {
    std::deque<QueuedMessage> posted;
    std::deque<QueuedMessage> input;
    bool quitPosted = false;
    int quitCode = 0;
    int wakeFd = -1;  // an eventfd written at each post, once the thread has waited for messages
};

struct ClickMemory {
    HWND window = nullptr;
    UINT downMessage = 0;
    POINT screenPoint{};
    DWORD time = 0;
};

struct MessageBoxAnswers {
    std::deque<int> next;
    std::vector<MessageBoxRecord> shown;
};

class Backend {
public:
    static Backend& Get();

    // windows
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes;  // keyed by name and module
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevels;  // bottom of the z-order first
    uintptr_t nextHandle = 0x10000;

    // input
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND trackedForLeave = nullptr;
    POINT cursor{};
    HCURSOR currentCursor = nullptr;
    BYTE keyState[256] = {};       // as the thread has seen it, for GetKeyState
    BYTE asyncKeyState[256] = {};  // as injected, for the state words of new input
    ClickMemory lastClick;
    MessageBoxAnswers messageBoxes;
    int blitDelayMs = 0;  // before each BitBlt onto a window
    std::map<HWND, std::vector<MSG>> defaultProcessed;  // the watched windows only
    std::vector<std::u16string> debugOutput;

    // GDI
    std::unordered_map<HDC, std::unique_ptr<DeviceContext>> dcs;
    std::unordered_map<HGDIOBJ, std::unique_ptr<GdiObject>> objects;
    HGDIOBJ stockBitmap = nullptr;
    HGDIOBJ stockBrush = nullptr;

    // shared memory
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> kernelObjects;  // guarded by kernelMutex
    std::mutex kernelMutex;  // pipes are read and written from any thread
    // The object of a handle if it is of the kind; else null, with ERROR_INVALID_HANDLE.
    std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle, KernelObject::Kind kind);
    HANDLE AddKernelObject(std::shared_ptr<KernelObject> object);
    // A pipe end's, event's or section's handle names its descriptor, so that a child
    // that inherits the descriptor finds it under the same handle, as on Windows.
    HANDLE AddDescriptorObject(std::shared_ptr<KernelObject> object);
    std::map<const void*, std::shared_ptr<void>> views;  // by address; unmapped when released

    // queues; the mutex guards only queues, so that other threads may post
    std::mutex queueMutex;
    std::map<DWORD, ThreadQueue> queues;

    Window* FindWindow(HWND hwnd);
    DeviceContext* FindDc(HDC dc);
    GdiObject* FindObject(HGDIOBJ object);
    void* NewHandle();

private:
    Backend();
};

// Where a child finds the descriptors of the pipe ends and events it inherited.
constexpr char kInheritedPipeEndsVariable[] = "HEADLESS_INHERITED_PIPE_ENDS";
// The flags of a child's startup information, as its parent gave them.
constexpr char kStartupFlagsVariable[] = "HEADLESS_STARTUP_FLAGS";

// Shared helpers of the backend's source files.
std::u16string LowerName(LPCWSTR name);
bool IsDrawable(HWND hwnd);  // the window and all its ancestors are visible
bool IsSameOrDescendant(HWND ancestor, HWND hwnd);
POINT ClientOriginOnScreen(HWND hwnd);
HWND WindowFromScreenPoint(POINT screen);
void ResizeSurface(Window& window);
void InvalidateTree(HWND hwnd, const RECT& clientRect, bool erase);
void ForgetWindowMessages(HWND hwnd);
void PostToQueue(DWORD threadId, const QueuedMessage& message, bool input);
void WakeQueue(ThreadQueue& queue);  // queueMutex held
// Reaps the process if it has ended (waiting as long as `block` says).
void ReapProcess(KernelObject& process, bool block);
bool CheckLeaveTracking();
RECT Intersect(const RECT& a, const RECT& b);
bool Empty(const RECT& r);
// A view of `bytes` from `offset` of a section (any offset; the view's start
// is page-aligned below it, *at is the byte at `offset`); null on failure.
std::shared_ptr<void> MapSection(HANDLE section, uint64_t offset, size_t bytes, void** at);
std::string ToUtf8(const std::u16string& text);
// A Windows path as this system names it: UTF-8, backslashes turned to slashes.
std::string SystemPath(const std::u16string& path);
std::u16string FromUtf8(const std::string& text);

}  // namespace headless
