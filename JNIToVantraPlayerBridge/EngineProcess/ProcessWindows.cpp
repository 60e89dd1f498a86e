#include "ProcessWindows.h"

#include <array>

namespace {

constexpr int kTextRoom = 1024;

// The texts windows keep for themselves, read without sending a message:
// the other process may be too busy to answer one.
std::u16string KeptText(HWND window) {
    std::array<WCHAR, kTextRoom> text{};
    int length = InternalGetWindowText(window, text.data(), static_cast<int>(text.size()));
    return std::u16string(AsUtf16(text.data()), length > 0 ? static_cast<size_t>(length) : 0);
}

std::u16string ClassOf(HWND window) {
    std::array<WCHAR, 64> name{};
    int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    return std::u16string(AsUtf16(name.data()), length > 0 ? static_cast<size_t>(length) : 0);
}

struct Search {
    DWORD processId;
    std::vector<ShownWindow> found;
};

BOOL CALLBACK AddStaticText(HWND child, LPARAM into) {
    if (ClassOf(child) != u"Static") return TRUE;
    std::u16string text = KeptText(child);
    auto* texts = reinterpret_cast<std::u16string*>(into);
    if (!text.empty()) *texts += (texts->empty() ? u"" : u"\n") + text;
    return TRUE;
}

BOOL CALLBACK AddIfShownBy(HWND window, LPARAM into) {
    auto* search = reinterpret_cast<Search*>(into);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    ShownWindow shown{KeptText(window), u""};
    EnumChildWindows(window, AddStaticText, reinterpret_cast<LPARAM>(&shown.text));
    search->found.push_back(std::move(shown));
    return TRUE;
}

}  // namespace

std::vector<ShownWindow> WindowsShownBy(DWORD processId) {
    Search search{processId, {}};
    if (processId != 0) EnumWindows(AddIfShownBy, reinterpret_cast<LPARAM>(&search));
    return std::move(search.found);
}

bool IsRuntimeErrorBox(const ShownWindow& window) {
    // The titles the Visual C++ runtimes give their error boxes, release and debug.
    return window.title == u"Microsoft Visual C++ Runtime Library" ||
           window.title == u"Microsoft Visual C++ Debug Library";
}

std::u16string Described(const std::vector<ShownWindow>& windows) {
    std::u16string described;
    for (const ShownWindow& window : windows) {
        std::u16string text;  // on one line: each run of line breaks a blank
        for (char16_t c : window.text) {
            bool lineBreak = c == u'\n' || c == u'\r';
            if (!lineBreak) {
                text += c;
            } else if (!text.empty() && text.back() != u' ') {
                text += u' ';
            }
        }
        if (!described.empty()) described += u"; ";
        described += u"\"" + window.title + u"\"" + (text.empty() ? u"" : u": " + text);
    }
    return described;
}
