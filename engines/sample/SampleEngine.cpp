// The sample engine: plays movies of our own format (see docs/movie-format.md)
// through the two tables only. Frames advance when the host asks for a paint;
// the engine has no threads or timers of its own. It renders straight into
// the host's back buffer; mouse moves copy just the area that changed, other
// changes ask the host for a repaint.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "Canvas.h"
#include "ComponentExchange.h"
#include "EngineSide.h"
#include "Invocation.h"
#include "Movie.h"

namespace sample {
namespace {

HostServices* services = nullptr;
Font font;

template <typename Signature>
Signature ServiceAt(int index) {
    return EntryAs<Signature>(services->entries[index]);
}

char* HostCopy(const std::string& text) { return CopyToHostHeap(services, text); }

std::string ModuleFolder() {
    HMODULE module = ModuleOfAddress(reinterpret_cast<const void*>(&ModuleFolder));
    WCHAR buffer[1024];
    DWORD length = GetModuleFileNameW(module, buffer, 1024);
    std::string path;
    for (DWORD i = 0; i < length; ++i) path += static_cast<char>(buffer[i] < 0x80 ? buffer[i] : '?');
    return path.substr(0, path.find_last_of("\\/") + 1);
}

class Player {
public:
    explicit Player(InstanceRecord* record) : record_(record) {}

    void Trace(const std::string& text) { ServiceAt<service::Trace>(kServiceTrace)(record_, text.c_str()); }

    int32_t Load(const char* url) {
        std::string path = url ? url : "";
        if (path.rfind("file://", 0) == 0) path = path.substr(7);
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            Trace("cannot open movie " + path);
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        Movie movie;
        std::string error;
        if (!ParseMovie(text.str(), &movie, &error)) {
            Trace("cannot play " + path + ": " + error);
            return 2;
        }
        movie_ = movie;
        variables_ = movie.variables;
        loaded_ = true;
        frame_ = 0;
        enteredFrame_ = -1;
        return 0;
    }

    void SetBackBuffer(const BackBufferInfo* info) {
        pixels_ = info ? info->pixels : nullptr;
        width_ = info ? info->width : 0;
        height_ = info ? info->height : 0;
        bytesPerRow_ = info ? info->bytesPerRow : 0;
    }

    void Paint(int top, int left, int bottom, int right) {
        // A paint the movie asked for itself shows the same frame again.
        bool advance = !repaintRequested_;
        repaintRequested_ = false;
        if (advance && playing_ && loaded_ && enteredFrame_ >= 0) frame_ = (frame_ + 1) % movie_.frameCount;
        if (playing_ && loaded_ && enteredFrame_ != frame_) EnterFrame();
        Render(Box{left, top, right, bottom});
    }

    int32_t SetVariable(const char* name, const char* value) {
        if (!name) return 0;
        variables_[name] = value ? value : "";
        return 1;
    }

    char* GetVariable(const char* name) {
        auto it = name ? variables_.find(name) : variables_.end();
        return it == variables_.end() ? nullptr : HostCopy(it->second);
    }

    void MovieSize(int32_t* width, int32_t* height) const {
        *width = loaded_ ? movie_.width : 0;
        *height = loaded_ ? movie_.height : 0;
    }

    void Play(bool playing) { playing_ = playing; }

    void CountEvent() { variables_["events"] = std::to_string(std::atoi(variables_["events"].c_str()) + 1); }

    // Answers an invocation; false when the movie has no such function.
    bool Invoke(const std::string& request, std::string* reply) {
        Invocation call;
        if (!ParseInvocation(request, &call)) return false;
        auto number = [&](size_t i) { return i < call.arguments.size() ? std::atoi(call.arguments[i].c_str()) : 0; };
        if (call.name == "getFrame") {
            *reply = NumberReply(frame_);
        } else if (call.name == "getVariable") {
            *reply = StringReply(call.arguments.empty() ? "" : variables_[call.arguments[0]]);
        } else if (call.name == "handleMouseMove") {
            MoveMouse(number(0), number(1), true);
        } else if (call.name == "handleMouseEnter" || call.name == "handleMouseLeave") {
            MoveMouse(mouseX_, mouseY_, call.name == "handleMouseEnter");
        } else if (call.name == "handleLMouseDown") {
            Click(number(0), number(1));
        } else if (call.name != "handleLMouseUp" && call.name != "handleRMouseDown") {
            return false;
        }
        return true;
    }

