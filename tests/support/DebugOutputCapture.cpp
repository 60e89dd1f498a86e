#include "DebugOutputCapture.h"

#include <Platform.h>

#ifdef _WIN32

namespace {

constexpr DWORD kNarrowText = 0x40010006;  // DBG_PRINTEXCEPTION_C
constexpr DWORD kWideText = 0x4001000A;    // DBG_PRINTEXCEPTION_WIDE_C

std::vector<std::u16string> captured;
bool narrowEchoExpected = false;  // the system raises the narrow text after an unhandled wide one

LONG CALLBACK Capture(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    if (record.ExceptionCode == kWideText) {
        captured.push_back(AsUtf16(reinterpret_cast<LPCWSTR>(record.ExceptionInformation[1])));
        narrowEchoExpected = true;
    } else if (record.ExceptionCode == kNarrowText) {
        if (!narrowEchoExpected) {
            const char* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
            int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
            std::u16string wide(static_cast<size_t>(length > 0 ? length : 1), u'\0');
            MultiByteToWideChar(CP_ACP, 0, text, -1, AsWide(&wide[0]), length);
            wide.resize(wide.size() - 1);
            captured.push_back(wide);
        }
        narrowEchoExpected = false;
    }
    return EXCEPTION_CONTINUE_SEARCH;  // the system's own handling goes on
}

}  // namespace

DebugOutputCapture::DebugOutputCapture() {
    captured.clear();
    narrowEchoExpected = false;
    handler_ = AddVectoredExceptionHandler(1, &Capture);
}

DebugOutputCapture::~DebugOutputCapture() {
    if (handler_) RemoveVectoredExceptionHandler(handler_);
}

std::vector<std::u16string> DebugOutputCapture::Take() {
    std::vector<std::u16string> taken;
    taken.swap(captured);
    return taken;
}

#else

#include <headless_control.h>

DebugOutputCapture::DebugOutputCapture() { headless::TakeDebugOutput(); }

DebugOutputCapture::~DebugOutputCapture() = default;

std::vector<std::u16string> DebugOutputCapture::Take() { return headless::TakeDebugOutput(); }

#endif

std::string DebugOutputCapture::TakeText() {
    std::string joined;
    for (const std::u16string& line : Take()) joined += Utf8FromUtf16(line);
    return joined;
}
