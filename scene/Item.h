// The node of the scene tree: children in priority order, event handlers, running
// animation pairs, state flags, position and size, clip rectangle, click id and cue.
#pragma once

#include <string>
#include <vector>

#include "shell/foundation/Base.h"
#include "scene/ItemLeakDetector.h"
#include "scene/Modifier.h"
#include "scene/RenderState.h"
#include "shell/Event.h"
#include "shell/foundation/ValueTypes.h"
#include "shell/foundation/VectorMath.h"

class EvtHandler;
class ClockHandler;
class EventManager;
class TimeShift;
class XmlData;
namespace pf {
class DebugStream;
}

// Coordinate spaces of the conversion functions.
enum CoordSpace : int { CoordRoot = 0, CoordParent = 1, CoordSelf = 2 };

class Item : public Base, public ModifiersParent, public ItemLeakDetector {
public:
    using ItemList = std::vector<my_intrusive_ptr<Item>>;
    using HandlerList = std::vector<my_intrusive_ptr<EvtHandler>>;
    using ObjectList = std::vector<my_intrusive_ptr<RefCounter>>;
    using ModifierList = std::vector<ModifierEntry>;

    Item();
    // Copy behind Clone: see the .cpp for what is taken over.
    Item(const Item& other);
    Item& operator=(const Item&) = delete;
    ~Item() override;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::Item || typeId == TypeId::Base;
    }

    // Plain accessors.
    virtual const ItemList& GetChildren() const { return children_; }
    virtual int GetClickID() const { return clickID_; }
    // For event handlers: the item they serve; null once that item is gone.
    virtual Item* GetClient() const { return client_.get(); }
    virtual pf::Rect GetClipRect() const { return clipRect_; }
    virtual const std::wstring& GetCue() const { return cue_; }
    virtual bool GetCullChildren() const { return cullChildren_; }
    virtual bool GetEnableMouseEvents() const { return enableMouseEvents_; }
    virtual bool GetEnableKeyEvents() const { return enableKeyEvents_; }
    virtual int GetHeight() const { return height_; }
    virtual const ObjectList& GetAttachedObjects() const { return attached_; }
    virtual bool IsModal() const { return modal_; }
    virtual Item* GetParent() const { return parent_; }
    virtual pf::Point GetPosition() const;
    virtual pf::VectorT2 GetPositionF() const { return position_; }
    virtual int GetPriority() const { return priority_; }
    virtual pf::Point GetSize() const { return pf::Point(GetWidth(), GetHeight()); }
    virtual int GetTicks() const;
    virtual bool IsVisible() const { return visible_; }
    virtual bool IsEnabled() const { return enabled_; }
    virtual bool GetMouseOver() const { return mouseOver_; }
    virtual bool IsPressed() const { return pressed_; }
    virtual bool IsSelected() const { return selected_; }
    virtual int GetContentWidth() const { return GetWidth(); }
    virtual int GetContentHeight() const { return GetHeight(); }
    virtual int GetWidth() const { return width_; }
    virtual int GetX() const { return GetPosition().x; }
    virtual int GetY() const { return GetPosition().y; }
    virtual bool GetIgnoreTransparency() const { return ignoreTransparency_; }
    virtual void SetX(int x);
    virtual void SetY(int y);
    virtual void SetClickID(int id) { clickID_ = id; }
    virtual void SetClient(Item* client) { client_ = client; }
    virtual void SetClipRect(const pf::Rect& r) { clipRect_ = r; }
    virtual void SetCue(const std::wstring& cue) { cue_ = cue; }
    virtual void SetUseClipRect(bool b) { useClipRect_ = b; }
    virtual void SetCullChildren(bool b) { cullChildren_ = b; }
    virtual void SetEnableMouseEvents(bool b) { enableMouseEvents_ = b; }
    virtual void SetEnableKeyEvents(bool b) { enableKeyEvents_ = b; }
    virtual void SetEnableUserEvents(bool b) { enableMouseEvents_ = enableKeyEvents_ = b; }
    // The classifier that steers this item's routing (held counted); null goes back to the
    // shared one.
    virtual void SetEventManager(EventManager* m);
    virtual void SetHeight(int h) { SetSize(pf::Point(GetWidth(), h)); }
    virtual void SetIgnoreTransparency(bool b) { ignoreTransparency_ = b; }
    virtual void SetSize(const pf::Point& size);
    virtual void SetModal(bool b) { modal_ = b; }
    virtual void SetParent(Item* parent) { parent_ = parent; }
    virtual void SetPosition(const pf::Point& p);
    virtual void SetPositionF(const pf::VectorT2& p);
    virtual void SetPositionRelative(const pf::Point& d) { SetPosition(GetPosition() + d); }
    virtual void SetPriority(int p);
    // Key/value properties (ItemProperties.cpp): true when the key was taken.
    virtual bool SetProperty(const std::wstring& key, const std::wstring& value);
    // The item a value "=(name)" names: in this subtree, then up the tree, then below the
    // current root; null for other values or no match.
    virtual Item* ResolveValueReference(const std::wstring& value);
    // Every non-empty attribute of element, in document order, as target's property;
    // "properties" names an XML resource whose attributes are applied at that point.
    virtual void SetProperties(XmlData& element, Item* target);
    virtual void SetPropertiesFromXml(XmlData* data, const std::wstring& path);
    // "resource" or "resource:element/path".
    virtual void SetPropertiesFromResource(const std::wstring& spec);
    // The commands of state machines: "CenterInParent", "RemoveItem", "StopModifiers".
    virtual bool HandleCommand(const std::wstring& type, XmlData& element);
    virtual void RunCommandFromXml(XmlData& element, Item* target);
    // A modifier built by the modifier factory from element, handed to target with the
    // time curve its "timeShift" names.
    virtual void AddModifierFromXml(XmlData& element, Item* target, const std::wstring& cue);
    // "" gives fallback, "$this" this item, "$parent" the parent, another name the child
    // of that name (else fallback).
    virtual Item* ResolveTarget(XmlData& element, const std::wstring& attribute, Item* fallback);
    // Starts the XML state machine xmlId on this item (see SetStateMachineStarter).
    virtual void RunScript(const std::wstring& xmlId, const std::wstring& cue);
    // A global counter (counting from 1) followed by text.
    static std::wstring UniqueName(const std::wstring& text);
    virtual void SetVisible(bool b) { visible_ = b; }
    virtual void SetEnabled(bool b);
    virtual void SetMouseOver(bool b);
    virtual void SetPressed(bool b);
    virtual void SetSelected(bool b);
    virtual void SetWidth(int w) { SetSize(pf::Point(w, GetHeight())); }
    virtual void InvalidateChildOrder() { childOrderDirty_ = true; }

    // Modifier pairs.
    void AddModifier(Modifier* m, TimeController* tc) override;
    void RemoveModifier(Modifier* m) override;
    virtual void RemoveAllModifiers();
    virtual void RemoveModifiersByName(const std::wstring& name);
    virtual void StopModifiers();
    // A hook for a modifier that comes with its own time curve; Item does nothing with it.
    virtual void AddModifierWithTimeShift(Modifier* /*m*/, TimeShift* /*curve*/) {}
    // The modifier factory builds the curve named name, then AddModifierWithTimeShift.
    virtual void AddModifierByTimeShiftName(Modifier* m, const std::wstring& name);
    const ModifierList& GetModifiers() const { return modifiers_; }

    // Tree.
    virtual void AddEventHandler(EvtHandler* h);
    virtual void AddItem(Item* child);
    virtual void CenterInParent(bool x, bool y);
    virtual void ClearClipRect() { clipRect_ = pf::Rect(); }
    virtual void Click(int /*whichButton*/) {}
    virtual void DoubleClick(int /*whichButton*/) {}
    virtual Item* Clone(void* context) const;
    virtual void OnCue(Item* /*sender*/, int /*type*/, int /*data*/) {}
    virtual void Cycle();
    virtual void safeDelete();
    virtual void cleanup();
    virtual std::wstring Dump(bool withModifiers, bool coloured) const;
    // One log line per item of the subtree, indented by depth.
    virtual void DumpTree(pf::DebugStream& log, int depth, bool withModifiers);
    virtual void DumpAncestors(pf::DebugStream& log);
    virtual Item* FindChildByName(const std::wstring& name) const;
    virtual Item* GetChildByName(const std::wstring& name) const { return FindChildByName(name); }
    virtual Item* FindItem(const std::wstring& name);
    // Appends the matching items of the subtree, pre-order. An item nothing counts yet (the
    // top of a tree its owner deletes directly) is not listed: the list would own it.
    virtual void CollectItemsOfType(ItemList& out, int typeId);
    virtual EvtHandler* GetEventHandlerOfType(int typeId) const;
    virtual EvtHandler* getEventHandler(const std::wstring& name) const;
    virtual void* QueryObject(int /*what*/) { return nullptr; }
    virtual ClockHandler* FindClockHandler() const;
    virtual bool HandleEvent(const TreeState& state, pf::Event& e);
    virtual bool Contains(const Item* x) const;
    virtual bool HasSurface() const { return IsKindOf(TypeId::Actor); }
    virtual bool IsDescendantOf(const Item* x) const;
    virtual void AttachObject(RefCounter* o);
    // Drops one reference the item keeps to o as an attached object; false when none.
    bool DetachObject(const RefCounter* o);
    virtual std::wstring LookupText(const std::wstring& key) const;
    virtual void OnAddedToParent(Item* parent);
    virtual void OnRemovedFromParent(Item* parent);
    virtual void PauseTime(bool pause);
    virtual void PauseAllOtherClocks(bool pause);
    virtual void RemoveAllDescendents(bool removeSelf);
    virtual void RemoveAllEventHandlers();
    virtual void RemoveEventHandler(EvtHandler* h);
    virtual void RemoveEventHandlersOfType(int typeId);
    virtual void RemoveItem(Item* child);
    virtual std::wstring ExpandName(const std::wstring& s) const;
    virtual void UpdateDisplayState() {}
    virtual void SortChildren();
    virtual void ConnectEventManager();
    const HandlerList& GetEventHandlers() const { return handlers_; }
    EventManager* GetEventManager() const { return eventManager_.get(); }
    bool IsChildOrderDirty() const { return childOrderDirty_; }

    // Transforms, rectangles and drawing.
    virtual pf::MatrixT ComputeTransform() const;
    virtual const pf::MatrixT& GetTransform() const;
    const pf::MatrixT& GetInverseTransform() const;
    virtual pf::Point ConvertPoint(const pf::Point& p, bool toParent) const;
    virtual pf::Rect GetInternalRect() const { return pf::Rect(0, 0, GetWidth(), GetHeight()); }
    virtual pf::Rect GetRectInParent() const;
    virtual pf::Rect GetRectInActorParent() const;
    virtual pf::Rect GetRectInRoot() const;
    virtual pf::Rect GetChildrenRect(pf::Rect& acc, bool recursive) const;
    virtual pf::Rect calculateSubtreeRect() const;
    virtual pf::Rect GetEffectiveClipRect() const;
    virtual bool GetUseClipRect() const { return useClipRect_; }
    virtual bool IsInClipRect(const pf::Point& p) const;
    virtual void Draw(const RenderState& in);
    virtual void DrawChildren(const RenderState& rs);

    // Event routing.
    virtual bool PassEvent(const TreeState& state, pf::Event& e);
    virtual bool UpdateTreeState(const TreeState& in, TreeState& out, const pf::Event& e);
    virtual bool IsOn(const pf::Point& /*p*/) { return false; }
    virtual bool HitTest(const TreeState& /*s*/) { return false; }

