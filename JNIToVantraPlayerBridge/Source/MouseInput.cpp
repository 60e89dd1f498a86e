#include "MouseInput.h"

namespace {
const char* Flag(bool down) { return down ? "<true/>" : "<false/>"; }
}  // namespace

InputEvent PointerEvent(InputEvent::Type type, int x, int y) {
    return InputEvent{type, static_cast<uint32_t>(x), static_cast<uint32_t>(y)};
}

InputEvent MenuCommandEvent(uint32_t commandId) { return InputEvent{InputEvent::MenuCommand, commandId & 0xFFFF, 0}; }

InputEvent WheelEvent(int delta, bool ctrlDown, int x, int y) {
    uint32_t clicks = static_cast<uint32_t>(delta / 120) & 0xFFFF;  // C++ division truncates toward zero
    uint32_t packedPoint = ((static_cast<uint32_t>(y) & 0xFFFF) << 16) | (static_cast<uint32_t>(x) & 0xFFFF);
    return InputEvent{InputEvent::MouseWheel, clicks | (ctrlDown ? 0x10000u : 0u), packedPoint};
}

std::string MouseInvocation(const char* name, int x, int y, ModifierKeys keys) {
    // Appended piece by piece: no name is too long, and no format is parsed on every mouse move.
    std::string text;
    text.reserve(160);
    text.append("<invoke name=\"").append(name).append("\"><arguments><number>");
    text.append(std::to_string(x)).append("</number><number>").append(std::to_string(y)).append("</number>");
    text.append(Flag(keys.ctrl)).append(Flag(keys.shift)).append(Flag(keys.alt));
    text.append("</arguments></invoke>");
    return text;
}

std::string PlainInvocation(const char* name) {
    return std::string("<invoke name=\"") + name + "\"><arguments></arguments></invoke>";
}