    ComponentParameterDesc* ComponentParameters(int32_t* count);
    int32_t SetComponentParameter(const ComponentParameterDesc& parameter);

private:
    void EnterFrame() {
        enteredFrame_ = frame_;
        variables_["frame"] = std::to_string(frame_);
        for (const Script& script : movie_.scripts) {
            if (script.frame != frame_) continue;
            if (!script.trace.empty()) Trace(Substitute(script.trace, variables_));
            if (script.call.empty()) continue;
            char* reply = nullptr;
            ServiceAt<service::CallFunction>(kServiceCallFunction)(record_, script.call.c_str(), &reply);
            if (!script.into.empty()) variables_[script.into] = reply ? reply : "";
            ServiceAt<service::Free>(kFree)(reply);
        }
    }

    void MoveMouse(int x, int y, bool inside) {
        mouseX_ = x;
        mouseY_ = y;
        mouseInside_ = inside;
        Box changed = FollowerBox().Union(lastFollower_);
        Render(changed);
    }

    void Click(int x, int y) {
        if (!movie_.clickIncrements.empty()) {
            std::string& counter = variables_[movie_.clickIncrements];
            counter = std::to_string(std::atoi(counter.c_str()) + 1);
        }
        Trace("click at " + std::to_string(x) + "," + std::to_string(y));
        RequestRepaint();
    }

    // Draws the new state into the back buffer and lets the host paint it
    // when its message loop gets there.
    void RequestRepaint() {
        Render(Box{});
        repaintRequested_ = true;
        ServiceAt<service::FourWords>(kServiceInvalidateArea)(record_, 0, 0, height_, width_);
    }

    Box FollowerBox() const {
        Box box;
        if (!mouseInside_ || !loaded_) return box;
        for (const Shape& shape : movie_.shapes) {
            if (!shape.followsMouse) continue;
            Keyframe k = shape.At(frame_);
            int halfW = static_cast<int>(k.w / 2) + 1, halfH = static_cast<int>(k.h / 2) + 1;
            box = box.Union(Box{mouseX_ - halfW, mouseY_ - halfH, mouseX_ + halfW, mouseY_ + halfH});
        }
        return box;
    }

    // Draws the whole frame into the back buffer, then copies `area` of it.
    void Render(const Box& area) {
        void* pixels = nullptr;
        if (!pixels_ || ServiceAt<service::LockBackBuffer>(kServiceLockBackBuffer)(record_, &pixels) != 0) return;
        Canvas canvas(pixels, width_, height_, bytesPerRow_);
        canvas.FillRect(canvas.Bounds(), loaded_ ? movie_.background : 0x000000);
        if (loaded_) DrawShapes(canvas);
        ServiceAt<service::RecordOnly>(kServiceUnlockBackBuffer)(record_);
        Box copy = area.Intersect(canvas.Bounds());
        if (!copy.Empty()) {
            ServiceAt<service::FourWords>(kServiceBlitRect)(record_, copy.left, copy.top, copy.right - copy.left,
                                                            copy.bottom - copy.top);
        }
    }

    void DrawShapes(Canvas& canvas) {
        lastFollower_ = FollowerBox();
        for (const Shape& shape : movie_.shapes) {
            Keyframe k = shape.At(frame_);
            if (shape.followsMouse) {
                if (!mouseInside_) continue;
                k.x = mouseX_ - k.w / 2;
                k.y = mouseY_ - k.h / 2;
            }
            Box box{static_cast<int>(k.x), static_cast<int>(k.y), static_cast<int>(k.x + k.w),
                    static_cast<int>(k.y + k.h)};
            switch (shape.kind) {
                case Shape::Rect: canvas.FillRect(box, k.color); break;
                case Shape::Ellipse: canvas.FillEllipse(box, k.color); break;
                case Shape::Line: canvas.DrawLine(k.x, k.y, k.x + k.w, k.y + k.h, k.color); break;
                case Shape::Text:
                    canvas.Print(font, Substitute(shape.text, variables_), k.x, k.y, shape.size, k.color);
                    break;
            }
        }
    }

