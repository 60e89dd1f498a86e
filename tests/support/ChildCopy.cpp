#include "ChildCopy.h"

#include <cstdlib>
#include <vector>

ChildCopy::ChildCopy(const std::string& gtestFilter) {
    std::vector<WCHAR> own(1024);
    DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
    if (length == 0 || length >= own.size()) return;
    std::u16string program(AsUtf16(own.data()), length);
    std::string arguments = " --gtest_also_run_disabled_tests --gtest_filter=" + gtestFilter;
    std::u16string line = u"\"" + program + u"\"" + std::u16string(arguments.begin(), arguments.end());
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&output_, &childOutput, &inheritable, 0)) return;
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION started{};
    if (CreateProcessW(AsWide(program.c_str()), AsWide(&line[0]), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &started)) {
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }
    CloseHandle(childOutput);
}

ChildCopy::~ChildCopy() {
    if (process_) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, INFINITE);
        CloseHandle(process_);
    }
    if (output_) CloseHandle(output_);
}

std::optional<long> ChildCopy::NumberAfter(const std::string& prefix) {
    for (;;) {
        size_t end;
        while ((end = pending_.find('\n')) != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (line.compare(0, prefix.size(), prefix) == 0)
                return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
        }
        char buffer[4096];
        DWORD read = 0;
        if (!output_ || !ReadFile(output_, buffer, sizeof buffer, &read, nullptr) || read == 0) return std::nullopt;
        pending_.append(buffer, read);
    }
}
