#include "ContentFixture.h"
#include "scene/Actor.h"

using contenttest::ContentTest;
using contenttest::PixelAt;

TEST_F(ContentTest, LoadAnimDecodesOnceAndActorsDrawIt) {
    CopyFixture("grid.png", "img/grid.png");
    Write("defs.xml", R"(<d><image id="grid" file="img/GRID.png" cels="3" loops="2"/></d>)");
    ASSERT_TRUE(manager->LoadResourceDefinitions(L"defs.xml"));
    ResAnim* anim = manager->LoadAnim(L"grid");
    ASSERT_TRUE(anim);
    const size_t textures = display.created.size();
    EXPECT_EQ(manager->LoadAnim(L"grid"), anim);
    EXPECT_EQ(display.created.size(), textures);
    EXPECT_EQ(manager->LoadAnim(L"unknown"), nullptr);

    my_intrusive_ptr<Actor> actor(new Actor);
    EXPECT_TRUE(actor->SetProperty(L"anim", L"grid"));
    EXPECT_EQ(actor->GetResAnim(), anim);
    EXPECT_EQ(actor->GetAnim(), L"grid");
    actor->SetLoop(1);
    actor->SetCel(2);
    EXPECT_EQ(actor->GetSurface().get(), anim->getCel(1, 2));
    EXPECT_EQ(actor->GetWidth(), 100);
    // Unloading everything leaves the anim to the actor that shows it.
    manager->UnloadAll(true);
    EXPECT_FALSE(manager->IsLoaded(L"grid"));
    EXPECT_EQ(actor->GetResAnim()->GetId(), L"grid");
    EXPECT_EQ(PixelAt(actor->GetSurface().get(), 0, 0), pf::Color(0, 0, 255, 255));
    actor->SetCel(0);
    actor->SetLoop(0);
    EXPECT_EQ(PixelAt(actor->GetSurface().get(), 0, 0), pf::Color(255, 0, 0, 255));
    // A new load makes a new object.
    EXPECT_NE(manager->LoadAnim(L"grid"), actor->GetResAnim());
}

TEST_F(ContentTest, LookupsAnswerOnlyTheTypeAskedFor) {
    CopyFixture("small.png", "small.png");
    Write("same.xml", "<x/>");
    ASSERT_TRUE(manager->GetXmlData(L"same.xml"));
    EXPECT_EQ(manager->LoadAnim(L"same.xml"), nullptr);  // cached XML is not an image
    ResAnim* anim = manager->LoadAnimFromFile(L"small.png", L"", 1, 1, L"same.xml", L"", L"");
    ASSERT_TRUE(anim);
    EXPECT_TRUE(anim->IsKindOf(TypeId::ResAnim));
    EXPECT_EQ(manager->LoadAnim(L"same.xml"), anim);
    EXPECT_EQ(manager->GetFont(L"same.xml"), nullptr);
    EXPECT_NE(manager->GetXmlData(L"same.xml"), nullptr);
    EXPECT_EQ(manager->GetLoadedCount(), 2);
}

TEST_F(ContentTest, UnloadReleaseAndRemove) {
    CopyFixture("small.png", "small.png");
    ResAnim* keep = manager->LoadAnimFromFile(L"small.png", L"", 1, 1, L"keep", L"", L"");
    ResAnim* drop = manager->LoadAnimFromFile(L"small.png", L"", 1, 1, L"drop", L"", L"");
    ResAnim* gone = manager->LoadAnimFromFile(L"small.png", L"", 1, 1, L"gone", L"", L"");
    ASSERT_TRUE(keep && drop && gone);
    keep->SetPermanent(true);
    EXPECT_TRUE(manager->ReleaseResource(keep));
    EXPECT_TRUE(manager->RemoveResource(keep));
    EXPECT_TRUE(manager->IsLoaded(L"keep"));
    EXPECT_TRUE(manager->HasDescriptor(L"keep"));
    EXPECT_TRUE(manager->RemoveResource(gone));
    EXPECT_FALSE(manager->IsLoaded(L"gone"));
    EXPECT_FALSE(manager->HasDescriptor(L"gone"));
    my_intrusive_ptr<ResAnim> held(drop);
    manager->UnloadAll(false);
    EXPECT_TRUE(manager->IsLoaded(L"keep"));
    EXPECT_FALSE(manager->IsLoaded(L"drop"));
    EXPECT_EQ(held->GetRefCount(), 1);  // the holder's reference only
    EXPECT_EQ(held->GetWidth(), 40);
    // A resource that is not listed is left alone.
    manager->UnloadResource(held.get());
    EXPECT_EQ(held->GetRefCount(), 1);
    ResID stray;
    manager->RemoveDescriptor(&stray);
    EXPECT_TRUE(manager->HasDescriptor(L"keep"));

    // Removing an image takes its own descriptor, not a sound's of the same id listed before it.
    EXPECT_EQ(manager->LoadSoundFile(L"a.ogg", L"both"), nullptr);
    ResAnim* both = manager->LoadAnimFromFile(L"small.png", L"", 1, 1, L"both", L"", L"");
    ASSERT_TRUE(both);
    EXPECT_TRUE(manager->RemoveResource(both));
    EXPECT_TRUE(manager->FindDescriptor(L"both", L"SOUND"));
    EXPECT_FALSE(manager->FindDescriptor(L"both", L"IMAGE"));
    EXPECT_EQ(manager->LoadAnim(L"both"), nullptr);
}

TEST_F(ContentTest, ClonesStringsAndSounds) {
    CopyFixture("small.png", "small.png");
    manager->LoadTextureFile(L"small.png", L"tex");
    EXPECT_EQ(manager->CloneResource(L"absent", L""), L"");
    EXPECT_EQ(manager->CloneResource(L"tex", L""), L"tex-1");
    EXPECT_EQ(manager->CloneResource(L"tex", L""), L"tex-2");
    EXPECT_EQ(manager->CloneResource(L"tex", L"named"), L"named");
    EXPECT_EQ(manager->FindDescriptor(L"tex-2")->params[kImageSingleTexture], L"1");

    EXPECT_EQ(manager->GetString(L"none", L"fallback"), L"fallback");
    manager->SetString(L"k", L"v");
    EXPECT_EQ(manager->ResolveString(L"#k"), L"v");
    EXPECT_EQ(manager->ResolveString(L"k"), L"k");

    const int before = manager->GetDescriptorCount();
    EXPECT_EQ(manager->LoadSoundFile(L"a.ogg", L"snd"), nullptr);
    EXPECT_EQ(manager->LoadSoundFile(L"a.ogg", L"snd"), nullptr);
    EXPECT_EQ(manager->GetDescriptorCount(), before + 2);
    EXPECT_EQ(manager->CreateFontByName(L"Sans", 12, false, false, false), nullptr);
}
