#include "EngineLibrary.h"

#include <cstring>

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

std::u16string SystemErrorText(DWORD error) {
    std::u16string text(512, u'\0');
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  AsWide(&text[0]), static_cast<DWORD>(text.size()), nullptr);
    text.resize(length);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
    std::u16string number = Ascii(std::to_string(error));
    return text.empty() ? u"error " + number : text + u" (error " + number + u")";
}

std::u16string LoadEngineLibrary(const std::u16string& path, HostServices* services, EngineFunctions* functions,
                                 HMODULE* module) {
    *module = LoadLibraryW(AsWide(path.c_str()));
    if (!*module) return u"it does not load: " + SystemErrorText(GetLastError());
    auto initialize = ProcAddress<ExternalPlayerInitialize>(*module, kEngineEntryPoint);
    int32_t result = initialize ? initialize(services, functions) : 0;
    if (initialize && result == 0) return std::u16string();
    FreeLibrary(*module);
    *module = nullptr;
    std::memset(functions, 0, sizeof *functions);
    return initialize ? u"its initialisation answered " + Ascii(std::to_string(result))
                      : u"it has no entry point " + Ascii(kEngineEntryPoint);
}
