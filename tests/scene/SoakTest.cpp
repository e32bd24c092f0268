// A soak of the scene core: random trees of actors, modifier pairs under every controller
// type, input handlers, input, direct and deferred deletes, clones, moves, device losses
// and a script-like holder that keeps handlers, pairs and items across frames and keeps
// using them. Under the sanitizers any use of freed memory ends the run; at the end no
// item may be left alive. The suite runs a short seeded form; RUV3_SOAK_FRAMES (and
// RUV3_SOAK_SEED) ask for a longer one.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>

#include "SceneTestSupport.h"
#include "common/TestSupport.h"
#include "scene/ButtonHandler.h"
#include "scene/DragHandler.h"
#include "scene/FixedCycleItem.h"
#include "scene/ItemLeakDetector.h"
#include "scene/RollOverHandler.h"
#include "scene/TimeController.h"
#include "scene/TimeCurves.h"
#include "shell/DisplayDX.h"
#include "shell/pixels/MemorySurface.h"
#include "shell/Random.h"
#include "shell/platform/DisplayPlatform.h"
#include "shell/render/SoftDevice.h"

using namespace scenetest;
using pf::Event;
using pf::EventType;

namespace {

class World;

// The platform clock of the run.
int g_now = 100000;
int Now() { return g_now; }

// An actor that now and then disturbs the tree from inside its own cycle.
class SoakActor : public Actor {
public:
    explicit SoakActor(World* world) : world_(world) {}
    SoakActor(const SoakActor& o) = default;
    Item* Clone(void*) const override { return new SoakActor(*this); }
    void Cycle() override;
    void Click(int) override;

private:
    World* world_;
};

// Moves its client a little at each step and now and then disturbs the tree.
class SoakModifier : public Modifier {
public:
    explicit SoakModifier(World* world) : world_(world) {}
    SoakModifier(const SoakModifier& o) = default;
    Modifier* Clone() const override { return new SoakModifier(*this); }
    void Action(float value, float shifted) override;
    void Cycle() override;

private:
    World* world_;
};

class SoakController : public TimeController {
public:
    SoakController() = default;
    SoakController(const SoakController&) = default;
    TimeController* Clone() const override { return new SoakController(*this); }
};

class World {
public:
    explicit World(unsigned seed) : rng_(seed) {
        platform_.faults = &faults_;
        display_ = std::make_unique<pf::DisplayDX>(&platform_);
        ok = display_->Init(160, 120, false, false, false);
        if (!ok) return;
        for (uint32_t argb : {0xFFFF0000u, 0x80FFFFFFu, 0x00000000u}) {
            pf::MemorySurface image(8 + Roll(24), 8 + Roll(24));
            pf::PixelView v = image.GetView();
            for (int y = 0; y < image.GetHeight(); ++y)
                for (int x = 0; x < image.GetWidth(); ++x)
                    reinterpret_cast<uint32_t*>(v.data + y * v.pitch)[x] = (x + y) % 3 ? argb : 0xFF00FF00u;
            surfaces_.push_back(display_->CreateSurfaceFromImage(v));
        }
        // A default-pool surface: device losses take its texture away until the reset.
        surfaces_.push_back(display_->CreateNativeSurface(16, 16, pf::PixelFormat::A8R8G8B8, 1, false, true));
        root_ = new RootItem;
        root_->SetDoubleClickEnabled(true);
        SetRootItem(root_.get());
    }

    ~World() {
        held_.clear();
        pairs_.clear();
        handlers_.clear();
        SetRootItem(nullptr);
        root_.reset();
        surfaces_.clear();
        display_.reset();
    }

    bool ok = false;
    size_t maxItems = 0;

