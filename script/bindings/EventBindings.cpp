// Script classes of input: Event, EventSystem, GetEventSystem and the enums of key codes,
// buttons, event types and event properties.
#include <boost/python.hpp>

#include "script/ModuleRuv3.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/EventProxy.h"
#include "shell/Application.h"
#include "shell/EventSystem.h"

namespace bp = boost::python;

pf::Event& ScriptEvent::Get() const {
    if (expired_) {
        PyErr_SetString(PyExc_ReferenceError,
                        "this event was handed to the script for one call only and is gone");
        bp::throw_error_already_set();
    }
    return lent_ ? *lent_ : own_;
}

EventLease::EventLease(pf::Event& event) : object_(ScriptEvent()) {
    proxy_ = &bp::extract<ScriptEvent&>(object_)();
    proxy_->lent_ = &event;
}

EventLease::~EventLease() {
    proxy_->lent_ = nullptr;
    proxy_->expired_ = true;
}

namespace ruv3module {

namespace {

// Script enums need enum types of their own: the engine's codes are plain ints.
enum class KeyType : int {
    ArrowUp = 273,
    ArrowDown = 274,
    ArrowLeft = 276,
    ArrowRight = 275,
    Space = 32,
    Esc = 27,
    Delete = 127,
    Backspace = 8,
    Return = 13
};
enum class ButtonKind : int { Left = pf::ButtonType::Left, Middle = pf::ButtonType::Middle, Right = pf::ButtonType::Right };
enum class EventKind : int {};
enum class EventField : int {};

// data[n] of the script interface is the engine's slot n + 1 (slot 0 holds the type).
int Slot(const ScriptEvent& e, int n) { return e.Get().GetData(n + 1); }

// The key's character, else its key code, as a one-character text.
bp::object EventChar(const ScriptEvent& e) {
    const int character = Slot(e, 5);
    PyObject* text = PyUnicode_FromOrdinal(character ? character : Slot(e, 3));
    if (!text) bp::throw_error_already_set();
    return bp::object(bp::handle<>(text));
}

pf::EventSystem& ApplicationEvents() { return *pf::Application2::GetInstance().GetEventSystem(); }

}  // namespace

void RegisterEventClasses() {
    bp::class_<ScriptEvent>("Event", bp::init<>())
        .add_property("type", +[](const ScriptEvent& e) { return e.Get().GetType(); },
                      +[](ScriptEvent& e, int t) { e.Get().SetType(t); })
        .add_property("claimed", +[](const ScriptEvent& e) { return e.Get().IsClaimed(); },
                      +[](ScriptEvent& e, bool c) { e.Get().SetClaimed(c); })
        .add_property("gain", +[](const ScriptEvent& e) { return Slot(e, 0) != 0; },
                      +[](ScriptEvent& e, bool g) { e.Get().SetData(1, g ? 1 : 0); })
        .add_property("state", +[](const ScriptEvent& e) { return e.Get().GetState(); })
        .add_property("char", &EventChar)
        .add_property("mouse", +[](const ScriptEvent& e) { return e.Get().GetPoint(pf::EventProperty::MMOTION_XY); })
        .add_property("button", +[](const ScriptEvent& e) { return Slot(e, 1); })
        .add_property("click_id", +[](const ScriptEvent& e) { return Slot(e, 0); })
        .add_property("isMouseEvent", +[](const ScriptEvent& e) { return e.Get().isMouseEvent(); })
        .def("GetInt", +[](const ScriptEvent& e, int selector) { return e.Get().GetInt(selector); });

    bp::class_<pf::EventSystem, boost::noncopyable>("EventSystem", bp::no_init)
        .add_property("mousePos", &pf::EventSystem::GetMousePosition)
        .add_property("hasInputFocus", &pf::EventSystem::hasInputFocus);
    bp::def("GetEventSystem", &ApplicationEvents, bp::return_value_policy<bp::reference_existing_object>());

    bp::enum_<KeyType>("KeyType")
        .value("ArrowUp", KeyType::ArrowUp)
        .value("ArrowDown", KeyType::ArrowDown)
        .value("ArrowLeft", KeyType::ArrowLeft)
        .value("ArrowRight", KeyType::ArrowRight)
        .value("Space", KeyType::Space)
        .value("Esc", KeyType::Esc)
        .value("Delete", KeyType::Delete)
        .value("Backspace", KeyType::Backspace)
        .value("Return", KeyType::Return);
    bp::enum_<ButtonKind>("ButtonType")
        .value("Left", ButtonKind::Left)
        .value("Middle", ButtonKind::Middle)
        .value("Right", ButtonKind::Right);
    using T = pf::EventType;
    bp::enum_<EventKind>("EventType")
        .value("Active", EventKind(T::Active))
        .value("KeyDown", EventKind(T::KeyDown))
        .value("KeyUp", EventKind(T::KeyUp))
        .value("KeyChar", EventKind(T::KeyChar))
        .value("MouseMotion", EventKind(T::MouseMotion))
        .value("MouseButtonDown", EventKind(T::MouseButtonDown))
        .value("MouseButtonUp", EventKind(T::MouseButtonUp))
        .value("MouseWheel", EventKind(T::MouseWheel))
        .value("Close", EventKind(T::Close))
        .value("BatteryLow", EventKind(T::BatteryLow))
        .value("ButtonClick", EventKind(T::ButtonClick))
        .value("Clock", EventKind(T::Clock));
    static const char* const kFields[] = {
        "ACTIVE_GAIN",   "ACTIVE_STATE", "KEY_SCANCODE", "KEY_SYM",          "KEY_MOD",
        "KEY_UNICODE",   "MMOTION_X",    "MMOTION_Y",    "MMOTION_XY",       "MMOTION_RX",
        "MMOTION_RY",    "MMOTION_RXRY", "WHICH_BUTTON", "MOUSE_WHEEL_DELTA", "MOUSE_X",
        "MOUSE_Y",       "MOUSE_XY",     "CLICK_ID",     "USER_DATA_1",      "USER_DATA_2"};
    bp::enum_<EventField> fields("EventProperty");
    for (int i = 0; i < static_cast<int>(sizeof kFields / sizeof kFields[0]); ++i) fields.value(kFields[i], EventField(i));

    RegisterSin();
}

}  // namespace ruv3module
