// The platform underneath the library: <windows.h> itself on Windows, the
// headless backend's <windows.h> on Linux. Both have WCHAR as a 16-bit unit
// (wchar_t on Windows, char16_t on Linux), so UTF-16 texts are char16_t in
// our own code and are viewed as WCHAR only at Win32 calls.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#endif
#include <windows.h>

#include <string>

static_assert(sizeof(WCHAR) == sizeof(char16_t), "WCHAR must be a UTF-16 unit");

inline LPCWSTR AsWide(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
inline LPWSTR AsWide(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }
inline const char16_t* AsUtf16(LPCWSTR text) { return reinterpret_cast<const char16_t*>(text); }

// Signed client coordinates of a mouse message (<windowsx.h> on Windows).
inline int PointX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
inline int PointY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

// An export of a loaded module as a function of the given type, or null. The
// detour through void (*)() is the sanctioned way to change function types.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The module (DLL or shared library) that contains the given code.
HMODULE ModuleOfAddress(const void* address);

// An environment variable's value; empty when it is unset.
std::u16string EnvironmentValue(const char16_t* name);

// UTF-8 and UTF-16, through the system's conversions; malformed input gives
// what they give for it.
std::u16string Utf16FromUtf8(const std::string& text);
std::string Utf8FromUtf16(const std::u16string& text);
