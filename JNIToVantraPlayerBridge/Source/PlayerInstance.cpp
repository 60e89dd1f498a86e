#include "PlayerInstance.h"

#include "ComponentExchange.h"
#include "HostServices.h"

int32_t PlayerInstance::StopPlay() { return Call<int32_t>(kStopPlay); }

bool PlayerInstance::LoadMovie(int32_t number, const char* url, bool option) {
    return CallAnswersZero(kLoadMovie, number, url, static_cast<uint8_t>(option ? 1 : 0));
}

int32_t PlayerInstance::SetVariable(const char* name, const char* value) {
    return Call<int32_t>(kSetVariable, name, value);
}

char* PlayerInstance::GetVariable(const char* name) { return Call<char*>(kGetVariable, name); }

int32_t PlayerInstance::GetMovieSize(int32_t* width, int32_t* height) {
    return Call<int32_t>(kGetMovieSize, width, height);
}

bool PlayerInstance::DoPlay() { return HasEntry(kDoPlay) && CallGuardedEntry(kDoPlay); }

int32_t PlayerInstance::SetMouseCapture(bool captured) {
    return Call<int32_t>(kSetMouseCapture, static_cast<int32_t>(captured ? 1 : 0));
}

uint8_t PlayerInstance::UpdateCursor() { return static_cast<uint8_t>(Call<int32_t>(kUpdateCursor) & 0xFF); }

int32_t PlayerInstance::SetModeValue(int32_t value) { return Call<int32_t>(kSetModeValue, value); }

int32_t PlayerInstance::CallFunction(const char* request) { return Call<int32_t>(kCallFunction, request); }

char* PlayerInstance::CallFunction2(const char* request) {
    char* reply = nullptr;
    Call<int32_t>(kCallFunction2, request, &reply);
    return reply;
}

ComponentParameter* PlayerInstance::GetComponentParameters(int32_t identifier, int32_t* count) {
    if (!instanceRecord) return nullptr;
    int32_t reported = 0;
    auto* descriptors = Call<ComponentParameterDesc*>(kGetComponentParameters, identifier, &reported);
    ComponentParameter* parameters = ReadComponentParameters(descriptors, &reported, &FreeEngineBlock);
    if (count) *count = reported;
    return parameters;
}

int32_t PlayerInstance::SetComponentParameters(int32_t identifier, const ComponentParameter& parameter) {
    if (!instanceRecord) return 0;
    ComponentParameterDescription description(parameter);
    return Call<int32_t>(kSetComponentParameters, identifier, description.Get());
}

char* PlayerInstance::CallFunction2Guarded(const char* request, bool* raised) {
    *raised = false;
    if (!HasEntry(kCallFunction2)) return nullptr;
    char* reply = nullptr;
    *raised = !CallGuardedEntry(kCallFunction2, request, &reply);
    return *raised ? nullptr : reply;
}

RectWords PlayerInstance::GetRect() {
    int32_t first = 0, second = 0, third = 0, fourth = 0;
    Call<int32_t>(kGetRect, &first, &second, &third, &fourth);
    return RectWords{{second, fourth, first, third}};
}

int32_t PlayerInstance::ViewCommand0() { return Call<int32_t>(kViewCommand, 0, 0, 0, 0, 0); }

int32_t PlayerInstance::ViewCommand1() { return Call<int32_t>(kViewCommand, 1, 0, 0, 0, 0); }

int32_t PlayerInstance::ViewCommand2(const RectWords* words) {
    if (!instanceRecord || !words) return 0;
    return Call<int32_t>(kViewCommand, 2, words->words[0], words->words[1], words->words[2], words->words[3]);
}

int32_t PlayerInstance::ViewCommand3(int32_t word, const int32_t* pair) {
    return Call<int32_t>(kViewCommand, 3, word, pair ? pair[0] : 0, pair ? pair[1] : 0, 0);
}

int32_t PlayerInstance::ViewCommand4(int32_t a, int32_t b, int32_t c, int32_t d) {
    return Call<int32_t>(kViewCommand, 4, a, b, c, d);
}

int32_t PlayerInstance::EngineCall10(bool flag) { return Call<int32_t>(10, static_cast<int32_t>(flag ? 1 : 0)); }

double PlayerInstance::EngineCall36(int32_t a, int32_t b) { return Call<double>(36, a, b); }

int32_t PlayerInstance::EngineCall37(int32_t a, int32_t b, double value) { return Call<int32_t>(37, a, b, value); }

uint8_t PlayerInstance::EngineCall38() { return static_cast<uint8_t>(Call<int32_t>(38) & 0xFF); }

uint8_t PlayerInstance::EngineCall74() { return static_cast<uint8_t>(Call<int32_t>(74) & 0xFF); }

int32_t PlayerInstance::EngineCall50(uint8_t flag, int32_t word) { return Call<int32_t>(50, flag, word); }

void PlayerInstance::EngineCall82(int32_t word) { Call<void>(82, word); }