    InstanceRecord* record_;
    Movie movie_;
    bool loaded_ = false;
    bool playing_ = false;
    int frame_ = 0;
    int enteredFrame_ = -1;
    std::map<std::string, std::string> variables_;
    void* pixels_ = nullptr;
    int width_ = 0, height_ = 0, bytesPerRow_ = 0;
    int mouseX_ = 0, mouseY_ = 0;
    bool mouseInside_ = false;
    Box lastFollower_;
    bool repaintRequested_ = false;
};

// Five parameters, one of each kind the exchange knows: the background
// colour, whether the movie plays, the variable names, the stage size and
// the shape kinds with the first selected.
ComponentParameterDesc* Player::ComponentParameters(int32_t* count) {
    auto texts = [](const std::vector<std::string>& values) {
        auto** array = static_cast<char**>(
            ServiceAt<service::Allocate>(kAllocate)(static_cast<uint32_t>(sizeof(char*) * values.size())));
        for (size_t i = 0; i < values.size(); ++i) array[i] = HostCopy(values[i]);
        return array;
    };
    char color[8];
    std::snprintf(color, sizeof color, "#%06X", movie_.background & 0xFFFFFF);
    std::vector<std::string> names;
    for (const auto& entry : variables_) names.push_back(entry.first);
    std::vector<std::string> kinds;
    for (const Shape& shape : movie_.shapes) kinds.push_back(std::to_string(static_cast<int>(shape.kind)));
    auto* descriptors = static_cast<ComponentParameterDesc*>(
        ServiceAt<service::Allocate>(kAllocate)(static_cast<uint32_t>(sizeof(ComponentParameterDesc) * 5)));
    descriptors[0] = {HostCopy("background"), nullptr, texts({color}), 9, 1, 0};
    descriptors[1] = {HostCopy("playing"), nullptr, texts({playing_ ? "true" : "false"}), 7, 1, 0};
    descriptors[2] = {HostCopy("variables"),
                      nullptr,
                      names.empty() ? nullptr : texts(names),
                      2,
                      static_cast<int32_t>(names.size()),
                      0};
    descriptors[3] = {HostCopy("stage"),
                      texts({"width", "height"}),
                      texts({std::to_string(movie_.width), std::to_string(movie_.height)}),
                      3,
                      2,
                      0};
    descriptors[4] = {
        HostCopy("shapes"), nullptr, kinds.empty() ? nullptr : texts(kinds), 4, static_cast<int32_t>(kinds.size()), 0};
    *count = 5;
    return descriptors;
}

int32_t Player::SetComponentParameter(const ComponentParameterDesc& parameter) {
    std::string name = parameter.name ? parameter.name : "";
    const char* value = parameter.values && parameter.count > 0 ? parameter.values[0] : nullptr;
    if (name == "background" && value && ParseColor(value, &movie_.background)) {
        RequestRepaint();
        return 1;
    }
    if (name == "playing" && value) {
        playing_ = std::string(value) == "true";
        return 1;
    }
    return 0;
}

Player& Of(InstanceRecord* record) { return *reinterpret_cast<Player*>(record->engineData); }

// ---- entries ----

void ENGINE_CDECL Shutdown() {}
void ENGINE_CDECL NewInstance(InstanceRecord* r) { r->engineData = reinterpret_cast<uintptr_t>(new Player(r)); }
void ENGINE_CDECL DestroyInstance(InstanceRecord* r) {
    delete &Of(r);
    r->engineData = 0;
}
int32_t ENGINE_CDECL HandleEvent(InstanceRecord* r, const void*) {
    Of(r).CountEvent();
    return 0;
}
int32_t ENGINE_CDECL StopPlay(InstanceRecord* r) {
    Of(r).Play(false);
    return 0;
}
int32_t ENGINE_CDECL LoadMovie(InstanceRecord* r, int32_t, const char* url, uint8_t) { return Of(r).Load(url); }
int32_t ENGINE_CDECL SetVariable(InstanceRecord* r, const char* n, const char* v) { return Of(r).SetVariable(n, v); }
char* ENGINE_CDECL GetVariable(InstanceRecord* r, const char* name) { return Of(r).GetVariable(name); }
int32_t ENGINE_CDECL GetMovieSize(InstanceRecord* r, int32_t* w, int32_t* h) {
    Of(r).MovieSize(w, h);
    return 0;
}
int32_t ENGINE_CDECL SetBackBuffer(InstanceRecord* r, const BackBufferInfo* info) {
    Of(r).SetBackBuffer(info);
    return 0;
}
int32_t ENGINE_CDECL PaintArea(InstanceRecord* r, int32_t top, int32_t left, int32_t bottom, int32_t right) {
    Of(r).Paint(top, left, bottom, right);
    return 0;
}
int32_t ENGINE_CDECL DetachBackBuffer(InstanceRecord* r) {
    Of(r).SetBackBuffer(nullptr);
    return 0;
}
int32_t ENGINE_CDECL Ignore(InstanceRecord*) { return 0; }
int32_t ENGINE_CDECL DoPlay(InstanceRecord* r) {
    Of(r).Play(true);
    return 0;
}
int32_t ENGINE_CDECL SetComponentParameters(InstanceRecord* r, int32_t, const ComponentParameterDesc* d) {
    return d ? Of(r).SetComponentParameter(*d) : 0;
}
ComponentParameterDesc* ENGINE_CDECL GetComponentParameters(InstanceRecord* r, int32_t, int32_t* count) {
    return Of(r).ComponentParameters(count);
}
int32_t ENGINE_CDECL CallFunction(InstanceRecord* r, const char* request) {
    std::string reply;
    return request && Of(r).Invoke(request, &reply) ? 1 : 0;
}
int32_t ENGINE_CDECL CallFunction2(InstanceRecord* r, const char* request, char** reply) {
    std::string text;
    Of(r).Invoke(request ? request : "", &text);  // unknown functions get an empty reply
    *reply = HostCopy(text);
    return 0;
}

}  // namespace
}  // namespace sample

