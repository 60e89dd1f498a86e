// File mappings backed by memory and their views.
#include <sys/mman.h>
#include <unistd.h>

#include "Backend.h"

using namespace headless;

namespace {

constexpr uint64_t kAllocationGranularity = 64 * 1024;  // view offsets are multiples of it, as on Windows
constexpr DWORD kMappedAlignment = 1132;                // ERROR_MAPPED_ALIGNMENT

uint64_t PageSize() { return static_cast<uint64_t>(sysconf(_SC_PAGESIZE)); }

}  // namespace

namespace headless {

std::shared_ptr<void> MapSection(HANDLE handle, uint64_t offset, size_t bytes, void** at) {
    std::shared_ptr<KernelObject> section = Backend::Get().FindKernelObject(handle, KernelObject::Kind::Section);
    if (!section) return nullptr;
    if (offset > section->size || bytes > section->size - offset) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t start = offset / PageSize() * PageSize();
    size_t length = static_cast<size_t>(offset - start) + bytes;
    void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, section->fd, static_cast<off_t>(start));
    if (view == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    *at = static_cast<char*>(view) + (offset - start);
    // The section lives as long as a view of it.
    return std::shared_ptr<void>(view, [section, length](void* mapped) { munmap(mapped, length); });
}

}  // namespace headless

extern "C" HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                                     DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name) {
    uint64_t size = uint64_t{maximumSizeHigh} << 32 | maximumSizeLow;
    if (file != INVALID_HANDLE_VALUE || attributes || protect != PAGE_READWRITE || name || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto section = std::make_shared<KernelObject>();
    section->kind = KernelObject::Kind::Section;
    section->fd = memfd_create("headless-section", MFD_CLOEXEC);
    if (section->fd < 0 || ftruncate(section->fd, static_cast<off_t>(size)) != 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    section->size = size;
    return Backend::Get().AddDescriptorObject(section);  // inheritable through a handle list
}

extern "C" LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
    uint64_t offset = uint64_t{offsetHigh} << 32 | offsetLow;
    if (!(access & (FILE_MAP_READ | FILE_MAP_WRITE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (offset % kAllocationGranularity != 0) {
        SetLastError(kMappedAlignment);
        return nullptr;
    }
    std::shared_ptr<KernelObject> section = Backend::Get().FindKernelObject(mapping, KernelObject::Kind::Section);
    if (!section) return nullptr;
    if (bytes == 0 && offset < section->size) bytes = static_cast<SIZE_T>(section->size - offset);  // the rest
    void* at = nullptr;
    std::shared_ptr<void> view = MapSection(mapping, offset, bytes, &at);
    if (!view) return nullptr;
    Backend::Get().views[at] = view;
    return at;
}

extern "C" BOOL UnmapViewOfFile(LPCVOID view) {
    if (Backend::Get().views.erase(view) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
