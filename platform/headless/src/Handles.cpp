// Handles of kernel objects: file mappings and pipe ends.
#include <unistd.h>

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
