// Anonymous pipes over a connected pair of local stream sockets (a socket
// reports a closed peer as a failed send rather than with SIGPIPE), and
// ReadFile of files opened for reading.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "Backend.h"

using namespace headless;

namespace {

std::shared_ptr<KernelObject> PipeEnd(int fd, bool inheritable) {
    auto end = std::make_shared<KernelObject>();
    end->kind = KernelObject::Kind::PipeEnd;
    end->fd = fd;
    end->inheritable = inheritable;
    return end;
}

// The pipe end (or, to read, the file) of a handle, for a blocking transfer;
// null, with the error set, otherwise.
std::shared_ptr<KernelObject> TransferEnd(HANDLE file, const void* buffer, DWORD bytes, LPOVERLAPPED overlapped,
                                          bool reading) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> end = reading ? b.FindKernelObject(file, KernelObject::Kind::File) : nullptr;
    if (!end) end = b.FindKernelObject(file, KernelObject::Kind::PipeEnd);
    if (end && (overlapped || (!buffer && bytes))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return end;
}

}  // namespace

extern "C" BOOL CreatePipe(HANDLE* readEnd, HANDLE* writeEnd, LPSECURITY_ATTRIBUTES attributes, DWORD) {
    int fds[2];
    if (!readEnd || !writeEnd || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    shutdown(fds[0], SHUT_WR);  // one way, as an anonymous pipe
    shutdown(fds[1], SHUT_RD);
    Backend& b = Backend::Get();
    bool inheritable = attributes && attributes->bInheritHandle;
    *readEnd = b.AddDescriptorObject(PipeEnd(fds[0], inheritable));
    *writeEnd = b.AddDescriptorObject(PipeEnd(fds[1], inheritable));
    return TRUE;
}

extern "C" BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped) {
    if (read) *read = 0;
    std::shared_ptr<KernelObject> end = TransferEnd(file, buffer, bytes, overlapped, true);
    if (!end) return FALSE;
    if (bytes == 0) return TRUE;
    bool isFile = end->kind == KernelObject::Kind::File;
    ssize_t got;
    do {
        got = isFile ? ::read(end->fd, buffer, bytes) : recv(end->fd, buffer, bytes, 0);
    } while (got < 0 && errno == EINTR);
    if (isFile && got >= 0) {  // a file's end reads as success with nothing
        if (read) *read = static_cast<DWORD>(got);
        return TRUE;
    }
    if (got <= 0) {
        SetLastError(ERROR_BROKEN_PIPE);
        return FALSE;
    }
    if (read) *read = static_cast<DWORD>(got);
    return TRUE;
}

extern "C" BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped) {
    if (written) *written = 0;
    std::shared_ptr<KernelObject> end = TransferEnd(file, buffer, bytes, overlapped, false);
    if (!end) return FALSE;
    const char* at = static_cast<const char*>(buffer);
    DWORD left = bytes;
    while (left > 0) {  // a blocking write returns when all of it went
        ssize_t sent = send(end->fd, at, left, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) {
            SetLastError(ERROR_NO_DATA);
            return FALSE;
        }
        at += sent;
        left -= static_cast<DWORD>(sent);
    }
    if (written) *written = bytes;
    return TRUE;
}

extern "C" BOOL PeekNamedPipe(HANDLE pipe, LPVOID buffer, DWORD size, LPDWORD read, LPDWORD available,
                              LPDWORD leftInMessage) {
    std::shared_ptr<KernelObject> end = Backend::Get().FindKernelObject(pipe, KernelObject::Kind::PipeEnd);
    if (!end) return FALSE;
    if (buffer && size) {  // only the count is supported
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int queued = 0;
    char probe;
    if (ioctl(end->fd, FIONREAD, &queued) != 0 ||
        (queued == 0 && recv(end->fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0)) {  // empty, and the writer gone
        SetLastError(ERROR_BROKEN_PIPE);
        return FALSE;
    }
    if (read) *read = 0;
    if (available) *available = static_cast<DWORD>(queued);
    if (leftInMessage) *leftInMessage = 0;
    return TRUE;
}
