// The sample engine's movie format: a JSON document (see docs/movie-format.md)
// with a stage, a timeline of shapes with keyframes, variables, script hooks
// and a click action. Parsing is pure, so that it is tested on its own.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sample {

struct Keyframe {
    int frame = 0;
    double x = 0, y = 0, w = 0, h = 0;  // a line runs from (x, y) to (x + w, y + h)
    uint32_t color = 0;                 // 0xRRGGBB
};

struct Shape {
    enum Kind { Rect, Ellipse, Line, Text } kind = Rect;
    std::string text;            // Text: "{name}" is replaced by the variable's value
    double size = 16;            // Text: pixel height
    bool followsMouse = false;   // drawn centred on the mouse while it is over the stage
    std::vector<Keyframe> keys;  // by frame, at least one

    // The shape's geometry and colour at a frame, between its keyframes.
    Keyframe At(int frame) const;
};

struct Script {
    int frame = 0;
    std::string trace;  // a trace line for the host
    std::string call;   // a request to the host; its reply goes into `into`
    std::string into;
};

struct Movie {
    int width = 0, height = 0;
    uint32_t background = 0;
    int frameRate = 12;
    int frameCount = 1;
    std::map<std::string, std::string> variables;
    std::vector<Shape> shapes;
    std::vector<Script> scripts;
    std::string clickIncrements;  // a variable counted up on each left click
};

// Reads a movie; false with a reason in *error when the text is not one.
bool ParseMovie(const std::string& json, Movie* movie, std::string* error);

// "#RRGGBB" to 0xRRGGBB; false when malformed.
bool ParseColor(const std::string& text, uint32_t* color);

// Replaces "{name}" by the variable's value (empty when unknown).
std::string Substitute(const std::string& text, const std::map<std::string, std::string>& variables);

}  // namespace sample
