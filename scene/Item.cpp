#include "scene/Item.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "scene/Actor.h"
#include "scene/ClockHandler.h"
#include "scene/EventManager.h"
#include "scene/EvtHandler.h"
#include "scene/ItemWalk.h"
#include "scene/RootItem.h"
#include "scene/ScreenSize.h"
#include "shell/Clock.h"
#include "shell/foundation/Log.h"

using pf::MatrixT;
using pf::Point;
using pf::Rect;
using pf::VectorT2;
using pf::VectorT3;

namespace {

// Index of the first element of a counted list that holds p, or npos.
template <typename List, typename T>
size_t IndexOf(const List& list, const T* p) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == p) return i;
    return static_cast<size_t>(-1);
}

// Takes the entry holding p out (wherever callees may have moved it); true when found.
template <typename List, typename T>
bool EraseEntry(List& list, const T* p) {
    const size_t i = IndexOf(list, p);
    if (i == static_cast<size_t>(-1)) return false;
    EraseListed(list, i);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- construction

Item::Item() : Base(L"Item") {
    width_ = GetGameScreenWidth();
    height_ = GetGameScreenHeight();
    ConnectEventManager();
}

Item::Item(const Item& o)
    : Base(o),
      ModifiersParent(),
      ItemLeakDetector(),
      ignoreTransparency_(o.ignoreTransparency_),
      modal_(o.modal_),
      visible_(o.visible_),
      enabled_(o.enabled_),
      mouseOver_(o.mouseOver_),
      pressed_(o.pressed_),
      childOrderDirty_(o.childOrderDirty_),
      selected_(o.selected_),
      useClipRect_(o.useClipRect_),
      clickID_(o.clickID_),
      height_(o.height_),
      client_(o.client_),
      eventManager_(o.eventManager_),
      priority_(o.priority_),
      width_(o.width_),
      cullChildren_(o.cullChildren_),
      enableMouseEvents_(o.enableMouseEvents_),
      enableKeyEvents_(o.enableKeyEvents_),
      clipRect_(o.clipRect_),
      cue_(o.cue_),
      position_(o.position_),
      local_(o.local_),
      inverse_(o.inverse_),
      transformDirty_(o.transformDirty_) {
    for (size_t i = 0; i < o.children_.size(); ++i) {
        my_intrusive_ptr<Item> source = o.children_[i];
        if (Item* copy = source->Clone(nullptr)) AddItem(copy);
    }
    // A pair is copied only when both halves can be copied; a copied controller on its
    // own, or a shared one, would tie the copy's timing to the original's.
    for (const ModifierEntry& e : o.modifiers_) {
        if (!e.modifier) continue;
        my_intrusive_ptr<Modifier> m(e.modifier->Clone());
        if (!m) continue;
        my_intrusive_ptr<TimeController> tc;
        if (e.controller) {
            tc = e.controller->Clone();
            if (!tc) continue;
            tc->SetOwner(this);
        }
        m->SetClient(this);
        m->SetParent(this);
        modifiers_.emplace_back(m.get(), tc.get());
    }
}

Item::~Item() {
    // Handlers, modifiers and controllers that outlive the item (held by scripts or by
    // other items) name it weakly: from here on they read it as none. The live-item
    // registry lets go of it too, so code run by the releases below cannot find it.
    ExpireWeakRefs();
    ItemLeakDetector::Unregister(this);
    ClearEventHandlers();
    DropDescendents(false);
}

Item* Item::Clone(void* /*context*/) const { return new Item(*this); }

// ---------------------------------------------------------------- accessors

Point Item::GetPosition() const {
    return Point(pf::TruncateToInt(position_.x), pf::TruncateToInt(position_.y));
}

void Item::SetX(int x) { SetPosition(Point(x, pf::TruncateToInt(position_.y))); }
void Item::SetY(int y) { SetPosition(Point(pf::TruncateToInt(position_.x), y)); }

void Item::SetSize(const Point& size) {
    width_ = size.x;
    height_ = size.y;
}

void Item::SetPosition(const Point& p) {
    SetPositionF(VectorT2(static_cast<float>(p.x), static_cast<float>(p.y)));
}

void Item::SetPositionF(const VectorT2& p) {
    position_ = p;
    transformDirty_ = true;
}

void Item::SetPriority(int p) {
    priority_ = p;
    if (parent_) parent_->InvalidateChildOrder();
}

namespace {
template <typename F>
void ChangeState(bool& field, bool value, F&& notify) {
    if (field == value) return;
    field = value;
    notify();
}
}  // namespace

void Item::SetEnabled(bool b) { ChangeState(enabled_, b, [this] { UpdateDisplayState(); }); }
void Item::SetMouseOver(bool b) { ChangeState(mouseOver_, b, [this] { UpdateDisplayState(); }); }
void Item::SetPressed(bool b) { ChangeState(pressed_, b, [this] { UpdateDisplayState(); }); }
void Item::SetSelected(bool b) { ChangeState(selected_, b, [this] { UpdateDisplayState(); }); }

ClockHandler* Item::OwnClockHandler() const {
    for (const auto& h : handlers_)
        if (h->IsKindOf(TypeId::ClockHandler)) return static_cast<ClockHandler*>(h.get());
    return nullptr;
}

namespace {
// The current root, as the clock fallback of a top item that has no clock of its own; null
// when the root is that item or lies below it (its search would come back here).
const Item* ClockFallback(const Item* top) {
    const Item* root = CurrentRootItem.get();
    if (!root || root == top || root->IsDescendantOf(top)) return nullptr;
    return root;
}
}  // namespace

int Item::GetTicks() const {
    if (ClockHandler* clock = OwnClockHandler()) return clock->GetTicks();
    if (parent_) return parent_->GetTicks();
    if (const Item* root = ClockFallback(this)) return root->GetTicks();
    return pf::NowMs();
}

ClockHandler* Item::FindClockHandler() const {
    if (ClockHandler* clock = OwnClockHandler()) return clock;
    if (parent_) return parent_->FindClockHandler();
    if (const Item* root = ClockFallback(this)) return root->FindClockHandler();
    return nullptr;
}

void Item::PauseTime(bool pause) {
    if (ClockHandler* clock = OwnClockHandler())
        clock->PauseTime(pause);
    else
        pf::DebugStream() << L"PauseTime: '" << GetName() << L"' has no clock handler of its own";
}

void Item::PauseAllOtherClocks(bool pause) {
    if (ClockHandler* clock = OwnClockHandler())
        clock->PauseAllOtherClocks(pause);
    else
        pf::DebugStream() << L"PauseAllOtherClocks: '" << GetName() << L"' has no clock handler of its own";
}

// ---------------------------------------------------------------- modifier pairs

void Item::AddModifier(Modifier* m, TimeController* tc) {
    if (!m) {
        pf::DebugStream() << L"AddModifier: no modifier given to '" << GetName() << L"'";
        return;
    }
    ModifierEntry entry(m, tc);
    if (tc) {
        tc->SetOwner(this);
        tc->Restart();
    }
    m->SetParent(this);
    m->SetClient(this);
    m->Start();
    m->Cycle();
    if (tc) tc->Update(m);
    if (!m->IsDone()) modifiers_.push_back(std::move(entry));
}

void Item::RemoveModifier(Modifier* m) {
    for (size_t i = 0; i < modifiers_.size(); ++i) {
        if (modifiers_[i].modifier.get() != m) continue;
        my_intrusive_ptr<Modifier> hold(m);
        EraseListed(modifiers_, i);
        m->SetClient(nullptr);
        m->SetParent(nullptr);
        return;
    }
}

void Item::RemoveModifiersByName(const std::wstring& name) {
    for (;;) {
        auto it = std::find_if(modifiers_.begin(), modifiers_.end(), [&](const ModifierEntry& e) {
            return e.modifier && e.modifier->GetName() == name;
        });
        if (it == modifiers_.end()) return;
        my_intrusive_ptr<Modifier> hold = it->modifier;
        EraseListed(modifiers_, static_cast<size_t>(it - modifiers_.begin()));
        hold->SetClient(nullptr);
        hold->SetParent(nullptr);
    }
}

void Item::RemoveAllModifiers() {
    const ModifierList old = TakeAllListed(modifiers_);
    for (const ModifierEntry& e : old) {
        if (!e.modifier) continue;
        e.modifier->SetClient(nullptr);
        e.modifier->SetParent(nullptr);
    }
}

void Item::StopModifiers() {
    // The list is emptied before the pairs are released: a modifier's release may run code
    // that adds a new pair to this item.
    TakeAllListed(modifiers_);
}

namespace {
using PairKey = std::pair<Modifier*, TimeController*>;
struct PairKeyHash {
    size_t operator()(const PairKey& k) const {
        return std::hash<const void*>()(k.first) * 31u + std::hash<const void*>()(k.second);
    }
};
PairKey KeyOf(const ModifierEntry& e) { return PairKey(e.modifier.get(), e.controller.get()); }
}  // namespace

void Item::RunModifiers() {
    // The pairs as they stand when the walk begins, each stepped when it is still listed,
    // then the pairs appended meanwhile, in list order, each once. A pair a step removes
    // and adds again (a restart) is not stepped again in this walk (adding it stepped it
    // already) and the walk goes on with the pairs after it. The pairs are borrowed: a
    // step that takes pairs out of the list (or this item out of its parent) leaves them
    // alive until the walk ends, so the addresses noted here name no other pair meanwhile.
    if (modifiers_.empty()) return;
    constexpr size_t npos = static_cast<size_t>(-1);
    const WalkedCall<Item> call(this, parent_ != nullptr);
    // Most items run a few pairs: those are noted without allocating.
    constexpr size_t kInline = 16;
    const size_t n = modifiers_.size();
    PairKey inlineKeys[kInline];
    std::vector<PairKey> moreKeys;
    PairKey* snapshot = inlineKeys;
    if (n > kInline) {
        moreKeys.resize(n);
        snapshot = moreKeys.data();
    }
    for (size_t k = 0; k < n; ++k) snapshot[k] = KeyOf(modifiers_[k]);
    // Where the pair is listed, looked for first where it is expected; npos when gone.
    auto find = [this](const PairKey& key, size_t expected) {
        if (expected < modifiers_.size() && KeyOf(modifiers_[expected]) == key) return expected;
        for (size_t i = 0; i < modifiers_.size(); ++i)
            if (KeyOf(modifiers_[i]) == key) return i;
        return npos;
    };
    // Steps the pair listed at `at` and drops it when it is done; answers where the walk
    // goes on when the pair stayed in its place, else npos.
    auto stepAt = [&](const PairKey& key, size_t at) {
        Modifier* const modifier = key.first;
        TimeController* const controller = key.second;
        assert((!modifier || BorrowedEntryAlive(modifier)) && (!controller || BorrowedEntryAlive(controller)));
        if (modifier) modifier->Cycle();
        if (controller) {
            // With this item as the client all three live through the step already.
            if (modifier && modifier->GetClient() == this)
                controller->UpdateHeld(modifier);
            else
                controller->Update(modifier);
        }
        const bool done = modifier && modifier->IsDone();
        const size_t now = find(key, at);
        if (now != npos && done) EraseListed(modifiers_, now);
        return now != at ? npos : done ? at : at + 1;
    };
    size_t expected = 0;
    for (size_t k = 0; k < n; ++k) {
        const size_t at = find(snapshot[k], expected);
        if (at == npos) continue;  // taken out by an earlier step
        const size_t next = stepAt(snapshot[k], at);
        expected = next == npos ? at : next;
    }
    bool same = modifiers_.size() == n;
    for (size_t i = 0; same && i < n; ++i) same = KeyOf(modifiers_[i]) == snapshot[i];
    if (same) return;
    SeenKeys<PairKey, PairKeyHash> seen;
    for (size_t k = 0; k < n; ++k) seen.Insert(snapshot[k]);
    size_t at = 0;
    for (;;) {
        while (at < modifiers_.size() && seen.Contains(KeyOf(modifiers_[at]))) ++at;
        if (at >= modifiers_.size()) return;
        const PairKey key = KeyOf(modifiers_[at]);
        seen.Insert(key);
        const size_t next = stepAt(key, at);
        at = next == npos ? 0 : next;
    }
}

// ---------------------------------------------------------------- tree

void Item::AddEventHandler(EvtHandler* h) {
    if (!h) return;
    handlers_.emplace_back(h);
    h->SetClient(this);
    h->SetParent(this);
}

void Item::AddItem(Item* child) {
    if (!child) return;
    if (IndexOf(children_, child) != static_cast<size_t>(-1)) return;
    if (child->GetParent() == this) return;
    if (child == this || child->Contains(this)) {
        pf::DebugStream() << L"AddItem: '" << child->GetName() << L"' would contain itself";
        return;
    }
    my_intrusive_ptr<Item> hold(child);
    if (Item* old = child->GetParent()) {
        // The old parent is held while the child leaves it (unless nothing counts it).
        my_intrusive_ptr<Item> keep = KeepAlive(old);
        old->RemoveItem(child);
    }
    child->SetParent(this);
    children_.push_back(hold);
    child->OnAddedToParent(this);
    InvalidateChildOrder();
}

void Item::RemoveItem(Item* child) {
    if (!child || IndexOf(children_, child) == static_cast<size_t>(-1)) return;
    // Both are held: the removal notice may let go of either one's last other holder.
    const my_intrusive_ptr<Item> self = KeepAlive(this);
    my_intrusive_ptr<Item> hold(child);
    child->SetParent(nullptr);
    child->OnRemovedFromParent(this);
    EraseEntry(children_, child);
}

void Item::CenterInParent(bool x, bool y) {
    if (!parent_) return;
    Point p = GetPosition();
    if (x) p.x = (parent_->GetWidth() - GetWidth()) / 2;
    if (y) p.y = (parent_->GetHeight() - GetHeight()) / 2;
    SetPosition(p);
}

void Item::Cycle() {
    const WalkedCall<Item> call(this, parent_ != nullptr);
    RunModifiers();
    // Handlers and children added during the walks run in the same frame.
    WalkEntries(handlers_, false, true, [this](EvtHandler* h) { return HasHandler(h); },
                [](EvtHandler* h) {
                    h->Cycle();
                    return false;
                });
    if (childOrderDirty_) SortChildren();
    WalkEntries(
        children_, false, true, [this](Item* c) { return IsChild(c); },
        [](Item* c) {
            c->Cycle();
            return false;
        },
        [](Item* c, size_t distance) { c->FetchForCycle(distance); });
}

void Item::FetchForCycle(size_t distance) const {
    // Far ahead the item itself, then its pair list, then the pairs: each stage reads
    // only what the one before brought in.
    if (distance == kWalkAhead) {
        __builtin_prefetch(this);
        __builtin_prefetch(&modifiers_);
        __builtin_prefetch(&position_);
    } else if (distance == kWalkAhead / 2) {
        if (!modifiers_.empty()) __builtin_prefetch(modifiers_.data());
    } else {
        for (const ModifierEntry& e : modifiers_) {
            __builtin_prefetch(e.modifier.get());
            __builtin_prefetch(e.controller.get());
        }
    }
}

void Item::safeDelete() {
    if (!CurrentRootItem) {
        pf::DebugStream() << L"safeDelete: no root item to delete '" << GetName() << L"'";
        return;
    }
    CurrentRootItem->ScheduleDelete(this);
}

void Item::cleanup() {
    RemoveAllModifiers();
    RemoveAllEventHandlers();
    while (!children_.empty()) {
        my_intrusive_ptr<Item> last = children_.back();
        last->SetParent(nullptr);
        // The entry goes whether or not the child's cleanup (a script override) raises:
        // a child left listed with no parent would go on cycling and drawing.
        try {
            last->cleanup();
        } catch (...) {
            EraseEntry(children_, last.get());
            throw;
        }
        EraseEntry(children_, last.get());
    }
}

void Item::SortChildren() {
    // Read every priority first (an override may run script code), then reorder.
    std::vector<std::pair<int, size_t>> keys;
    keys.reserve(children_.size());
    for (size_t i = 0; i < children_.size(); ++i) {
        my_intrusive_ptr<Item> c = children_[i];
        keys.emplace_back(c->GetPriority(), i);
    }
    if (keys.size() != children_.size()) return;  // the list changed while it was read
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ItemList sorted;
    sorted.reserve(children_.size());
    for (const auto& k : keys) sorted.push_back(std::move(children_[k.second]));
    children_.swap(sorted);
    childOrderDirty_ = false;
}

Item* Item::FindChildByName(const std::wstring& name) const {
    for (const auto& c : children_)
        if (c->GetName() == name) return c.get();
    return nullptr;
}

Item* Item::FindItem(const std::wstring& name) {
    if (GetName() == name) return this;
    for (size_t i = 0; i < children_.size(); ++i) {
        my_intrusive_ptr<Item> c = children_[i];
        if (c->GetName() == name) return c.get();
        if (Item* found = c->FindItem(name)) return found;
    }
    return nullptr;
}

void Item::CollectItemsOfType(ItemList& out, int typeId) {
    if (IsKindOf(typeId) && KeepAlive(this)) out.emplace_back(this);
    for (size_t i = 0; i < children_.size(); ++i) {
        my_intrusive_ptr<Item> c = children_[i];
        c->CollectItemsOfType(out, typeId);
    }
}

EvtHandler* Item::GetEventHandlerOfType(int typeId) const {
    for (const auto& h : handlers_)
        if (h->IsKindOf(typeId)) return h.get();
    return nullptr;
}

EvtHandler* Item::getEventHandler(const std::wstring& name) const {
    for (const auto& h : handlers_)
        if (h->GetName() == name) return h.get();
    return nullptr;
}

bool Item::HandleEvent(const TreeState& state, pf::Event& e) {
    return WalkEntries(handlers_, false, false, [this](EvtHandler* h) { return HasHandler(h); },
                       [&](EvtHandler* h) { return h->HandleEvent(state, e); });
}

bool Item::HasHandler(const EvtHandler* h) const { return IndexOf(handlers_, h) != static_cast<size_t>(-1); }

bool Item::Contains(const Item* x) const {
    if (x == this) return true;
    for (const auto& c : children_)
        if (c->Contains(x)) return true;
    return false;
}

bool Item::IsDescendantOf(const Item* x) const {
    for (const Item* p = parent_; p; p = p->GetParent())
        if (p == x) return true;
    return false;
}

void Item::AttachObject(RefCounter* o) {
    if (o) attached_.emplace_back(o);
}

bool Item::DetachObject(const RefCounter* o) { return o && EraseEntry(attached_, o); }

std::wstring Item::LookupText(const std::wstring& key) const {
    return parent_ ? parent_->LookupText(key) : key;
}

void Item::OnAddedToParent(Item* parent) {
    WalkEntries(children_, false, false, [this](Item* c) { return IsChild(c); },
                [parent](Item* c) {
                    c->OnAddedToParent(parent);
                    return false;
                });
}

void Item::OnRemovedFromParent(Item* parent) {
    WalkEntries(children_, false, false, [this](Item* c) { return IsChild(c); },
                [parent](Item* c) {
                    c->OnRemovedFromParent(parent);
                    return false;
                });
}

void Item::ClearEventHandlers() {
    for (const auto& h : TakeAllListed(handlers_)) h->SetParent(nullptr);
}

void Item::RemoveAllEventHandlers() { ClearEventHandlers(); }

void Item::RemoveEventHandler(EvtHandler* h) {
    if (!h || IndexOf(handlers_, h) == static_cast<size_t>(-1)) return;
    my_intrusive_ptr<EvtHandler> hold(h);
    h->SetParent(nullptr);
    EraseEntry(handlers_, h);
}

void Item::RemoveEventHandlersOfType(int typeId) {
    HandlerList matching;
    for (const auto& h : handlers_)
        if (h->IsKindOf(typeId)) matching.push_back(h);
    for (const auto& h : matching) RemoveEventHandler(h.get());
}

void Item::DropDescendents(bool removeSelf) {
    Item::StopModifiers();
    while (!children_.empty()) {
        my_intrusive_ptr<Item> c = children_.back();
        if (!c->GetParent()) {
            EraseListed(children_, children_.size() - 1);
            c->OnRemovedFromParent(this);
        }
        c->RemoveAllDescendents(true);
        // A child listed here whose parent pointer names another item is dropped as well.
        EraseEntry(children_, c.get());
    }
    TakeAllListed(attached_);
    if (removeSelf && parent_) parent_->RemoveItem(this);
}

void Item::RemoveAllDescendents(bool removeSelf) { DropDescendents(removeSelf); }

std::wstring Item::ExpandName(const std::wstring& s) const {
    if (s == L"$this") return GetName();
    if (s == L"$parent" && parent_) return parent_->GetName();
    return s;
}

void Item::ConnectEventManager() {
    // The current root's classifier when there is one, else the shared one for an item
    // that has none yet.
    if (CurrentRootItem && CurrentRootItem.get() != this && CurrentRootItem->GetEventManager())
        eventManager_ = CurrentRootItem->GetEventManager();
    else if (!eventManager_)
        eventManager_ = EventManager::Shared();
}

void Item::SetEventManager(EventManager* m) { eventManager_ = m; }

my_intrusive_ptr<EventManager> Item::RoutingEvents() const {
    return eventManager_ ? eventManager_ : my_intrusive_ptr<EventManager>(EventManager::Shared());
}

std::wstring Item::Dump(bool withModifiers, bool coloured) const {
    std::wostringstream out;
    if (coloured) out << L"{color=FF0000}";
    out << ToString();
    if (coloured) out << L"{/c}";
    out << L"[Item]";
    if (GetX() != 0 || GetY() != 0) out << L" pos (" << GetX() << L", " << GetY() << L")";
    if (GetPriority() != 0) out << L", pri " << GetPriority();
    if (GetWidth() != 0 || GetHeight() != 0) out << L", size " << GetWidth() << L"x" << GetHeight();
    if (GetClickID() != -1) out << L", clickID " << GetClickID();
    if (!IsVisible()) out << L", invisible";
    if (!IsEnabled()) out << L", disabled";
    if (IsPressed()) out << L", pressed";
    if (IsSelected()) out << L", selected";
    if (GetMouseOver()) out << L", mouse over";
    if (IsModal()) out << L", MODAL";
    if (!enableMouseEvents_) out << L", mouse events disable";
    if (!enableKeyEvents_) out << L", key events disable";
    if (ClockHandler* clock = OwnClockHandler())
        out << L", has clock = " << clock->GetPauseCounter();
    if (withModifiers && !modifiers_.empty()) {
        out << L" _modifiers[ " << modifiers_.size() << L" ]{";
        for (const ModifierEntry& e : modifiers_)
            if (e.modifier) out << e.modifier->ToString() << L", ";
        out << L"}";
    }
    return out.str();
}

void Item::DumpTree(pf::DebugStream& log, int depth, bool withModifiers) {
    const my_intrusive_ptr<Item> hold = KeepAlive(this);
    for (int i = 0; i < depth; ++i) log << L"> ";
    log << Dump(!withModifiers, false) << std::endl;
    if (withModifiers) {
        const ModifierList pairs = modifiers_;  // the dump hooks may change the list
        for (const ModifierEntry& e : pairs) {
            if (!e.modifier) continue;
            std::wostringstream text;
            e.modifier->Dump(text, depth + 1, withModifiers);
            if (!text.str().empty()) log << text.str() << std::endl;
        }
    }
    WalkEntries(children_, false, false, [this](Item* c) { return IsChild(c); },
                [&](Item* c) {
                    c->DumpTree(log, depth + 1, withModifiers);
                    return false;
                });
}

void Item::DumpAncestors(pf::DebugStream& log) {
    log << L"Ancestors of " << GetName() << std::endl;
    for (Item* p = parent_; p; p = p->GetParent()) log << L" <> " << p->Dump(false, false) << std::endl;
    log << L"End Ancestor list." << std::endl;
}
