// Engine time limits short enough for a test, for the engine processes
// started while it lives (each reads them when it starts).
#pragma once

#include <ChannelWait.h>
#include <Platform.h>

class ScopedEngineTimeLimits {
public:
    explicit ScopedEngineTimeLimits(const char16_t* limits = u"0.3,1.5") {
        SetEnvironmentVariableW(AsWide(kEngineTimeLimitsVariable), AsWide(limits));
    }
    ~ScopedEngineTimeLimits() { SetEnvironmentVariableW(AsWide(kEngineTimeLimitsVariable), nullptr); }
    ScopedEngineTimeLimits(const ScopedEngineTimeLimits&) = delete;
    ScopedEngineTimeLimits& operator=(const ScopedEngineTimeLimits&) = delete;
};
