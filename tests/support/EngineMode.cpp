#include "EngineMode.h"

#include <Platform.h>

#include <string>

bool EngineInItsOwnProcess() {
    WCHAR value[16] = {};
    DWORD length = GetEnvironmentVariableW(AsWide(u"VANTRA_PLAYER_ENGINE_HOST"), value, 16);
    return length > 0 && length < 16 && std::u16string(AsUtf16(value)) == u"process";
}
