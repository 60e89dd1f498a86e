// The sample engine's movie format and invocations, where a fault would
// mislead a user: parse errors, interpolation, substitution, invocations.
#include <Invocation.h>
#include <MouseInput.h>
#include <Movie.h>
#include <gtest/gtest.h>

using namespace sample;

namespace {

const char* kMinimal = R"({"stage": {"width": 100, "height": 50, "background": "#102030"},
    "frames": 10, "variables": {"n": "1", "k": 2},
    "shapes": [{"type": "rect", "keys": [{"frame": 8, "x": 80, "color": "#FFFFFF"},
                                        {"frame": 0, "x": 0, "w": 10, "color": "#000000"}]}],
    "scripts": [{"frame": 3, "trace": "t"}], "onClick": {"increment": "n"}})";

std::string ErrorOf(const std::string& json) {
    Movie movie;
    std::string error;
    EXPECT_FALSE(ParseMovie(json, &movie, &error)) << json;
    return error;
}

}  // namespace

TEST(SampleMovie, AValidMovieIsReadWithItsKeyframesInOrder) {
    Movie movie;
    std::string error;
    ASSERT_TRUE(ParseMovie(kMinimal, &movie, &error)) << error;
    EXPECT_EQ(movie.width, 100);
    EXPECT_EQ(movie.height, 50);
    EXPECT_EQ(movie.background, 0x102030u);
    EXPECT_EQ(movie.frameCount, 10);
    EXPECT_EQ(movie.variables["n"], "1");
    EXPECT_EQ(movie.variables["k"], "2");
    EXPECT_EQ(movie.clickIncrements, "n");
    ASSERT_EQ(movie.shapes.size(), 1u);
    Keyframe middle = movie.shapes[0].At(4);
    EXPECT_DOUBLE_EQ(middle.x, 40);
    EXPECT_DOUBLE_EQ(middle.w, 5);
    EXPECT_EQ(middle.color, 0x808080u);
    EXPECT_DOUBLE_EQ(movie.shapes[0].At(20).x, 80);  // after the last keyframe it holds
}

TEST(SampleMovie, BrokenMoviesAreRefusedWithAReason) {
    EXPECT_EQ(ErrorOf("not json"), "not a JSON object");
    EXPECT_NE(ErrorOf(R"({"frames": 2})").find("malformed movie"), std::string::npos);
    EXPECT_NE(ErrorOf(R"({"stage": {"width": 0, "height": 5}})").find("stage size"), std::string::npos);
    EXPECT_NE(ErrorOf(R"({"stage": {"width": 5, "height": 5, "background": "red"}})").find("background"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"stage": {"width": 5, "height": 5}, "frames": 0})").find("at least one frame"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"stage": {"width": 5, "height": 5}, "shapes": [{"type": "star", "keys": []}]})")
                  .find("unknown shape type"),
              std::string::npos);
    EXPECT_NE(ErrorOf(R"({"stage": {"width": 5, "height": 5}, "shapes": [{"type": "rect", "keys": []}]})")
                  .find("at least one keyframe"),
              std::string::npos);
    EXPECT_NE(
        ErrorOf(R"({"stage": {"width": 5, "height": 5}, "shapes": [{"type": "rect", "keys": 3}]})").find("malformed"),
        std::string::npos);
}

TEST(SampleMovie, VariablesAreSubstitutedInTexts) {
    std::map<std::string, std::string> variables{{"a", "1"}};
    EXPECT_EQ(Substitute("{a} and {b}!", variables), "1 and !");
    EXPECT_EQ(Substitute("open {a", variables), "open {a");
}

TEST(SampleInvocation, TheHostsMouseInvocationsParseBack) {
    Invocation call;
    ASSERT_TRUE(ParseInvocation(MouseInvocation("handleMouseMove", -5, 12, {true, false, true}), &call));
    EXPECT_EQ(call.name, "handleMouseMove");
    EXPECT_EQ(call.arguments, (std::vector<std::string>{"-5", "12", "true", "false", "true"}));
    ASSERT_TRUE(ParseInvocation(PlainInvocation("handleMouseEnter"), &call));
    EXPECT_TRUE(call.arguments.empty());
    ASSERT_TRUE(ParseInvocation(
        "<invoke name=\"getVariable\"><arguments><string>a &lt;b&gt;</string></arguments></invoke>", &call));
    EXPECT_EQ(call.arguments, (std::vector<std::string>{"a <b>"}));
    EXPECT_FALSE(ParseInvocation("getFrame", &call));
    EXPECT_FALSE(ParseInvocation("<invoke name=\"x\"><arguments><number>1</arguments></invoke>", &call));
}

TEST(SampleInvocation, RepliesEscapeMarkup) {
    EXPECT_EQ(StringReply("a<b&c>"), "<string>a&lt;b&amp;c&gt;</string>");
    EXPECT_EQ(NumberReply(-3), "<number>-3</number>");
}
