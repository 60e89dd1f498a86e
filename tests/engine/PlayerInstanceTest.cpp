// The host's calls into an engine instance.
#include <cstring>

#include "EngineFixture.h"

using Instance = EngineTest;

namespace {

RecordedCall LastCall(const std::vector<RecordedCall>& calls) { return calls.empty() ? RecordedCall{} : calls.back(); }

void FreeText(char* text) { EntryAs<service::Free>(VantraPlayerManager::Get(true)->Services().entries[kFree])(text); }

}  // namespace

TEST(InstanceWithoutEngine, EveryCallAnswersZeroWithoutTouchingTheTable) {
    RecordingOwner owner;  // no record, no table
    int32_t w = 5, h = 6;
    RectWords words{{1, 2, 3, 4}};
    int32_t pair[2] = {1, 2};
    EXPECT_EQ(owner.StopPlay(), 0);
    EXPECT_FALSE(owner.LoadMovie(1, "m", true));
    EXPECT_EQ(owner.SetVariable("a", "b"), 0);
    EXPECT_EQ(owner.GetVariable("a"), nullptr);
    EXPECT_EQ(owner.GetMovieSize(&w, &h), 0);
    EXPECT_EQ(w, 5);
    EXPECT_FALSE(owner.DoPlay());
    EXPECT_EQ(owner.SetMouseCapture(true), 0);
    EXPECT_EQ(owner.UpdateCursor(), 0);
    EXPECT_EQ(owner.SetModeValue(3), 0);
    EXPECT_EQ(owner.CallFunction("x"), 0);
    EXPECT_EQ(owner.CallFunction2("x"), nullptr);
    RectWords rect = owner.GetRect();
    EXPECT_EQ(std::memcmp(rect.words, RectWords{{0, 0, 0, 0}}.words, sizeof rect.words), 0);
    EXPECT_EQ(owner.ViewCommand0() + owner.ViewCommand1() + owner.ViewCommand2(&words) + owner.ViewCommand3(1, pair) +
                  owner.ViewCommand4(1, 2, 3, 4),
              0);
    EXPECT_EQ(owner.EngineCall36(1, 2), 0.0);
    EXPECT_EQ(owner.EngineCall37(1, 2, 3.5), 0);
    EXPECT_EQ(owner.EngineCall38() + owner.EngineCall74(), 0);
    EXPECT_EQ(owner.EngineCall50(1, 2) + owner.EngineCall88(1) + owner.EngineCall10(true), 0);
    owner.EngineCall82(1);
    owner.EngineCall84();
    EXPECT_EQ(owner.EngineCall6() + owner.EngineCall19(1, 2, 3) + owner.EngineCall86(), 0);
}

TEST(InstanceWithEmptyEntries, SkipsThemAndNoneReadsAsSuccess) {
    RecordingOwner owner;
    InstanceRecord record{0, &owner};
    EngineFunctions table{};  // an engine that filled nothing
    owner.instanceRecord = &record;
    owner.engineFunctions = &table;
    int32_t w = 5, h = 6;
    EXPECT_FALSE(owner.LoadMovie(1, "m", true));
    EXPECT_FALSE(owner.DoPlay());
    EXPECT_EQ(owner.SetVariable("a", "b"), 0);
    EXPECT_EQ(owner.CallFunction("x"), 0);
    EXPECT_EQ(owner.GetVariable("a"), nullptr);
    EXPECT_EQ(owner.UpdateCursor(), 0);
    EXPECT_EQ(owner.GetMovieSize(&w, &h), 0);
    EXPECT_EQ(w, 5);
    bool raised = true;
    EXPECT_EQ(owner.CallFunction2Guarded("x", &raised), nullptr);
    EXPECT_FALSE(raised);
    int32_t count = 9;
    EXPECT_EQ(owner.GetComponentParameters(1, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(owner.EngineCallDepth(), 0);
    owner.instanceRecord = nullptr;
}

TEST_F(Instance, LoadMovieHandsOnItsArgumentsAndSucceedsOnZero) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    EXPECT_TRUE(owner.LoadMovie(7, "file:///movie.vmv", true));
    RecordedCall call = LastCall(Calls());
    EXPECT_EQ(call.entry, kLoadMovie);
    EXPECT_EQ(call.record, client->CallsOf(kNewInstance).back().record)
        << "the record the engine made the instance for";
    EXPECT_EQ(call.args[0], 7);
    EXPECT_EQ(call.args[1], 1);
    EXPECT_STREQ(call.text[0], "file:///movie.vmv");
    client->setResult(kLoadMovie, 5);
    EXPECT_FALSE(owner.LoadMovie(7, "x", false));
    EXPECT_EQ(LastCall(Calls()).args[1], 0);
}

TEST_F(Instance, GetRectReordersTheEnginesWords) {
    SKIP_WITH_ENGINE_PROCESS("the host never calls GetRect");
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    client->setRectWords(1, 2, 3, 4);
    RectWords rect = owner.GetRect();
    EXPECT_EQ(rect.words[0], 2);
    EXPECT_EQ(rect.words[1], 4);
    EXPECT_EQ(rect.words[2], 1);
    EXPECT_EQ(rect.words[3], 3);
}

TEST_F(Instance, CallFunction2GivesTheReplyOrNull) {
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    EXPECT_EQ(owner.CallFunction2("<invoke name=\"f\"/>"), nullptr);
    EXPECT_STREQ(LastCall(Calls()).text[0], "<invoke name=\"f\"/>");
    client->setTextResult(kCallFunction2, "<string>yes</string>");
    char* reply = owner.CallFunction2("again");
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, "<string>yes</string>");
    FreeText(reply);
    client->setTextResult(kGetVariable, "42");
    char* value = owner.GetVariable("answer");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "42");
    FreeText(value);
}

