// Link buttons: set up from the vendor configuration and the menu layout, read through the
// file system, and opening their URL through the shell opener.
#include "WidgetsFixture.h"

#include "common/TestSupport.h"
#include "content/ResourceManager.h"
#include "widgets/UrlButton.h"
#include "widgets/WidgetServices.h"
#include "images/FakeDisplay.h"
#include "shell/ConfigSection.h"
#include "shell/FileSystem.h"
#include "shell/ImageLoaderDX.h"
#include "shell/foundation/TextHelpers.h"
#include "shell/platform/ShellOpener.h"

using namespace widgettest;

namespace {

class RecordingOpener : public pf::ShellOpener {
public:
    std::vector<std::wstring> opened;
    bool Open(const std::wstring& verb, const std::wstring& target) override {
        opened.push_back(verb + L" " + target);
        return true;
    }
};

class UrlButtonTest : public WidgetTest {
protected:
    void SetUp() override {
        WidgetTest::SetUp();
        fs.SetResourcePath(pf::FromUtf8(dir.Path().string()));
        fs.SetUserPath(pf::FromUtf8(dir.Path().string()));
        manager.reset(new ResourceManager(&loader, &fakeDisplay, &fs));
        SetResourceManager(manager.get());
        pf::SetShellOpener(&opener);
    }
    void TearDown() override {
        pf::SetShellOpener(nullptr);
        SetResourceManager(nullptr);
        manager.reset();
        WidgetTest::TearDown();
    }
    void Vendor(const std::string& text) { dir.Write("cfg/vendor.cfg", text); }
    void Menu(const std::string& text) { dir.Write("cfg/menu.cfg", text); }

    testkit::TempDir dir;
    pf::FileSystemWin32 fs;
    pf::ImageLoaderDX loader;
    testimages::FakeDisplay fakeDisplay{4096};
    std::unique_ptr<ResourceManager> manager;
    RecordingOpener opener;
};

TEST_F(UrlButtonTest, HostLinkTakesImageUrlPriorityAndMenuPosition) {
    Vendor("[hostlink]\nimg=links/host.png\nurl=https://example.org/more\npos=10,20\npri=5\nrelpos=host\n");
    Menu("[hostlink]\nhost=300,400\n");
    auto b = Make<UrlButton>();
    testkit::LogCapture log;  // the image file is missing: its stand-in is used
    ASSERT_TRUE(b->LoadHostLink());
    EXPECT_EQ(b->GetImage(), L"links/host.png");
    EXPECT_EQ(b->GetUrl(), L"https://example.org/more");
    EXPECT_EQ(b->GetPosition(), pf::Point(300, 400));
    EXPECT_EQ(b->GetPriority(), 5);
    EXPECT_TRUE(b->IsEnabled());
    ASSERT_NE(b->GetResAnim(), nullptr);
    EXPECT_EQ(b->GetResAnim()->GetNumCels(), 4);
    EXPECT_EQ(b->GetName(), L"Button");
}

TEST_F(UrlButtonTest, MenuLayoutDecidesThePosition) {
    struct Case {
        const char* name;
        std::string menu;
        std::string relpos;
        pf::Point expected;
    };
    const Case cases[] = {
        {"no menu file keeps pos", "", "relpos=host\n", pf::Point(10, 20)},
        {"menu without the section keeps pos", "[other]\nhost=1,2\n", "relpos=host\n", pf::Point(10, 20)},
        {"section without the key", "[hostlink]\nelse=1,2\n", "relpos=host\n", pf::Point(-1, -1)},
        {"no relpos in the vendor section", "[hostlink]\nhost=1,2\n", "", pf::Point(-1, -1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir.Path() / "cfg/menu.cfg");
        if (!c.menu.empty()) Menu(c.menu);
        Vendor("[hostlink]\nimg=host.png\nurl=u\npos=10,20\n" + c.relpos);
        auto b = Make<UrlButton>();
        testkit::LogCapture log;
        ASSERT_TRUE(b->LoadHostLink());
        EXPECT_EQ(b->GetPosition(), c.expected);
    }
}

TEST_F(UrlButtonTest, NoImageChangesNothing) {
    Vendor("[hostlink]\nurl=https://example.org\npos=10,20\npri=3\n");
    auto b = Make<UrlButton>();
    b->SetPosition(pf::Point(1, 2));
    EXPECT_FALSE(b->LoadHostLink());
    EXPECT_EQ(b->GetUrl(), L"");
    EXPECT_EQ(b->GetPosition(), pf::Point(1, 2));
    EXPECT_EQ(b->GetPriority(), 0);
    EXPECT_FALSE(b->LoadDistLink());  // no such section
}

TEST_F(UrlButtonTest, DistLinkIsShownButNeverClickable) {
    Vendor("[distlink]\nimg=dist.png\nurl=https://example.org/dist\n");
    auto b = Make<UrlButton>();
    testkit::LogCapture log;
    ASSERT_TRUE(b->LoadDistLink());
    EXPECT_EQ(b->GetUrl(), L"");
    EXPECT_FALSE(b->IsEnabled());
    EXPECT_NE(b->GetResAnim(), nullptr);
    b->SetClickSound(L"click");
    b->Click(1);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_TRUE(sounds->ids.empty());
}

TEST_F(UrlButtonTest, ClickOpensTheUrlWithItsSoundAndPostsNothing) {
    WatchPostedEvents();
    auto b = Make<UrlButton>();
    root->AddItem(b.get());
    EXPECT_TRUE(b->SetProperty(L"url", L"https://example.org/a b"));
    EXPECT_TRUE(b->SetProperty(L"clickSound", L"click"));
    EXPECT_FALSE(b->SetProperty(L"img", L"x"));
    b->SetToggle(true);
    b->Click(1);
    b->DoubleClick(1);
    root->Cycle();
    EXPECT_EQ(opener.opened, (std::vector<std::wstring>{L"open https://example.org/a b", L"open https://example.org/a b"}));
    EXPECT_EQ(sounds->ids, (std::vector<std::wstring>{L"click", L"click"}));
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(b->IsSelected());
    EXPECT_TRUE(b->IsKindOf(TypeId::UrlButton) && b->IsKindOf(TypeId::Button));
}

TEST_F(UrlButtonTest, FindsTheConfigurationWhateverItsCase) {
    // The configuration is found case-insensitively below the data folder.
    dir.Write("Cfg/Vendor.CFG", "[hostlink]\nimg=h.png\nurl=x\n");
    auto b = Make<UrlButton>();
    testkit::LogCapture log;
    EXPECT_TRUE(b->LoadHostLink());
    EXPECT_EQ(b->GetUrl(), L"x");
}

}  // namespace
