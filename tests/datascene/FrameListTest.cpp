#include <climits>

#include "DataSceneSupport.h"
#include "scene/Cyclers.h"
#include "scene/FrameList.h"

namespace {

struct FrameCase {
    const char* text;
    std::vector<int> frames;
};

TEST(FrameList, GrammarTable) {
    const FrameCase cases[] = {
        {"0:3,2*1,7", {0, 1, 2, 3, 2, 2, 7}},
        {"5:5", {5}},
        {"x", {0}},
        {"3:1", {3, 2, 1}},
        {"5*2", {5, 5, 5}},
        {"5*0", {5}},
        {"5*-3", {5}},
        {",,4,,", {4}},
        {"", {}},
        {"3:", {3, 2, 1, 0}},
        {":4", {0}},
        {"*2", {0}},
        {"2:4*9", {2, 3, 4}},  // ":" is tested first
        {"-2:1", {-2, -1, 0, 1}},
        {" 7 , 8", {7, 8}},
    };
    for (const auto& c : cases) {
        std::vector<int> out;
        EXPECT_TRUE(ParseFrameList(c.text, out)) << c.text;
        EXPECT_EQ(out, c.frames) << c.text;
    }
}

TEST(FrameList, HugeRangesAndCountsAreCutWithOneLogLine) {
    const char* texts[] = {"0:2000000000", "1*2147483647", "2147483647:-2147483648", "0:9999,0:9999"};
    for (const char* text : texts) {
        testkit::LogCapture log;
        std::vector<int> out;
        EXPECT_FALSE(ParseFrameList(text, out)) << text;
        EXPECT_EQ(out.size(), kFrameListMaxEntries) << text;
        EXPECT_EQ(log.Lines().size(), 1u) << log.Text();
        EXPECT_TRUE(log.Contains("Frame list cut")) << text;
    }
    // Numbers past the int range are taken as its ends, not wrapped.
    std::vector<int> out;
    ParseFrameList("99999999999,-99999999999", out);
    EXPECT_EQ(out, (std::vector<int>{INT_MAX, INT_MIN}));
}

TEST(FrameList, TextBeyondTheBufferIsDropped) {
    std::string text;
    while (text.size() < 600) text += "1,";
    testkit::LogCapture log;
    std::vector<int> out;
    EXPECT_FALSE(ParseFrameList(text, out));
    EXPECT_EQ(out.size(), 256u);  // "1," x 255 and a "1" cut at character 511
    EXPECT_TRUE(log.Contains("Frame list cut"));
}

TEST(FrameList, Cycler2SetFramesReplacesTheList) {
    Cycler2 c;
    c.SetFrames("1,2");
    c.SetFrames("4:3");
    EXPECT_EQ(c.GetFrames(), (std::vector<int>{4, 3}));
    c.SetFrames(nullptr);
    EXPECT_TRUE(c.GetFrames().empty());
}

}  // namespace
