// Handles of kernel objects (file mappings, pipe ends, processes, files
// opened for reading), and opening files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "Backend.h"

using namespace headless;

headless::KernelObject::~KernelObject() {
    if (fd >= 0) close(fd);
}

std::shared_ptr<KernelObject> Backend::FindKernelObject(HANDLE handle, KernelObject::Kind kind) {
    std::lock_guard<std::mutex> lock(kernelMutex);
    auto it = kernelObjects.find(handle);
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