void PlayerInstance::EngineCall84() { Call<void>(84); }

int32_t PlayerInstance::EngineCall88(uint8_t byte) { return Call<int32_t>(88, byte); }

// The remaining entries, by shape.
int32_t PlayerInstance::EngineCall6() { return Call<int32_t>(6); }
int32_t PlayerInstance::EngineCall7() { return Call<int32_t>(7); }
int32_t PlayerInstance::EngineCall8() { return Call<int32_t>(8); }
int32_t PlayerInstance::EngineCall9(int32_t word) { return Call<int32_t>(9, word); }
int32_t PlayerInstance::EngineCall12() { return Call<int32_t>(12); }
int32_t PlayerInstance::EngineCall13() { return Call<int32_t>(13); }
int32_t PlayerInstance::EngineCall14() { return Call<int32_t>(14); }
int32_t PlayerInstance::EngineCall15() { return Call<int32_t>(15); }
int32_t PlayerInstance::EngineCall17(int32_t word) { return Call<int32_t>(17, word); }
int32_t PlayerInstance::EngineCall18() { return Call<int32_t>(18); }
int32_t PlayerInstance::EngineCall19(int32_t a, int32_t b, int32_t c) { return Call<int32_t>(19, a, b, c); }
int32_t PlayerInstance::EngineCall20(int32_t word) { return Call<int32_t>(20, word); }
int32_t PlayerInstance::EngineCall24(int32_t a, int32_t b) { return Call<int32_t>(24, a, b); }
int32_t PlayerInstance::EngineCall25(int32_t a, int32_t b) { return Call<int32_t>(25, a, b); }
int32_t PlayerInstance::EngineCall26(int32_t word) { return Call<int32_t>(26, word); }
int32_t PlayerInstance::EngineCall27(int32_t word) { return Call<int32_t>(27, word); }
int32_t PlayerInstance::EngineCall28(int32_t word) { return Call<int32_t>(28, word); }
int32_t PlayerInstance::EngineCall29(int32_t word) { return Call<int32_t>(29, word); }
int32_t PlayerInstance::EngineCall32(int32_t a, int32_t b, int32_t c) { return Call<int32_t>(32, a, b, c); }
int32_t PlayerInstance::EngineCall33(int32_t a, int32_t b) { return Call<int32_t>(33, a, b); }
int32_t PlayerInstance::EngineCall34(int32_t a, int32_t b) { return Call<int32_t>(34, a, b); }
int32_t PlayerInstance::EngineCall35(int32_t a, int32_t b) { return Call<int32_t>(35, a, b); }
int32_t PlayerInstance::EngineCall39() { return Call<int32_t>(39); }
int32_t PlayerInstance::EngineCall41() { return Call<int32_t>(41); }
int32_t PlayerInstance::EngineCall42() { return Call<int32_t>(42); }
int32_t PlayerInstance::EngineCall43(int32_t word) { return Call<int32_t>(43, word); }
int32_t PlayerInstance::EngineCall44() { return Call<int32_t>(44); }
int32_t PlayerInstance::EngineCall45(int32_t word) { return Call<int32_t>(45, word); }
int32_t PlayerInstance::EngineCall46() { return Call<int32_t>(46); }
int32_t PlayerInstance::EngineCall47() { return Call<int32_t>(47); }
int32_t PlayerInstance::EngineCall48(int32_t word) { return Call<int32_t>(48, word); }
int32_t PlayerInstance::EngineCall51(int32_t a, int32_t b) { return Call<int32_t>(51, a, b); }
int32_t PlayerInstance::EngineCall54() { return Call<int32_t>(54); }
int32_t PlayerInstance::EngineCall55() { return Call<int32_t>(55); }
int32_t PlayerInstance::EngineCall56(int32_t word) { return Call<int32_t>(56, word); }
int32_t PlayerInstance::EngineCall58() { return Call<int32_t>(58); }
int32_t PlayerInstance::EngineCall59() { return Call<int32_t>(59); }
int32_t PlayerInstance::EngineCall60() { return Call<int32_t>(60); }
int32_t PlayerInstance::EngineCall61() { return Call<int32_t>(61); }
int32_t PlayerInstance::EngineCall62() { return Call<int32_t>(62); }
int32_t PlayerInstance::EngineCall63(int32_t word) { return Call<int32_t>(63, word); }
int32_t PlayerInstance::EngineCall65() { return Call<int32_t>(65); }
int32_t PlayerInstance::EngineCall66() { return Call<int32_t>(66); }
int32_t PlayerInstance::EngineCall71(int32_t word) { return Call<int32_t>(71, word); }
int32_t PlayerInstance::EngineCall75(int32_t a, int32_t b) { return Call<int32_t>(75, a, b); }
int32_t PlayerInstance::EngineCall78() { return Call<int32_t>(78); }
int32_t PlayerInstance::EngineCall79(int32_t word) { return Call<int32_t>(79, word); }
int32_t PlayerInstance::EngineCall86() { return Call<int32_t>(86); }
