// Component parameters across the engine boundary: the descriptor record and
// its conversion from and to ComponentParameter.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ComponentData.h"

// The record that crosses the engine boundary; 24 bytes on 32-bit Windows.
struct ComponentParameterDesc {
    char* name;
    char** keys;    // kind 3 with count above 0 only
    char** values;  // count texts; one for a scalar
    int32_t kind;
    int32_t count;
    int32_t selectedIndex;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ComponentParameterDesc) == 24, "ComponentParameterDesc is six words");
static_assert(offsetof(ComponentParameterDesc, keys) == 4 && offsetof(ComponentParameterDesc, values) == 8 &&
                  offsetof(ComponentParameterDesc, kind) == 12 && offsetof(ComponentParameterDesc, count) == 16 &&
                  offsetof(ComponentParameterDesc, selectedIndex) == 20,
              "ComponentParameterDesc layout");
#endif

// Reads descriptors the engine handed over, releasing every block of them
// with `release` (the heap of the Allocate service), once. Null for no
// parameters; *count then 0. Broken descriptors never crash the host: null
// texts read as empty, and counts beyond reason are not followed.
ComponentParameter* ReadComponentParameters(ComponentParameterDesc* descriptors, int32_t* count,
                                            void (*release)(void*));

// The descriptor of one parameter, with its texts in the thread's ANSI code
// page, alive as long as this object.
class ComponentParameterDescription {
public:
    explicit ComponentParameterDescription(const ComponentParameter& parameter);
    ComponentParameterDesc* Get() { return &descriptor; }

private:
    std::string name;
    std::vector<std::string> keyTexts;
    std::vector<std::string> valueTexts;
    std::vector<char*> keys;
    std::vector<char*> values;
    ComponentParameterDesc descriptor{};
};
