// Events over eventfds, and waiting on processes, events and the thread's
// message queue with one poll.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "Backend.h"

using namespace headless;

namespace {

std::shared_ptr<KernelObject> FindWaitable(HANDLE handle) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> object = b.FindKernelObject(handle, KernelObject::Kind::Process);
    if (!object) object = b.FindKernelObject(handle, KernelObject::Kind::Event);
    return object;
}

// Takes the object's signal if it is signalled: an auto-reset event is reset
// by the wait that sees it, as only one waiter is released.
bool TakeSignal(KernelObject& object) {
    if (object.kind == KernelObject::Kind::Process) {
        ReapProcess(object, false);
        if (!object.exited) {
            pollfd ended{object.fd, POLLIN, 0};
            if (poll(&ended, 1, 0) <= 0) return false;
            ReapProcess(object, true);
        }
        return true;
    }
    if (object.manualReset) {
        pollfd set{object.fd, POLLIN, 0};
        return poll(&set, 1, 0) > 0;
    }
    uint64_t count = 0;
    return read(object.fd, &count, sizeof count) == sizeof count;
}

// The descriptor written when a message is posted to this thread.
int QueueWakeDescriptor(bool* queued) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.queueMutex);
    ThreadQueue& queue = b.queues[GetCurrentThreadId()];
    if (queue.wakeFd < 0) queue.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    uint64_t count = 0;
    if (read(queue.wakeFd, &count, sizeof count) < 0) {
        // nothing posted since the last wait
    }
    *queued = !queue.posted.empty() || !queue.input.empty() || queue.quitPosted;
    return queue.wakeFd;
}

constexpr DWORD kPostedMask = QS_ALLEVENTS & ~DWORD{QS_PAINT};

DWORD WaitAny(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask) {
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        objects.push_back(FindWaitable(handles[i]));
        if (!objects.back()) return WAIT_FAILED;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        for (DWORD i = 0; i < count; ++i) {
            if (TakeSignal(*objects[i])) return WAIT_OBJECT_0 + i;
        }
        std::vector<pollfd> ready;
        for (const auto& object : objects) ready.push_back(pollfd{object->fd, POLLIN, 0});
        if (wakeMask & kPostedMask) {
            bool queued = false;
            ready.push_back(pollfd{QueueWakeDescriptor(&queued), POLLIN, 0});
            if (queued) return WAIT_OBJECT_0 + count;
        }
        int timeout = -1;
        if (milliseconds != INFINITE) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<long long>(left.count(), 0));
        }
        int result = poll(ready.data(), ready.size(), timeout);
        if (result < 0 && errno != EINTR) return WAIT_FAILED;
        if (result == 0) return WAIT_TIMEOUT;
        // Another waiter may have taken an event's signal: look again.
    }
}

}  // namespace

extern "C" HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    int fd = name ? -1 : eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto event = std::make_shared<KernelObject>();
    event->kind = KernelObject::Kind::Event;
    event->fd = fd;
    event->manualReset = manualReset != FALSE;
    event->inheritable = attributes && attributes->bInheritHandle;
    return Backend::Get().AddDescriptorObject(event);
}

extern "C" BOOL SetEvent(HANDLE handle) {
    std::shared_ptr<KernelObject> event = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Event);
    uint64_t one = 1;
    if (!event) return FALSE;
    // A full counter (set countless times, never waited for) is still set.
    return write(event->fd, &one, sizeof one) == sizeof one || errno == EAGAIN;
}

extern "C" BOOL ResetEvent(HANDLE handle) {
    std::shared_ptr<KernelObject> event = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Event);
    uint64_t count = 0;
    if (!event) return FALSE;
    return read(event->fd, &count, sizeof count) == sizeof count || errno == EAGAIN;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) { return WaitAny(1, &handle, milliseconds, 0); }

extern "C" DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (waitAll || count == 0 || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return WaitAny(count, handles, milliseconds, 0);
}

extern "C" DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                           DWORD wakeMask) {
    if (waitAll || (count && !handles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return WaitAny(count, handles, milliseconds, wakeMask);
}
