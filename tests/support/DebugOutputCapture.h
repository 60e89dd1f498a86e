// What the code under test writes with OutputDebugStringW, read without a
// debugger: on Windows through the exception the system raises for it (wide
// on Windows 10 and later, narrow before and under Wine), on the headless
// backend from its record. One capture at a time, on the testing thread.
#pragma once

#include <string>
#include <vector>

class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // The texts written since the capture began (or since the last call).
    std::vector<std::u16string> Take();
    // The same, joined, in UTF-8: for messages.
    std::string TakeText();

private:
    void* handler_ = nullptr;
};