    int Roll(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool Chance(int percent) { return Roll(100) < percent; }

    void Frame(int frame) {
        g_now += Chance(2) ? Roll(1500) : 16;
        for (int i = Roll(4); i > 0; --i) Input();
        for (int i = 1 + Roll(3); i > 0; --i) Change();
        Script();
        if (Chance(1)) root_->SetPaused(!root_->IsPaused());
        if (root_->IsPaused() && Chance(30)) root_->SetPaused(false);
        root_->Cycle();
        const size_t live = Items().size();
        if (live > maxItems) maxItems = live;
        Device(frame);
        if (display_->BeginFrame(nullptr)) {
            root_->Render(*display_);
            display_->EndFrame();
        }
    }

    // One disturbance from inside the engine's walks (a cycle, a step, a callback).
    void Disturb() {
        if (depth_ > 2) return;
        ++depth_;
        Change();
        --depth_;
    }

private:
    // Every item of the current tree below the root, in pre-order.
    std::vector<my_intrusive_ptr<Item>> Items() {
        Item::ItemList all;
        root_->CollectItemsOfType(all, TypeId::Item);
        all.erase(all.begin());  // the root
        return all;
    }
    my_intrusive_ptr<Item> Pick(bool orRoot) {
        auto all = Items();
        if (all.empty() || (orRoot && Chance(25))) return orRoot ? my_intrusive_ptr<Item>(root_) : nullptr;
        return all[Roll(static_cast<int>(all.size()))];
    }

    my_intrusive_ptr<Item> NewItem() {
        my_intrusive_ptr<Item> item;
        switch (Roll(4)) {
            case 0: item = new Item; break;
            case 1: item = new FixedCycleItem; break;
            default: {
                auto* actor = new SoakActor(this);
                actor->SetSurface(surfaces_[Roll(static_cast<int>(surfaces_.size()))].get());
                actor->SetIgnoreTransparency(Chance(50));
                if (Chance(30)) actor->SetScale(0.5f + Roll(30) / 10.0f);
                if (Chance(20)) actor->SetRotationDegrees(static_cast<float>(Roll(360)));
                if (Chance(20)) actor->SetAlpha(Roll(256));
                item = actor;
            }
        }
        item->SetPosition(pf::Point(Roll(160) - 20, Roll(120) - 20));
        item->SetPriority(Roll(5));
        if (Chance(15)) item->SetModal(true);
        if (Chance(10)) item->SetEnabled(false);
        if (Chance(10)) item->SetVisible(false);
        if (Chance(10)) item->AddEventHandler(new ClockHandler);
        return item;
    }

    TimeShift* NewCurve() {
        switch (Roll(6)) {
            case 0: return new Accelerate(Roll(4));
            case 1: return new Decelerate(Roll(4));
            case 2: return new DelayLinear(Roll(10) / 10.0f);
            case 3: return new OverShoot;
            case 4: return new Pendulum;
            default: return nullptr;
        }
    }

    void AddPair(Item* item) {
        my_intrusive_ptr<Modifier> m(new SoakModifier(this));
        if (Chance(5)) m->SetDeleteClient(true);
        if (Chance(20)) m->SetOnDone(Callback([this] { Disturb(); }));
        my_intrusive_ptr<TimeController> tc;
        if (!Chance(15)) {
            tc = new SoakController;
            const int loops = Chance(50) ? -1 : 1 + Roll(3);
            tc->Init(Chance(5) ? 0 : 1 + Roll(600), static_cast<TimeControllerType>(Roll(4)), loops, NewCurve());
            if (Chance(10)) tc->SetCallback(TimeControllerCallback([this](TimeController*, float, bool) {
                if (Chance(20)) Disturb();
            }));
        }
        item->AddModifier(m.get(), tc.get());
        if (Chance(20)) pairs_.emplace_back(m.get(), tc.get());
    }

    void AddHandler(Item* item) {
        my_intrusive_ptr<EvtHandler> h;
        auto disturb = Callback([this] {
            if (Chance(40)) Disturb();
        });
        switch (Roll(4)) {
            case 0: {
                auto* b = new ButtonHandler;
                b->SetOnClick(disturb);
                b->SetOnPressDown(disturb);
                h = b;
                break;
            }
            case 1: {
                auto* d = new DragHandler;
                d->SetOnDrag(disturb);
                if (Chance(40)) d->SetDragClient(Pick(true).get());
                if (Chance(30)) d->SetSnapTo(Roll(20));
                d->SetConfineToScreen(Chance(30));
                h = d;
                break;
            }
            case 2: {
                auto* r = new RollOverHandler;
                r->SetOnEnter(disturb);
                r->SetOnExit(disturb);
                h = r;
                break;
            }
            default: {
                auto* c = new ClockHandler;
                c->SetOnPause(disturb);
                c->SetOnUnPause(disturb);
                h = c;
            }
        }
        item->AddEventHandler(h.get());
        if (Chance(25)) handlers_.push_back(h);
    }

    // One random change of the tree.
    void Change() {
        const int items = static_cast<int>(Items().size());
        const bool crowded = items > 120;
        switch (Roll(14)) {
            case 0:
            case 1:
                if (!crowded) Pick(true)->AddItem(NewItem().get());
                break;
            case 2:
                if (auto item = Pick(true)) AddPair(item.get());
                break;
            case 3:
                if (auto item = Pick(true); item && item != root_) AddHandler(item.get());
                break;
            case 4:  // direct delete
                if (auto item = Pick(false); item && item->GetParent()) item->GetParent()->RemoveItem(item.get());
                break;
            case 5:  // deferred delete
                if (auto item = Pick(false)) item->safeDelete();
                break;
            case 6:
                if (auto item = Pick(false)) {
                    if (Chance(50))
                        item->cleanup();
                    else
                        item->RemoveAllDescendents(Chance(50));
                }
                break;
            case 7:  // clone a subtree somewhere
                if (auto item = Pick(false); item && !crowded)
                    if (my_intrusive_ptr<Item> copy = item->Clone(nullptr)) Pick(true)->AddItem(copy.get());
                break;
            case 8:  // move
                if (auto item = Pick(false)) {
                    auto to = Pick(true);
                    if (to && !item->Contains(to.get())) to->AddItem(item.get());
                }
                break;
            case 9:
                if (auto item = Pick(false)) {
                    const auto& hs = item->GetEventHandlers();
                    if (!hs.empty()) item->RemoveEventHandler(hs[Roll(static_cast<int>(hs.size()))].get());
                    if (Chance(20)) item->RemoveAllModifiers();
                    if (Chance(10)) item->StopModifiers();
                }
                break;
            case 10:
                if (auto item = Pick(true); item && item->GetEventHandlerOfType(TypeId::ClockHandler)) {
                    if (Chance(50))
                        item->PauseTime(Chance(50));
                    else
                        item->PauseAllOtherClocks(Chance(50));
                }
                break;
            case 11:
                root_->PostEvent(Chance(50) ? EventType::ButtonClick : EventType::Clock, Roll(5), 0, 0, L"", L"", L"");
                break;
            case 12:
                if (auto item = Pick(false)) item->SetPriority(Roll(5));
                break;
            default:
                if (auto item = Pick(false)) item->SetEnabled(!item->IsEnabled());
                break;
        }
    }

    void Input() {
        static const int types[] = {EventType::MouseMotion, EventType::MouseMotion, EventType::MouseButtonDown,
                                    EventType::MouseButtonUp, EventType::KeyDown};
        const int type = types[Roll(5)];
        Event e = Button(type, Roll(200) - 20, Roll(160) - 20, 1 + Roll(2));
        if (type == EventType::KeyDown) e.SetInt(pf::EventProperty::KEY_SYM, Roll(3));
        if (Chance(1)) e = Button(type, Chance(50) ? 2147483647 : -2147483647, Roll(120));
        root_->ProcessEvent(e);
    }

    // What a script does with what it keeps: uses the handlers, pairs and items it holds
    // whether or not their items still exist, adds held pairs to further items, lets go.
    void Script() {
        if (Chance(20)) {
            if (auto item = Pick(false)) held_.push_back(item);
        }
        if (Chance(10)) {
            if (auto item = Pick(true); item && !item->GetModifiers().empty())
                pairs_.push_back(item->GetModifiers()[Roll(static_cast<int>(item->GetModifiers().size()))]);
        }
        // Copies: what runs below may add to the lists.
        const auto handlers = handlers_;
        const auto pairs = pairs_;
        const auto held = held_;
        for (const auto& h : handlers) {
            if (!Chance(20)) continue;
            if (Item* client = h->GetClient()) client->SetPosition(client->GetPosition() + pf::Point(1, 0));
            if (h->IsKindOf(TypeId::ClockHandler)) {
                auto* clock = static_cast<ClockHandler*>(h.get());
                if (Chance(50))
                    clock->PauseTime(clock->GetPauseCounter() == 0);
                else
                    clock->PauseAllOtherClocks(Chance(50));
            }
            if (h->IsKindOf(TypeId::DragHandler)) static_cast<DragHandler*>(h.get())->GetDragClient();
            Event e = Button(EventType::MouseButtonUp, Roll(160), Roll(120));
            h->HandleEvent(TreeState(), e);
        }
        for (const auto& pair : pairs) {
            if (!Chance(10)) continue;
            if (Chance(30)) {
                if (auto item = Pick(true)) item->AddModifier(pair.modifier.get(), pair.controller.get());
            } else if (pair.controller) {
                pair.controller->Update(pair.modifier.get());
            }
            if (Item* client = pair.modifier->GetClient()) client->GetTicks();
        }
        for (const auto& item : held) {
            if (!Chance(5)) continue;
            if (Chance(50)) {
                auto to = Pick(true);
                if (to && !item->Contains(to.get())) to->AddItem(item.get());
            } else {
                item->Cycle();
            }
        }
        auto thin = [this](auto& list, size_t cap) {
            while (!list.empty() && (list.size() > cap || Chance(5))) list.erase(list.begin() + Roll(static_cast<int>(list.size())));
        };
        thin(handlers_, 12);
        thin(pairs_, 12);
        thin(held_, 12);
    }

    void Device(int frame) {
        if (frame % 97 == 50 || Chance(1)) faults_.LoseDevice();
        if (Chance(20)) {
            if (Chance(20)) faults_.FailResets(1 + Roll(2));
            faults_.AllowReset();
        }
    }

    std::mt19937 rng_;
    pf::HeadlessDisplayPlatform platform_;
    pf::DeviceFaults faults_;
    std::unique_ptr<pf::DisplayDX> display_;
    std::vector<pf::SurfacePtr> surfaces_;
    my_intrusive_ptr<RootItem> root_;
    std::vector<my_intrusive_ptr<EvtHandler>> handlers_;
    std::vector<ModifierEntry> pairs_;
    std::vector<my_intrusive_ptr<Item>> held_;
    int depth_ = 0;
};

void SoakActor::Cycle() {
    if (world_->Chance(1)) world_->Disturb();
    Actor::Cycle();
}

void SoakActor::Click(int) { world_->Disturb(); }

void SoakModifier::Action(float value, float shifted) {
    if (Item* client = GetClient()) {
        client->SetPositionF(client->GetPositionF() + pf::VectorT2(value - 0.5f, shifted - 0.5f));
        if (world_->Chance(2)) world_->Disturb();
    }
}

void SoakModifier::Cycle() {
    if (world_->Chance(1)) Finish();
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

}  // namespace

// Registered after the registry test of this folder: it switches the registry on.
TEST(SceneSoak, RandomFramesLeaveNothingFreedInUseAndNoItemAlive) {
    const int frames = EnvInt("RUV3_SOAK_FRAMES", 300);
    const unsigned seed = static_cast<unsigned>(EnvInt("RUV3_SOAK_SEED", 20261210));
    ItemLeakDetector::Initialize();
    const int before = ItemLeakDetector::Count();
    int screenWidth = 0, screenHeight = 0;
    pf::GetGameScreenSize(screenWidth, screenHeight);
    pf::SeedRand(seed);
    {
        testkit::LogCapture log;  // the run is meant to log now and then; keep it out of the way
        pf::SetNowMsSource(&Now);
        {
            World world(seed);
            ASSERT_TRUE(world.ok);
            for (int frame = 0; frame < frames; ++frame) world.Frame(frame);
            std::printf("soak: %d frames, seed %u, up to %zu items in the tree\n", frames, seed, world.maxItems);
        }
        pf::SetNowMsSource(nullptr);
    }
    pf::SetGameScreenSize(screenWidth, screenHeight);
    EXPECT_EQ(ItemLeakDetector::Count(), before);
    if (ItemLeakDetector::Count() != before) ItemLeakDetector::ReportLeaks();
}