TEST_F(Instance, CaptureAndCursorAreNormalised) {
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    owner.SetMouseCapture(true);
    EXPECT_EQ(LastCall(Calls()).args[0], 1);
    owner.SetMouseCapture(false);
    EXPECT_EQ(LastCall(Calls()).args[0], 0);
    client->setResult(kUpdateCursor, 0x1FF);
    EXPECT_EQ(owner.UpdateCursor(), 0xFF);
}

TEST_F(Instance, BooleansAndBytesAreNormalised) {
    SKIP_WITH_ENGINE_PROCESS("the host never calls these entries");
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    owner.EngineCall10(false);
    EXPECT_EQ(LastCall(Calls()).args[0], 0);
    owner.EngineCall50(1, 77);
    EXPECT_EQ(LastCall(Calls()).args[0], 1);
    EXPECT_EQ(LastCall(Calls()).args[1], 77);
    EXPECT_EQ(owner.EngineCall37(1, 2, 2.25), 0);
    EXPECT_EQ(LastCall(Calls()).number, 2.25);
    client->setResult(36, 3);
    EXPECT_EQ(owner.EngineCall36(1, 2), 3.5);
}

TEST_F(Instance, ViewCommandsShareOneEntry) {
    SKIP_WITH_ENGINE_PROCESS("the host never calls the view commands");
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    RectWords words{{5, 6, 7, 8}};
    int32_t pair[2] = {9, 10};
    owner.ViewCommand2(&words);
    owner.ViewCommand3(4, pair);
    owner.ViewCommand3(4, nullptr);
    auto calls = Calls();
    ASSERT_GE(calls.size(), 3u);
    const RecordedCall* last = &calls[calls.size() - 3];
    EXPECT_EQ(last[0].entry, kViewCommand);
    EXPECT_EQ(std::vector<intptr_t>(last[0].args, last[0].args + 5), (std::vector<intptr_t>{2, 5, 6, 7, 8}));
    EXPECT_EQ(std::vector<intptr_t>(last[1].args, last[1].args + 5), (std::vector<intptr_t>{3, 4, 9, 10, 0}));
    EXPECT_EQ(std::vector<intptr_t>(last[2].args, last[2].args + 5), (std::vector<intptr_t>{3, 4, 0, 0, 0}));
}

TEST_F(Instance, DoPlayReportsWhetherTheEngineReturned) {
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    client->setResult(kDoPlay, 17);
    EXPECT_TRUE(owner.DoPlay());
    if (EngineThrowsReachTheHost()) {
        client->setRaise(kDoPlay, kRaiseCppException);
        EXPECT_FALSE(owner.DoPlay());
        client->setRaise(kDoPlay, kRaiseNothing);
    }
    EXPECT_TRUE(owner.DoPlay());  // and the host goes on working
}

