#include "Movie.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>

namespace sample {

namespace {

using nlohmann::json;

bool ParseKind(const std::string& type, Shape::Kind* kind) {
    static const std::map<std::string, Shape::Kind> kinds = {
        {"rect", Shape::Rect}, {"ellipse", Shape::Ellipse}, {"line", Shape::Line}, {"text", Shape::Text}};
    auto it = kinds.find(type);
    if (it == kinds.end()) return false;
    *kind = it->second;
    return true;
}

double Lerp(double a, double b, double t) { return a + (b - a) * t; }

uint32_t LerpColor(uint32_t a, uint32_t b, double t) {
    uint32_t result = 0;
    for (int shift : {16, 8, 0}) {
        double channel = Lerp((a >> shift) & 0xFF, (b >> shift) & 0xFF, t);
        result |= static_cast<uint32_t>(channel + 0.5) << shift;
    }
    return result;
}

}  // namespace

bool ParseColor(const std::string& text, uint32_t* color) {
    if (text.size() != 7 || text[0] != '#') return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end) return false;
    *color = static_cast<uint32_t>(value);
    return true;
}

Keyframe Shape::At(int frame) const {
    if (frame <= keys.front().frame) return keys.front();
    if (frame >= keys.back().frame) return keys.back();
    auto next = std::find_if(keys.begin(), keys.end(), [frame](const Keyframe& k) { return k.frame > frame; });
    const Keyframe& a = *(next - 1);
    const Keyframe& b = *next;
    double t = static_cast<double>(frame - a.frame) / (b.frame - a.frame);
    Keyframe k;
    k.frame = frame;
    k.x = Lerp(a.x, b.x, t);
    k.y = Lerp(a.y, b.y, t);
    k.w = Lerp(a.w, b.w, t);
    k.h = Lerp(a.h, b.h, t);
    k.color = LerpColor(a.color, b.color, t);
    return k;
}

bool ParseMovie(const std::string& text, Movie* movie, std::string* error) {
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        *error = "not a JSON object";
        return false;
    }
    try {
        Movie result;
        const json& stage = document.at("stage");
        result.width = stage.at("width").get<int>();
        result.height = stage.at("height").get<int>();
        if (result.width <= 0 || result.height <= 0 || result.width > 4096 || result.height > 4096) {
            *error = "the stage size must be between 1 and 4096";
            return false;
        }
        if (!ParseColor(stage.value("background", "#000000"), &result.background)) {
            *error = "the stage background is not a #RRGGBB colour";
            return false;
        }
        result.frameRate = document.value("frameRate", 12);
        result.frameCount = document.value("frames", 1);
        if (result.frameCount < 1) {
            *error = "a movie has at least one frame";
            return false;
        }
        const json variables = document.value("variables", json::object());
        for (const auto& [name, value] : variables.items()) {
            result.variables[name] = value.is_string() ? value.get<std::string>() : value.dump();
        }
        for (const json& item : document.value("shapes", json::array())) {
            Shape shape;
            if (!ParseKind(item.at("type").get<std::string>(), &shape.kind)) {
                *error = "unknown shape type " + item.at("type").dump();
                return false;
            }
            shape.text = item.value("text", "");
            shape.size = item.value("size", 16.0);
            shape.followsMouse = item.value("followsMouse", false);
            for (const json& key : item.at("keys")) {
                Keyframe k;
                k.frame = key.value("frame", 0);
                k.x = key.value("x", 0.0);
                k.y = key.value("y", 0.0);
                k.w = key.value("w", 0.0);
                k.h = key.value("h", 0.0);
                if (!ParseColor(key.value("color", "#FFFFFF"), &k.color)) {
                    *error = "a keyframe colour is not #RRGGBB";
                    return false;
                }
                shape.keys.push_back(k);
            }
            if (shape.keys.empty()) {
                *error = "a shape needs at least one keyframe";
                return false;
            }
            std::sort(shape.keys.begin(), shape.keys.end(),
                      [](const Keyframe& a, const Keyframe& b) { return a.frame < b.frame; });
            result.shapes.push_back(shape);
        }
        for (const json& item : document.value("scripts", json::array())) {
            result.scripts.push_back(Script{item.value("frame", 0), item.value("trace", ""), item.value("call", ""),
                                            item.value("into", "")});
        }
        const json onClick = document.value("onClick", json::object());
        result.clickIncrements = onClick.value("increment", "");
        *movie = std::move(result);
        return true;
    } catch (const json::exception& e) {
        *error = std::string("malformed movie: ") + e.what();
        return false;
    }
}

std::string Substitute(const std::string& text, const std::map<std::string, std::string>& variables) {
    std::string result;
    for (size_t i = 0; i < text.size();) {
        size_t open = text.find('{', i);
        size_t close = open == std::string::npos ? open : text.find('}', open);
        if (close == std::string::npos) {
            result += text.substr(i);
            break;
        }
        result += text.substr(i, open - i);
        auto it = variables.find(text.substr(open + 1, close - open - 1));
        if (it != variables.end()) result += it->second;
        i = close + 1;
    }
    return result;
}

}  // namespace sample
