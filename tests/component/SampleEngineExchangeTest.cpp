// Component parameters exchanged with the sample engine: one of each kind.
#include <ComponentExchange.h>
#include <RecordingEngineClient.h>
#include <gtest/gtest.h>

#include <memory>

#include "EngineFixture.h"

using SampleEngineExchange = EngineTest;

TEST_F(SampleEngineExchange, AMoviesParametersComeBackTypedAndTheColourGoesIn) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner, "sample"), nullptr);
    ASSERT_TRUE(owner.LoadMovie(0, VP_SAMPLES_DIR "/follow.json", false));
    int32_t count = 0;
    std::unique_ptr<ComponentParameter[]> parameters(owner.GetComponentParameters(1, &count));
    ASSERT_EQ(count, 5);
    EXPECT_EQ(parameters[0].name, u"background");
    EXPECT_EQ(parameters[0].data.GetColor(), 0x18222Eu);
    EXPECT_FALSE(parameters[1].data.GetBool());
    EXPECT_EQ(parameters[2].data.ToString(), u"[clicks,greeting]");
    EXPECT_EQ(parameters[3].data.ToString(), u"{width: 320,height: 200}");
    EXPECT_EQ(parameters[4].data.GetKind(), ComponentData::KindList);
    EXPECT_EQ(parameters[4].data.ToString(), u"0");  // the first shape, a rectangle

    ComponentParameter colour;
    colour.name = u"background";
    colour.data.Reset(ComponentData::KindColor);
    colour.data.SetColor(0x00FF00);
    EXPECT_EQ(owner.SetComponentParameters(1, colour), 1);
    parameters.reset(owner.GetComponentParameters(1, &count));
    EXPECT_EQ(parameters[0].data.GetValue(), u"#00FF00");
}

TEST_F(SampleEngineExchange, AMissingOrBrokenMovieIsRefused) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner, "sample"), nullptr);
    EXPECT_FALSE(owner.LoadMovie(0, VP_SAMPLES_DIR "/no-such-movie.json", false));
    EXPECT_FALSE(owner.LoadMovie(0, VP_SAMPLES_DIR "/../docs/movie-format.md", false));
    int32_t width = -1, height = -1;
    owner.GetMovieSize(&width, &height);
    EXPECT_EQ(width, 0);
    EXPECT_TRUE(owner.LoadMovie(0, VP_SAMPLES_DIR "/orbit.json", false));
    owner.GetMovieSize(&width, &height);
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 240);
}

TEST_F(SampleEngineExchange, VariablesRoundTripAndInvocationsAreAnswered) {
    RecordingOwner& owner = NewOwner();
    ASSERT_NE(CreateInstance(owner, "sample"), nullptr);
    ASSERT_TRUE(owner.LoadMovie(0, VP_SAMPLES_DIR "/follow.json", false));
    EXPECT_NE(owner.SetVariable("answer", "42"), 0);
    auto free = EntryAs<service::Free>(Manager().Services().entries[kFree]);
    char* value = owner.GetVariable("answer");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "42");
    free(value);
    EXPECT_EQ(owner.GetVariable("nothing"), nullptr);
    char* frame = owner.CallFunction2("<invoke name=\"getFrame\"><arguments></arguments></invoke>");
    ASSERT_NE(frame, nullptr);
    EXPECT_STREQ(frame, "<number>0</number>");
    free(frame);
    char* greeting =
        owner.CallFunction2("<invoke name=\"getVariable\"><arguments><string>greeting</string></arguments></invoke>");
    EXPECT_STREQ(greeting, "<string>waiting</string>");
    free(greeting);
    char* unknown = owner.CallFunction2("<invoke name=\"nothingLikeThis\"><arguments></arguments></invoke>");
    EXPECT_STREQ(unknown, "");
    free(unknown);
}