using namespace sample;

ENGINE_EXPORT int32_t ENGINE_STDCALL ExternalPlayer_Initialize(HostServices* hostServices, EngineFunctions* functions) {
    services = hostServices;
    if (!font.Loaded()) font.Load(ModuleFolder() + "fonts/DejaVuSans.ttf");
    std::memset(functions, 0, sizeof *functions);
    EngineEntry* e = functions->entries;
    e[kShutdown] = AsEntry(&Shutdown);
    e[kNewInstance] = AsEntry(&NewInstance);
    e[kDestroyInstance] = AsEntry(&DestroyInstance);
    e[kHandleEvent] = AsEntry(&HandleEvent);
    e[kStopPlay] = AsEntry(&StopPlay);
    e[kLoadMovie] = AsEntry(&LoadMovie);
    e[kSetVariable] = AsEntry(&SetVariable);
    e[kGetVariable] = AsEntry(&GetVariable);
    e[kGetMovieSize] = AsEntry(&GetMovieSize);
    e[kSetBackBuffer] = AsEntry(&SetBackBuffer);
    e[kPaintArea] = AsEntry(&PaintArea);
    e[kDetachBackBuffer] = AsEntry(&DetachBackBuffer);
    e[kSetHostModule] = AsEntry(&Ignore);
    e[kDoPlay] = AsEntry(&DoPlay);
    e[kSetComponentParameters] = AsEntry(&SetComponentParameters);
    e[kGetComponentParameters] = AsEntry(&GetComponentParameters);
    e[kSetModeValue] = AsEntry(&Ignore);
    e[kCallFunction] = AsEntry(&CallFunction);
    e[kCallFunction2] = AsEntry(&CallFunction2);
    return 0;
}