#ifdef _WIN32
TEST_F(Instance, DoPlaySurvivesStructuredExceptions) {
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    client->setRaise(kDoPlay, kRaiseForeignCppException);
    EXPECT_FALSE(owner.DoPlay());
    client->setRaise(kDoPlay, kRaiseAccessViolation);
    EXPECT_FALSE(owner.DoPlay());
    client->setRaise(kDoPlay, kRaiseNothing);
    EXPECT_TRUE(owner.DoPlay());
    EXPECT_TRUE(owner.LoadMovie(1, "still working", false));
}
#endif

TEST_F(Instance, EngineMayCallHostServicesFromInsideACall) {
    SKIP_WITH_ENGINE_PROCESS("the engine's service call is a callback");
    RecordingOwner& owner = NewOwner();
    CreateInstance(owner);
    struct Seen {
        int32_t result = -1, width = 0, height = 0;
    } seen;
    client->setCallback(
        kDoPlay,
        [](InstanceRecord* record, HostServices* services, void* context) {
            auto* s = static_cast<Seen*>(context);
            s->result = EntryAs<service::GetWindowSize>(services->entries[kServiceGetWindowSize])(record, &s->width,
                                                                                                  &s->height);
        },
        &seen);
    EXPECT_TRUE(owner.DoPlay());
    EXPECT_EQ(seen.result, 0);
    EXPECT_EQ(seen.width, 640);
    EXPECT_EQ(seen.height, 480);
    ASSERT_EQ(owner.slotCalls.size(), 1u);
    EXPECT_EQ(owner.slotCalls[0].slot, 0);
}

// The engine sets the cursor inside UpdateCursor; the host then has it, a
// null cursor included, and keeps its own when the engine sets none.
TEST_F(Instance, TheCursorTheEngineSetsInUpdateCursorBecomesTheHostsNullIncluded) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    SetCursor(arrow);
    owner.UpdateCursor();
    EXPECT_EQ(GetCursor(), arrow) << "the engine set none";
    client->setServiceCall(kUpdateCursor, kSetNullCursor, "");
    owner.UpdateCursor();
    EXPECT_EQ(GetCursor(), nullptr) << "the engine hid the cursor";
    client->setServiceCall(kUpdateCursor, kSetArrowCursor, "");
    owner.UpdateCursor();
    // Windows shares cursor handles between processes; Wine gives an engine
    // process a handle of its own for the same system cursor.
    EXPECT_NE(GetCursor(), nullptr);
    if (!EngineInItsOwnProcess()) {
        EXPECT_EQ(GetCursor(), arrow);
    }
}

TEST_F(Instance, TheCallFunctionServiceWithoutARecordFindsNoWidgetAndAnswersZero) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    client->setServiceCall(kDoPlay, kServiceCallWithoutRecord, "<invoke name=\"f\"/>");
    EXPECT_TRUE(owner.DoPlay());
    int32_t status = -1;
    char reply[16];
    client->lastServiceCall(&status, reply, sizeof reply);
    EXPECT_EQ(status, 0);
}

// Texts as long as one process carries (64 MiB) reach the engine; one too
// long for the engine process fails that call alone.
TEST_F(Instance, LongTextsReachTheEngineAndOneTooLongFailsItsCallAlone) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner), nullptr);
    client->setResult(kSetVariable, 1);
    std::string value(size_t{64} << 20, 'v');
    EXPECT_EQ(owner.SetVariable("long", value.c_str()), 1);
    ASSERT_EQ(client->CallsOf(kSetVariable).size(), 1u);
    EXPECT_EQ(std::string(client->CallsOf(kSetVariable)[0].text[1]).substr(0, 3), "vvv");
    if (EngineInItsOwnProcess()) {
        value.assign(size_t{129} << 20, 'w');
        EXPECT_EQ(owner.SetVariable("longer", value.c_str()), 0);
        EXPECT_EQ(client->CallsOf(kSetVariable).size(), 1u) << "that call was not made";
    }
    EXPECT_EQ(owner.SetVariable("short", "s"), 1) << "the engine is still there";
    EXPECT_NE(owner.instanceRecord, nullptr);
}
