#include "ContentFixture.h"
#include "content/ResFont.h"
#include "content/Resources.h"
#include "content/ThreadResourcesQueue.h"

using contenttest::ContentTest;

namespace {

class ResourcesTest : public ContentTest {
protected:
    void SetUp() override {
        ContentTest::SetUp();
        CopyFixture("strip.png", "art/strip.png");
        CopyFixture("grid.png", "grid.png");
    }
    ResourceServices Services() { return ResourceServices{&loader, &fs, &display}; }
    std::unique_ptr<Resources> Load(const std::string& body, ThreadResourcesQueue* queue = nullptr) {
        Write("list.xml", "<?xml version='1.0'?><!-- list --><resources>" + body + "</resources>");
        auto list = std::make_unique<Resources>(Services());
        EXPECT_TRUE(list->load(L"list.xml", queue)) << body;
        return list;
    }
};

}  // namespace

TEST_F(ResourcesTest, CelGridFromCelSizes) {
    struct Case {
        const char* attributes;
        int columns, rows;
    };
    const Case cases[] = {
        {"", 1, 1},
        {"cels='4' loops='2'", 4, 2},
        {"cel_width='64'", 4, 1},
        {"cel_width='64' cel_height='32'", 4, 4},
        {"cel_height='32'", 1, 4},
        {"cel_width='64' cel_height='0'", 4, 1},  // 0 is missing, not a divisor
        {"cel_width='0' cels='2'", 2, 1},
        {"cels='0' loops='-3'", 1, 1},
        {"cel_width='100000'", 0, 1},  // wider than the image: no cels
        {"cel_height='2' cel_width='1' cels='99999999'", 256, 64},
        {"cel_height='1' cel_width='1'", 1, 1},  // 32768 cels: more than any sheet, drawn as one
    };
    for (const Case& c : cases) {
        auto list = Load(std::string("<set path='art'/><image id='s' file='strip.png' ") + c.attributes + "/>");
        ResAnim* anim = list->getAnim(L"s");
        ASSERT_TRUE(anim) << c.attributes;
        EXPECT_EQ(anim->GetNumCels(), c.columns) << c.attributes;
        EXPECT_EQ(anim->GetNumLoops(), c.rows) << c.attributes;
    }
}

TEST_F(ResourcesTest, SetFoldersDuplicatesAndFailures) {
    testkit::LogCapture log;
    auto list = Load("<image id='a' file='grid.png' pos='3,4'/><set path='art'/><image id='b' file='strip.png'/>"
                     "<image id='a' file='strip.png'/><unknown/><font id='f'/><font/><sound id='s' file='x.ogg'/>");
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(list->getAnim(L"a")->GetWidth(), 256);  // the later duplicate
    EXPECT_EQ(list->getAnimByIndex(0)->GetWidth(), 300);  // "/grid.png" before any set
    EXPECT_EQ(list->getAnimByIndex(0)->GetPos(), pf::Point(3, 4));
    EXPECT_EQ(list->getAnimByIndex(3), nullptr);
    EXPECT_EQ(list->getAnim(L"b")->GetId(), L"b");
    EXPECT_TRUE(list->getFont(L"f"));  // listed though it did not load
    EXPECT_EQ(list->getSound(L"s"), nullptr);  // no sound support installed
    EXPECT_EQ(list->getXmlFilePath(), L"list.xml");
    EXPECT_FALSE(log.Contains("ERROR"));

    Resources other(Services());
    EXPECT_FALSE(other.load(L"missing.xml", nullptr));
    Write("bad.xml", "<resources><image id='x'></resources>");
    EXPECT_FALSE(other.load(L"bad.xml", nullptr));
    Write("none.xml", "<list><image id='x' file='grid.png'/></list>");
    EXPECT_FALSE(other.load(L"none.xml", nullptr));
    EXPECT_EQ(other.GetCount(), 0);
}

TEST_F(ResourcesTest, DeclaredSizeDefersOnlyWithAQueue) {
    ThreadResourcesQueue queue(Services());
    auto list = Load("<image id='d' file='grid.png' rect='0,0,300,200' cels='3' loops='2'/>"
                     "<image id='now' file='grid.png'/>"
                     "<image id='huge' file='grid.png' rect='0,0,2147483647,2147483647' cel_width='7'/>",
                     &queue);
    EXPECT_FALSE(list->getAnim(L"d")->IsLoaded());
    EXPECT_TRUE(list->getAnim(L"now")->IsLoaded());
    EXPECT_TRUE(list->getAnim(L"huge")->IsLoaded());  // refused as a size: loaded at once
    EXPECT_EQ(list->getAnim(L"huge")->GetNumCels(), 42);
    queue.SetThreadsCount(0);
    queue.Start();
    EXPECT_TRUE(list->getAnim(L"d")->IsLoaded());
    EXPECT_EQ(queue.GetCount(), 2);
    EXPECT_EQ(queue.GetLoadedCount(), 2);

    auto plain = Load("<image id='d' file='grid.png' rect='0,0,300,200'/>");
    EXPECT_TRUE(plain->getAnim(L"d")->IsLoaded());
}