protected:
    // The clock handler of the item itself (the first handler answering 21), or null.
    ClockHandler* OwnClockHandler() const;
    void MarkTransformDirty() { transformDirty_ = true; }

private:
    // The classifier for this item's routing: its own, else the shared one.
    my_intrusive_ptr<EventManager> RoutingEvents() const;
    bool IsChild(const Item* c) const { return c->parent_ == this; }
    bool HasHandler(const EvtHandler* h) const;
    // Non-virtual forms the destructor uses.
    void ClearEventHandlers();
    void DropDescendents(bool removeSelf);
    void RunModifiers();
    // Asks the processor for what this item's cycle will read; `distance` says how many
    // items ahead of the one cycling it is (see WalkEntries).
    void FetchForCycle(size_t distance) const;

    bool ignoreTransparency_ = false;
    bool modal_ = false;
    bool visible_ = true;
    bool enabled_ = true;
    bool mouseOver_ = false;
    bool pressed_ = false;
    bool childOrderDirty_ = false;
    bool selected_ = false;
    bool useClipRect_ = false;
    ItemList children_;
    int clickID_ = -1;
    int height_ = 0;
    ObjectList attached_;
    ModifierList modifiers_;
    WeakRef<Item> client_;
    my_intrusive_ptr<EventManager> eventManager_;
    int priority_ = 0;
    int width_ = 0;
    HandlerList handlers_;
    bool cullChildren_ = false;
    bool enableMouseEvents_ = true;
    bool enableKeyEvents_ = true;
    pf::Rect clipRect_;
    std::wstring cue_;
    Item* parent_ = nullptr;
    pf::VectorT2 position_;
    mutable pf::MatrixT local_ = pf::MatrixT::MakeIdentity();
    mutable pf::MatrixT inverse_ = pf::MatrixT::MakeIdentity();
    mutable bool transformDirty_ = true;
};

// Starts an XML state machine: makes it, names it xmlId, lets it delete itself when it
// ends and loads it from that resource on owner with cue. Installed by the state
// machines; without one RunScript logs and does nothing.
using StateMachineStarter = void (*)(Item* owner, const std::wstring& xmlId, const std::wstring& cue);
void SetStateMachineStarter(StateMachineStarter starter);

// Point and rectangle conversions between items and coordinate spaces.
pf::Point ConvertPointBetweenItems(pf::Point p, const Item* from, const Item* to, bool upward);
pf::Point ConvertPointBetweenSpaces(const Item* item, pf::Point p, int from, int to);
pf::Rect ConvertRectBetweenSpaces(const Item* item, pf::Rect r, int from, int to);
pf::Rect CalcUnionChildRect(const Item* item, bool recursive, bool includeHidden);
// The top-most visible, enabled item under p (root coordinates) below root, or null.
Item* GetItemByPoint(Item* root, const pf::Point& p);
