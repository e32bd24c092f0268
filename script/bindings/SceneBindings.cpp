// Script classes of the scene tree: ItemsParent, Items, RefCounter, Item and Actor, the
// records handed down the tree (RenderState, TreeState), and the module functions that
// find items.
#include <boost/python.hpp>

#include <string>

#include "scene/Actor.h"
#include "scene/ClockHandler.h"
#include "scene/EvtHandler.h"
#include "scene/ItemLeakDetector.h"
#include "scene/ItemWalk.h"
#include "scene/TimeController.h"
#include "script/ScriptPeer.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/EventProxy.h"
#include "script/bindings/SceneThread.h"
#include "shell/pixels/Surface.h"

namespace bp = boost::python;

// ItemsParent is a script base of Item and Actor, but only the objects scripts make
// (ItemWrap, ActorWrap) carry one: the conversion asks the object itself and finds
// nothing on an item the engine made, so such an item is refused where an ItemsParent is
// wanted instead of being read as one.
namespace boost {
namespace python {
namespace objects {
template <>
struct implicit_cast_generator<Item, PythonOverloadeable> {
    static void* execute(void* source) { return dynamic_cast<PythonOverloadeable*>(static_cast<Item*>(source)); }
};
template <>
struct implicit_cast_generator<Actor, PythonOverloadeable> {
    static void* execute(void* source) { return dynamic_cast<PythonOverloadeable*>(static_cast<Actor*>(source)); }
};
}  // namespace objects
}  // namespace python
}  // namespace boost

namespace ruv3module {

namespace {

// ---- Items ------------------------------------------------------------------------------

// The script class Items: an empty list of its own, or the child list of an item. It
// names the item weakly, so a list kept after its item is gone raises instead of reading
// freed memory.
class ItemsView {
public:
    ItemsView() = default;
    explicit ItemsView(Item& owner) : owner_(&owner), bound_(true) {}

