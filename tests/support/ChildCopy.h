// A copy of the running test program started as a child to run one test of
// its own (typically a DISABLED_ one that plays a host), its standard output
// readable line by line; ended when the object goes.
#pragma once

#include <Platform.h>

#include <optional>
#include <string>

class ChildCopy {
public:
    explicit ChildCopy(const std::string& gtestFilter);
    ~ChildCopy();
    ChildCopy(const ChildCopy&) = delete;
    ChildCopy& operator=(const ChildCopy&) = delete;

    bool Started() const { return process_ != nullptr; }
    HANDLE Process() const { return process_; }
    // The number after `prefix` on the first output line that starts with it;
    // nullopt when the output ends first.
    std::optional<long> NumberAfter(const std::string& prefix);

private:
    HANDLE process_ = nullptr;
    HANDLE output_ = nullptr;
    std::string pending_;
};
