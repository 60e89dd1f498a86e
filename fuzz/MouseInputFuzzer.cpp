// Mouse input at the extremes: any coordinates, wheel deltas, command ids,
// modifier states and invocation names. The records must carry the values
// in the documented bits, and the invocation texts must read back to the
// values they were made from.
#include <MouseInput.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "FuzzCheck.h"

namespace {

// Takes `expected` off the front of `text`.
bool Take(std::string& text, const std::string& expected) {
    if (text.compare(0, expected.size(), expected) != 0) return false;
    text.erase(0, expected.size());
    return true;
}

bool TakeNumber(std::string& text, int expected) {
    if (!Take(text, "<number>")) return false;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (value != expected) return false;
    text.erase(0, static_cast<size_t>(end - text.c_str()));
    return Take(text, "</number>");
}

bool TakeFlag(std::string& text, bool expected) { return Take(text, expected ? "<true/>" : "<false/>"); }

void CheckEvents(FuzzedDataProvider& input) {
    int x = input.ConsumeIntegral<int>(), y = input.ConsumeIntegral<int>();
    InputEvent move = PointerEvent(InputEvent::MouseMove, x, y);
    FUZZ_CHECK(move.type == 2 && static_cast<int>(move.param1) == x && static_cast<int>(move.param2) == y);

    auto command = input.ConsumeIntegral<uint32_t>();
    InputEvent menu = MenuCommandEvent(command);
    FUZZ_CHECK(menu.type == 4 && menu.param1 == (command & 0xFFFF) && menu.param2 == 0);

    int delta = input.ConsumeIntegral<int>();
    bool ctrl = input.ConsumeBool();
    InputEvent wheel = WheelEvent(delta, ctrl, x, y);
    FUZZ_CHECK(wheel.type == 9);
    FUZZ_CHECK(static_cast<int16_t>(wheel.param1 & 0xFFFF) == static_cast<int16_t>(delta / 120));
    FUZZ_CHECK((wheel.param1 >> 16) == (ctrl ? 1u : 0u));
    FUZZ_CHECK(static_cast<int16_t>(wheel.param2 & 0xFFFF) == static_cast<int16_t>(x));
    FUZZ_CHECK(static_cast<int16_t>(wheel.param2 >> 16) == static_cast<int16_t>(y));
}

void CheckInvocations(FuzzedDataProvider& input) {
    int x = input.ConsumeIntegral<int>(), y = input.ConsumeIntegral<int>();
    ModifierKeys keys{input.ConsumeBool(), input.ConsumeBool(), input.ConsumeBool()};
    std::string name = input.ConsumeRandomLengthString(1024);
    name = name.substr(0, name.find('\0'));

    std::string text = MouseInvocation(name.c_str(), x, y, keys);
    FUZZ_CHECK(Take(text, "<invoke name=\"" + name + "\"><arguments>"));
    FUZZ_CHECK(TakeNumber(text, x) && TakeNumber(text, y));
    FUZZ_CHECK(TakeFlag(text, keys.ctrl) && TakeFlag(text, keys.shift) && TakeFlag(text, keys.alt));
    FUZZ_CHECK(text == "</arguments></invoke>");

    FUZZ_CHECK(PlainInvocation(name.c_str()) == "<invoke name=\"" + name + "\"><arguments></arguments></invoke>");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    CheckEvents(input);
    CheckInvocations(input);
    return 0;
}
