// What the host window tells the engine about mouse and menu input: the
// input event record for HandleEvent, and the XML invocation texts for
// CallFunction2. Pure functions, so that they are tested without a window.
#pragma once

#include <cstdint>
#include <string>

struct InputEvent {
    enum Type : int32_t {
        LeftButtonDown = 0,
        LeftButtonUp = 1,
        MouseMove = 2,
        MenuCommand = 4,
        MouseWheel = 9,
    };
    int32_t type;
    uint32_t param1;
    uint32_t param2;
};
static_assert(sizeof(InputEvent) == 12, "InputEvent is three words");

struct ModifierKeys {
    bool ctrl;
    bool shift;
    bool alt;
};

InputEvent PointerEvent(InputEvent::Type type, int x, int y);
InputEvent MenuCommandEvent(uint32_t commandId);
// delta / 120 (toward zero) in the low half of param1, bit 16 for Ctrl;
// param2 packs y in the high half and x in the low half.
InputEvent WheelEvent(int delta, bool ctrlDown, int x, int y);

// "<invoke name="NAME"><arguments><number>X</number><number>Y</number>"
// then Ctrl, Shift and Alt as <true/> or <false/>, then the closing tags.
std::string MouseInvocation(const char* name, int x, int y, ModifierKeys keys);
// The argument-less invocations, handleMouseEnter and handleMouseLeave.
std::string PlainInvocation(const char* name);
