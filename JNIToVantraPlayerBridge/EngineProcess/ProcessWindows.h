// The windows another process shows, as the library names them when that
// process (the engine's) stops answering: a modal box there is most often why.
#pragma once

#include <Platform.h>

#include <string>
#include <vector>

struct ShownWindow {
    std::u16string title;
    std::u16string text;  // its static texts, a message box's message among them, one per line
};

// The visible top-level windows of the process, in the system's order.
std::vector<ShownWindow> WindowsShownBy(DWORD processId);

// A C runtime's error box ("Runtime Error!", "abnormal program termination",
// a pure virtual call): the runtime shows it before it ends the process, so
// the engine is already lost, not merely slow.
bool IsRuntimeErrorBox(const ShownWindow& window);

// "\"title\": text" for each, joined by "; " (empty for none).
std::u16string Described(const std::vector<ShownWindow>& windows);
