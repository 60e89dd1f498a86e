// Handles of kernel objects (file mappings, pipe ends, events, processes,
// files opened for reading), and opening files.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>

#include "Backend.h"

using namespace headless;

headless::KernelObject::~KernelObject() {
    if (kind == Kind::Job && killOnClose) {
        for (const auto& process : processes) {
            if (!process->exited) syscall(SYS_pidfd_send_signal, process->fd, SIGKILL, nullptr, 0);
        }
    }
    if (fd >= 0) close(fd);
}

namespace {

// A handle duplicated into a child names the parent's descriptor; the child
// opens it through /proc on first use.
constexpr uintptr_t kParentDescriptorTag = 0x7F000000;

bool NamesParentDescriptor(HANDLE handle) {
    return (reinterpret_cast<uintptr_t>(handle) & 0xFF000000) == kParentDescriptorTag;
}

HANDLE ParentDescriptorHandle(int fd) {
    return reinterpret_cast<HANDLE>(kParentDescriptorTag | static_cast<uintptr_t>(fd));
}

// The parent's section behind a duplicated handle, kept under that handle.
void OpenParentSection(std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>& objects, HANDLE handle) {
    int parentFd = static_cast<int>(reinterpret_cast<uintptr_t>(handle) & 0x00FFFFFF);
    std::string path = "/proc/" + std::to_string(getppid()) + "/fd/" + std::to_string(parentFd);
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    struct stat status {};
    if (fd < 0) return;
    if (fstat(fd, &status) != 0) {
        close(fd);
        return;
    }
    auto section = std::make_shared<KernelObject>();
    section->kind = KernelObject::Kind::Section;
    section->fd = fd;
    section->size = static_cast<uint64_t>(status.st_size);
    objects[handle] = std::move(section);
}

constexpr uintptr_t kDescriptorTag = 0x7E000000;

HANDLE DescriptorHandle(int fd) { return reinterpret_cast<HANDLE>(kDescriptorTag | static_cast<uintptr_t>(fd)); }

// What an inherited descriptor is: an eventfd, a memfd (a section) or a socket (a pipe end).
KernelObject::Kind KindOfDescriptor(int fd) {
    char target[128] = {};
    std::string link = "/proc/self/fd/" + std::to_string(fd);
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    std::string name(target, length > 0 ? static_cast<size_t>(length) : 0);
    if (name.find("eventfd") != std::string::npos) return KernelObject::Kind::Event;
    if (name.find("/memfd:") == 0) return KernelObject::Kind::Section;
    return KernelObject::Kind::PipeEnd;
}

// The pipe ends, events and sections a parent let this process inherit (CreateProcessW
// names their descriptors in the environment), under the handles they had there.
void AdoptInheritedDescriptors(std::unordered_map<HANDLE, std::shared_ptr<KernelObject>>& objects) {
    const char* list = std::getenv(kInheritedPipeEndsVariable);
    if (!list) return;
    std::istringstream descriptors(list);
    std::string item;
    while (std::getline(descriptors, item, ',')) {
        int fd = std::atoi(item.c_str());
        if (fd <= 2 || fcntl(fd, F_GETFD) < 0) continue;
        fcntl(fd, F_SETFD, FD_CLOEXEC);  // inherited further only when asked again
        auto object = std::make_shared<KernelObject>();
        object->kind = KindOfDescriptor(fd);
        object->fd = fd;
        struct stat status {};
        if (object->kind == KernelObject::Kind::Section && fstat(fd, &status) == 0)
            object->size = static_cast<uint64_t>(status.st_size);
        object->inheritable = true;
        objects[DescriptorHandle(fd)] = std::move(object);
    }
    unsetenv(kInheritedPipeEndsVariable);
}

}  // namespace

std::shared_ptr<KernelObject> Backend::FindKernelObject(HANDLE handle, KernelObject::Kind kind) {
    std::lock_guard<std::mutex> lock(kernelMutex);
    static std::once_flag adopted;
    std::call_once(adopted, [this] { AdoptInheritedDescriptors(kernelObjects); });
    auto it = kernelObjects.find(handle);
    if (it == kernelObjects.end() && kind == KernelObject::Kind::Section && NamesParentDescriptor(handle)) {
        OpenParentSection(kernelObjects, handle);
        it = kernelObjects.find(handle);
    }
    if (it == kernelObjects.end() || it->second->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

HANDLE Backend::AddKernelObject(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> lock(kernelMutex);
    HANDLE handle = NewHandle();
    kernelObjects[handle] = std::move(object);
    return handle;
}

HANDLE Backend::AddDescriptorObject(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> lock(kernelMutex);
    HANDLE handle = DescriptorHandle(object->fd);
    kernelObjects[handle] = std::move(object);
    return handle;
}

extern "C" BOOL SetHandleInformation(HANDLE handle, DWORD mask, DWORD flags) {
    Backend& b = Backend::Get();
    std::lock_guard<std::mutex> lock(b.kernelMutex);
    auto it = b.kernelObjects.find(handle);
    if (it == b.kernelObjects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (mask & HANDLE_FLAG_INHERIT) it->second->inheritable = (flags & HANDLE_FLAG_INHERIT) != 0;
    return TRUE;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> closed;  // released outside the lock
    std::lock_guard<std::mutex> lock(b.kernelMutex);
    auto it = b.kernelObjects.find(handle);
    if (it == b.kernelObjects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    closed = std::move(it->second);
    b.kernelObjects.erase(it);
    return TRUE;
}

extern "C" HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, struct _SECURITY_ATTRIBUTES*, DWORD disposition, DWORD,
                              HANDLE templateFile) {
    if (!name || !*name || access != GENERIC_READ || disposition != OPEN_EXISTING || templateFile) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = SystemPath(name);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno == ENOENT   ? ERROR_FILE_NOT_FOUND
                     : errno == EACCES ? ERROR_ACCESS_DENIED
                                       : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);  // as Windows answers for a folder
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<KernelObject>();
    file->kind = KernelObject::Kind::File;
    file->fd = fd;
    return Backend::Get().AddKernelObject(file);
}

extern "C" HANDLE GetCurrentProcess() { return reinterpret_cast<HANDLE>(intptr_t{-1}); }

extern "C" BOOL DuplicateHandle(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, HANDLE* target, DWORD,
                                BOOL inheritHandle, DWORD options) {
    Backend& b = Backend::Get();
    std::shared_ptr<KernelObject> section = b.FindKernelObject(source, KernelObject::Kind::Section);
    if (!section) section = b.FindKernelObject(source, KernelObject::Kind::Event);  // to this process only
    bool toSelf = targetProcess == GetCurrentProcess();
    bool toChild = !toSelf && section && section->kind == KernelObject::Kind::Section &&
                   b.FindKernelObject(targetProcess, KernelObject::Kind::Process);
    if (sourceProcess != GetCurrentProcess() || !section || !(toSelf || toChild) || !target ||
        (options & DUPLICATE_CLOSE_SOURCE)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (toChild) {
        *target = ParentDescriptorHandle(section->fd);
        return TRUE;
    }
    auto copy = std::make_shared<KernelObject>(*section);
    copy->fd = fcntl(section->fd, F_DUPFD_CLOEXEC, 0);
    copy->inheritable = inheritHandle != FALSE;
    if (copy->fd < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    *target = b.AddDescriptorObject(copy);
    return TRUE;
}
