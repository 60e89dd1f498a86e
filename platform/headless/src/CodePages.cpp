// Code pages: the ANSI code page is Windows-1252, as on a Western Windows
// installation; UTF-8 is supported too.
#include "Backend.h"

#include <algorithm>
#include <string>

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five undefined ones map to the C1
// control of the same value, as Windows does.
constexpr char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The ANSI code pages, of the system and of the thread, are Windows-1252.
bool IsSupported(UINT codePage) {
    return codePage == CP_ACP || codePage == CP_THREAD_ACP || codePage == 1252 || codePage == CP_UTF8;
}

char16_t FromWindows1252(unsigned char byte) {
    return (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

bool ToWindows1252(char16_t unit, unsigned char* byte) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        *byte = static_cast<unsigned char>(unit);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) {
            *byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

// Decodes UTF-8; invalid sequences become U+FFFD and set *invalid.
std::u16string DecodeUtf8(const unsigned char* s, size_t n, bool* invalid) {
    std::u16string out;
    size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        uint32_t cp = 0;
        size_t extra = 0;
        uint32_t minimum = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, extra = 1, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, extra = 2, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, extra = 3, minimum = 0x10000;
        } else {
            *invalid = true;
            out += u'\xFFFD';
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < n && (s[i + j] & 0xC0) == 0x80; ++j) cp = (cp << 6) | (s[i + j] & 0x3F);
        if (j <= extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            *invalid = true;
            out += u'\xFFFD';
            i += j;
            continue;
        }
        i += j;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string EncodeUtf8(const char16_t* s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

size_t SourceLength(const char* s, int length) { return length < 0 ? std::char_traits<char>::length(s) + 1 : length; }

size_t SourceLength(const char16_t* s, int length) {
    return length < 0 ? std::char_traits<char16_t>::length(s) + 1 : length;
}

// Copies a result out the way both conversions do: a zero size asks for the
// length, a short buffer fails.
template <typename Char>
int Deliver(const std::basic_string<Char>& result, Char* dst, int dstLength) {
    if (dstLength == 0) return static_cast<int>(result.size());
    if (result.size() > static_cast<size_t>(dstLength)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(result.begin(), result.end(), dst);
    return static_cast<int>(result.size());
}

}  // namespace

extern "C" UINT GetACP() { return 1252; }

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst, int dstLength) {
    if (!src || srcLength == 0 || srcLength < -1 || dstLength < 0 || (dstLength > 0 && !dst) ||
        !IsSupported(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = SourceLength(src, srcLength);
    auto bytes = reinterpret_cast<const unsigned char*>(src);
    std::u16string result;
    if (codePage == CP_UTF8) {
        bool invalid = false;
        result = DecodeUtf8(bytes, n, &invalid);
        if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    } else {
        for (size_t i = 0; i < n; ++i) result += FromWindows1252(bytes[i]);
    }
    return Deliver(result, dst, dstLength);
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR src, int srcLength, LPSTR dst, int dstLength,
                                   LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    if (!src || srcLength == 0 || srcLength < -1 || dstLength < 0 || (dstLength > 0 && !dst) ||
        !IsSupported(codePage) || (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t n = SourceLength(src, srcLength);
    std::string result;
    if (codePage == CP_UTF8) {
        result = EncodeUtf8(src, n);
    } else {
        bool usedDefault = false;
        for (size_t i = 0; i < n; ++i) {
            unsigned char byte;
            if (!ToWindows1252(src[i], &byte)) {
                byte = static_cast<unsigned char>(defaultChar ? *defaultChar : '?');
                usedDefault = true;
            }
            result += static_cast<char>(byte);
        }
        if (usedDefaultChar) *usedDefaultChar = usedDefault;
    }
    return Deliver(result, dst, dstLength);
}

namespace headless {

std::string ToUtf8(const std::u16string& text) { return EncodeUtf8(text.data(), text.size()); }

std::string SystemPath(const std::u16string& path) {
    std::string converted = ToUtf8(path);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    return converted;
}

std::u16string FromUtf8(const std::string& text) {
    bool invalid = false;
    return DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), &invalid);
}

}  // namespace headless