    const Item::ItemList& List() const {
        if (!bound_) return own_;
        Item* owner = owner_.get();
        if (!owner) RaiseScriptError(PyExc_ReferenceError, "the item of this child list is gone");
        return owner->GetChildren();
    }

private:
    WeakRef<Item> owner_;
    bool bound_ = false;
    Item::ItemList own_;
};

bp::object ItemsGet(const ItemsView& view, const bp::object& key) {
    const Item::ItemList& list = view.List();
    if (PyUnicode_Check(key.ptr())) {
        const std::wstring name = bp::extract<std::wstring>(key);
        for (const auto& child : list)
            if (child->GetName() == name) return ToScript(child.get());
        return bp::object();
    }
    const long long i = bp::extract<long long>(key);
    if (i < 0 || i >= static_cast<long long>(list.size())) return bp::object();
    return ToScript(list[static_cast<size_t>(i)].get());
}

// Iterates a snapshot, so the tree may change while a script walks it.
bp::object ItemsIter(const ItemsView& view) {
    bp::list items;
    for (const auto& child : view.List()) items.append(ToScript(child.get()));
    return items.attr("__iter__")();
}

// ---- Item adapters ----------------------------------------------------------------------

// A script-made item or actor: its registered operations offer the engine's defaults.
bool IsScriptWrap(const Item& item) { return dynamic_cast<const PythonOverloadeable*>(&item) != nullptr; }

// The engine's operations called by a script. An engine-made item reached through a
// weak reference is not held by its script object: the call holds it (and keeps open a
// walk) until it returns, whatever the item's own class does after its children's turn.
WalkedCall<Item> HeldThroughCall(Item& item) { return WalkedCall<Item>(&item, item.GetParent() != nullptr); }
void CycleDefault(Item& item) {
    const auto call = HeldThroughCall(item);
    if (IsScriptWrap(item)) item.Item::Cycle();
    else item.Cycle();
}
void CleanupDefault(Item& item) {
    const auto call = HeldThroughCall(item);
    if (IsScriptWrap(item)) item.Item::cleanup();
    else item.cleanup();
}
void ItemDrawDefault(Item& item, const RenderState& rs) {
    const auto call = HeldThroughCall(item);
    if (IsScriptWrap(item)) item.Item::Draw(rs);
    else item.Draw(rs);
}
void ActorDrawDefault(Actor& actor, const RenderState& rs) {
    const auto call = HeldThroughCall(actor);
    if (IsScriptWrap(actor)) actor.Actor::Draw(rs);
    else actor.Draw(rs);
}
bool HandleEventDefault(Item& item, const TreeState& s, ScriptEvent& e) {
    const auto call = HeldThroughCall(item);
    if (IsScriptWrap(item)) return item.Item::HandleEvent(s, e.Get());
    return item.HandleEvent(s, e.Get());
}
bool PassEventDefault(Item& item, const TreeState& s, ScriptEvent& e) {
    const auto call = HeldThroughCall(item);
    if (IsScriptWrap(item)) return item.Item::PassEvent(s, e.Get());
    return item.PassEvent(s, e.Get());
}

// A tuple gives a fractional position; anything else must convert to Point.
void SetPositionAdapter(Item& item, const bp::object& value) {
    if (PyTuple_Check(value.ptr())) {
        if (PyTuple_GET_SIZE(value.ptr()) < 2) RaiseScriptError(PyExc_IndexError, "a position needs two items");
        item.SetPositionF(pf::VectorT2(bp::extract<float>(value[0]), bp::extract<float>(value[1])));
        return;
    }
    item.SetPosition(bp::extract<pf::Point>(value));
}

void SetSizeAdapter(Item& item, const bp::object& value) { item.SetSize(PointFromTuple(value, true)); }

// Moves the item under p. The item is held across the move (its old parent may hold its
// only reference), and a descendant is refused: the tree would become a cycle.
void SetParentAdapter(Item& item, Item* p) {
    if (p == &item) return;
    if (p && p->IsDescendantOf(&item)) RaiseScriptError(PyExc_ValueError, "an item cannot become a child of its own descendant");
    my_intrusive_ptr<Item> hold = KeepAlive(&item);
    my_intrusive_ptr<Item> keepNew = KeepAlive(p);
    if (Item* old = item.GetParent()) {
        my_intrusive_ptr<Item> keepOld = KeepAlive(old);
        old->RemoveItem(&item);
    }
    if (p) p->AddItem(&item);
}

bool GetOverloads(const Item& item) {
    auto* w = dynamic_cast<const PythonOverloadeable*>(&item);
    return w && w->pythonOverloads;
}
void SetOverloads(Item& item, bool on) {
    auto* w = dynamic_cast<PythonOverloadeable*>(&item);
    if (!w) RaiseScriptError(PyExc_AttributeError, "only items made by a script forward their operations to it");
    w->pythonOverloads = on;
}

void MakeModal(Item& item, bool modal) {
    if (item.IsModal() == modal) return;
    item.SetModal(modal);
    item.PauseAllOtherClocks(modal);
    if (!modal) return;
    if (auto* clock = dynamic_cast<ClockHandler*>(item.GetEventHandlerOfType(TypeId::ClockHandler)))
        clock->SetPauseCounter(0);
}

template <class T>
bp::object AsScript(T* p) {
    return ToScript(p);
}

// ---- Actor adapters ---------------------------------------------------------------------

template <uint8_t pf::Color::*Channel>
int GetChannel(const Actor& a) {
    return a.GetColor().*Channel;
}
template <uint8_t pf::Color::*Channel>
void SetChannel(Actor& a, uint8_t v) {
    pf::Color c = a.GetColor();
    c.*Channel = v;
    a.SetColor(c);
}

bp::object ActorSurface(const Actor& a) {
    my_intrusive_ptr<pf::Surface> s = a.GetSurface();
    return s ? bp::object(s) : bp::object();
}

}  // namespace

void RegisterItemClasses() {
    bp::class_<PythonOverloadeable>("ItemsParent", bp::init<>())
        .def_readwrite("pythonOverloads", &PythonOverloadeable::pythonOverloads);

    bp::class_<ItemsView>("Items", bp::init<>())
        .def("__len__", +[](const ItemsView& v) { return v.List().size(); })
        .def("__getitem__", &ItemsGet)
        .def("__iter__", &ItemsIter);

    bp::class_<RefCounter, boost::noncopyable>("RefCounter", bp::no_init);

    bp::class_<Item, ItemWrap, bp::bases<RefCounter, PythonOverloadeable>, boost::noncopyable>("Item", bp::init<>())
        .add_property("pos", &Item::GetPosition, &SetPositionAdapter)
        .add_property("position", &Item::GetPosition, &SetPositionAdapter)
        .add_property("posf", &Item::GetPositionF, &Item::SetPositionF)
        .add_property("size", &Item::GetSize, &SetSizeAdapter)
        .add_property("width", &Item::GetWidth, &Item::SetWidth)
        .add_property("height", &Item::GetHeight, &Item::SetHeight)
        .add_property("x", &Item::GetX, &Item::SetX)
        .add_property("y", &Item::GetY, &Item::SetY)
        .add_property("internalRect", &Item::GetInternalRect)
        .add_property("useClipRect", &Item::GetUseClipRect, &Item::SetUseClipRect)
        .add_property("clipRect", &Item::GetClipRect, &Item::SetClipRect)
        .add_property("cullChildren", &Item::GetCullChildren, &Item::SetCullChildren)
        .add_property("name", +[](const Item& i) { return std::wstring(i.GetName()); }, &Item::SetName)
        .add_property("ticks", &Item::GetTicks)
        .add_property("priority", &Item::GetPriority, &Item::SetPriority)
        .add_property("visible", &Item::IsVisible, &Item::SetVisible)
        .add_property("enable", &Item::IsEnabled, &Item::SetEnabled)
        .add_property("pressed", &Item::IsPressed, &Item::SetPressed)
        .add_property("selected", &Item::IsSelected, &Item::SetSelected)
        .add_property("parent", +[](const Item& i) { return AsScript(i.GetParent()); },
                      OnSceneThread("Item.parent", &SetParentAdapter))
        .add_property("id", &Item::GetClickID, &Item::SetClickID)
        .add_property("client", +[](const Item& i) { return AsScript(i.GetClient()); }, &Item::SetClient)
        .add_property("ignoreTransparency", &Item::GetIgnoreTransparency, &Item::SetIgnoreTransparency)
        .add_property("children", +[](Item& i) { return ItemsView(i); })
        // A copy of the transform as it is now: a reference into the item would outlive it.
        .add_property("transform", +[](const Item& i) { return pf::MatrixT(i.GetTransform()); })
        .add_property("itemID", &Item::GetCreationID)
        .add_property("enableMouseEvents", &Item::GetEnableMouseEvents, &Item::SetEnableMouseEvents)
        .add_property("enableKeyEvents", &Item::GetEnableKeyEvents, &Item::SetEnableKeyEvents)
        .add_property("pythonOverloads", &GetOverloads, &SetOverloads)
        .def("AddEventHandler", OnSceneThread("Item.AddEventHandler", &Item::AddEventHandler))
        .def("AddItem", OnSceneThread("Item.AddItem", &Item::AddItem))
        .def("calculateSubtreeRect", &Item::calculateSubtreeRect)
        .def("CenterInParent", &Item::CenterInParent)
        .def("ClearClipRect", &Item::ClearClipRect)
        .def("Click", &Item::Click)
        .def("ConvertPoint", &Item::ConvertPoint)
        .def("DoubleClick", &Item::DoubleClick)
        .def("Dump", &Item::Dump)
        .def("GetClickID", &Item::GetClickID)
        .def("getEventHandler", +[](const Item& i, const std::wstring& name) { return AsScript(i.getEventHandler(name)); })
        .def("GetMouseOver", &Item::GetMouseOver)
        .def("HasSurface", &Item::HasSurface)
        .def("IsInClipRect", &Item::IsInClipRect)
        .def("IsOn", &Item::IsOn)
        .def("LookupText", &Item::LookupText)
        .def("PauseAllOtherClocks", &Item::PauseAllOtherClocks)
        .def("PauseTime", &Item::PauseTime)
        .def("RemoveAllDescendents", OnSceneThread("Item.RemoveAllDescendents", &Item::RemoveAllDescendents))
        .def("RemoveAllEventHandlers", OnSceneThread("Item.RemoveAllEventHandlers", &Item::RemoveAllEventHandlers))
        .def("RemoveAllModifiers", OnSceneThread("Item.RemoveAllModifiers", &Item::RemoveAllModifiers))
        .def("RemoveEventHandler", OnSceneThread("Item.RemoveEventHandler", &Item::RemoveEventHandler))
        .def("RemoveEventHandlersOfType", OnSceneThread("Item.RemoveEventHandlersOfType", &Item::RemoveEventHandlersOfType))
        .def("RemoveModifier", OnSceneThread("Item.RemoveModifier", +[](Item& i, Modifier* m) { i.RemoveModifier(m); }))
        .def("RemoveModifiersByName", OnSceneThread("Item.RemoveModifiersByName", &Item::RemoveModifiersByName))
        .def("safeDelete", OnSceneThread("Item.safeDelete", &Item::safeDelete))
        .def("SetClickID", &Item::SetClickID)
        .def("SetEnableUserEvents", &Item::SetEnableUserEvents)
        .def("SetModal", &Item::SetModal)
        .def("SetMouseOver", &Item::SetMouseOver)
        .def("SetPositionRelative", &Item::SetPositionRelative)
        .def("SetProperty", &Item::SetProperty)
        .def("StopModifiers", OnSceneThread("Item.StopModifiers", &Item::StopModifiers))
        .def("UpdateDisplayState", &Item::UpdateDisplayState)
        // A plain member: the answer does not depend on the item.
        .def("UniqueName", +[](Item&, const std::wstring& text) { return Item::UniqueName(text); })
        .def("Cycle", OnSceneThread("Item.Cycle", &CycleDefault))
        .def("cleanup", OnSceneThread("Item.cleanup", &CleanupDefault))
        .def("Draw", OnSceneThread("Item.Draw", &ItemDrawDefault))
        .def("HandleEvent", OnSceneThread("Item.HandleEvent", &HandleEventDefault))
        .def("PassEvent", OnSceneThread("Item.PassEvent", &PassEventDefault))
        .def("SetPosition", &SetPositionAdapter)
        .def("show", +[](Item& i) { i.SetVisible(true); })
        .def("hide", +[](Item& i) { i.SetVisible(false); })
        .def("MakeModal", &MakeModal)
        .def("AddModifierWithTC",
             OnSceneThread("Item.AddModifierWithTC", +[](Item& i, Modifier* m, TimeController* tc) { i.AddModifier(m, tc); }))
        .def("getClockHandler", +[](const Item& i) { return AsScript(i.GetEventHandlerOfType(TypeId::ClockHandler)); })
        .def("getItemByName", +[](const Item& i, const std::wstring& name) { return AsScript(i.GetChildByName(name)); });
    // Engine items reach scripts as weak references (see ToScript).
    bp::register_ptr_to_python<WeakRef<Item>>();

    bp::def("ConvertPoint", +[](const pf::Point& p, const Item* from, const Item* to, bool upward) {
        return ConvertPointBetweenItems(p, from, to, upward);
    });
    bp::def("GetItemByPoint", +[](Item* root, const pf::Point& p) { return AsScript(GetItemByPoint(root, p)); });
    bp::def("GetUnionChildRect", +[](const Item* item, bool recursive) { return CalcUnionChildRect(item, recursive, true); });
}

void RegisterActor() {
    bp::class_<Actor, ActorWrap, bp::bases<Item, PythonOverloadeable>, boost::noncopyable>("Actor", bp::init<>())
        .add_property("anim", &Actor::GetAnim, &Actor::SetAnim)
        .add_property("alpha", &Actor::GetAlpha, +[](Actor& a, int v) { a.SetAlpha(v); })
        .add_property("drawActor", &Actor::GetDrawActor, &Actor::SetDrawActor)
        .add_property("r", &GetChannel<&pf::Color::r>, &SetChannel<&pf::Color::r>)
        .add_property("g", &GetChannel<&pf::Color::g>, &SetChannel<&pf::Color::g>)
        .add_property("b", &GetChannel<&pf::Color::b>, &SetChannel<&pf::Color::b>)
        .add_property("alphaIsOnThreshold", &Actor::GetAlphaIsOnThreshold, &Actor::SetAlphaIsOnThreshold)
        .add_property("overwriteParentAlpha", &Actor::GetOverwriteParentAlpha, &Actor::SetOverwriteParentAlpha)
        .add_property("rotation", &Actor::GetRotation, &Actor::SetRotation)
        .add_property("rotationDegrees", &Actor::GetRotationDegrees, &Actor::SetRotationDegrees)
        .add_property("color", &Actor::GetColor, &Actor::SetColor)
        .add_property("brightness", &Actor::GetBrightness, &Actor::SetBrightness)
        .add_property("scale", &Actor::GetScaleX, &Actor::SetScale)
        .add_property("scaleX", &Actor::GetScaleX, &Actor::SetScaleX)
        .add_property("scaleY", &Actor::GetScaleY, &Actor::SetScaleY)
        .add_property("scale2", &Actor::GetScale2, &Actor::SetScale2)
        .add_property("origin", &Actor::GetOrigin,
                      +[](Actor& a, const bp::object& v) { a.SetOrigin(PointFromTuple(v, true)); })
        .add_property("originX", &Actor::GetOriginX, &Actor::SetOriginX)
        .add_property("originY", &Actor::GetOriginY, &Actor::SetOriginY)
        .add_property("blend", &Actor::GetBlend, &Actor::SetBlend)
        .add_property("cel", &Actor::GetCel, &Actor::SetCel)
        .add_property("loop", &Actor::GetLoop, &Actor::SetLoop)
        // The surface's script object holds a counted reference of its own.
        .add_property("surface", &ActorSurface, &Actor::SetSurface)
        .def("SetAlpha", &Actor::SetAlpha)
        .def("getColorAtPoint", &Actor::getColorAtPoint)
        .def("PrepareDraw", &Actor::PrepareDraw)
        .def("CompleteDraw", &Actor::CompleteDraw)
        .def("setOriginToCenter", &Actor::setOriginToCenter)
        .def("Cycle", OnSceneThread("Actor.Cycle", &CycleDefault))
        .def("Draw", OnSceneThread("Actor.Draw", &ActorDrawDefault))
        .def("HandleEvent", OnSceneThread("Actor.HandleEvent", &HandleEventDefault));
}

void RegisterRenderAndTreeState() {
    bp::class_<RenderState>("RenderState", bp::init<>())
        .add_property("display", bp::make_getter(&RenderState::display, bp::return_value_policy<bp::reference_existing_object>()),
                      bp::make_setter(&RenderState::display))
        .def_readwrite("drawChildren", &RenderState::drawChildren)
        .def_readwrite("alpha", &RenderState::alpha)
        .add_property("world", bp::make_getter(&RenderState::world, bp::return_internal_reference<>()),
                      bp::make_setter(&RenderState::world))
        .add_property("clipRect", bp::make_getter(&RenderState::clipRect, bp::return_internal_reference<>()),
                      bp::make_setter(&RenderState::clipRect));
    bp::class_<TreeState>("TreeState", bp::init<>())
        .def_readwrite("visible", &TreeState::visible)
        .def_readwrite("enable", &TreeState::enable);
}

void RegisterGetItemByID() {
    bp::def("getItemByID", +[](unsigned int cid) {
        return cid > 0x7FFFFFFFu ? bp::object() : AsScript(getItemByID(static_cast<int>(cid)));
    });
}

void RegisterGetItemByName() {
    bp::def("getItemByName", +[](const std::wstring& name) { return AsScript(getItemByName(name)); });
}

}  // namespace ruv3module
