#include "Platform.h"

std::u16string Utf16FromUtf8(const std::string& text) {
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(units > 0 ? units : 0), u'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), AsWide(&wide[0]), units);
    return wide;
}

std::string Utf8FromUtf16(const std::u16string& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, AsWide(text.data()), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                    nullptr);
    std::string narrow(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, AsWide(text.data()), static_cast<int>(text.size()), &narrow[0], bytes, nullptr,
                            nullptr);
    }
    return narrow;
}

HMODULE ModuleOfAddress(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
    return module;
}

std::u16string EnvironmentValue(const char16_t* name) {
    DWORD needed = GetEnvironmentVariableW(AsWide(name), nullptr, 0);
    if (needed == 0) return std::u16string();
    std::u16string value(needed, u'\0');
    DWORD length = GetEnvironmentVariableW(AsWide(name), AsWide(&value[0]), needed);
    value.resize(length < needed ? length : 0);
    return value;
}
