// Script classes of the input handlers and clock handlers. Handlers are items: scripts
// attach them with AddEventHandler and react through their callback properties.
#include <boost/python.hpp>

#include "scene/ButtonHandler.h"
#include "scene/ClockHandler.h"
#include "scene/DragHandler.h"
#include "scene/EvtHandler.h"
#include "scene/FixedClockHandler.h"
#include "scene/RollOverHandler.h"
#include "script/bindings/ContentBindings.h"

namespace bp = boost::python;

namespace ruv3module {

void RegisterHandlers() {
    // The plain event handler is registered under the name "DragHandler"; the drag
    // handler's own registration below rebinds the module name to the drag handler.
    bp::class_<EvtHandler, classWrap<EvtHandler>, bp::bases<Item>, boost::noncopyable>("DragHandler", bp::init<>());

    bp::class_<RollOverHandler, classWrap<RollOverHandler>, bp::bases<EvtHandler>, boost::noncopyable>(
        "RollOverHandler", bp::init<>())
        .add_property("onExit", &RollOverHandler::GetOnExit,
                      &SetScriptCallback<RollOverHandler, &RollOverHandler::SetOnExit>)
        .add_property("onEnter", &RollOverHandler::GetOnEnter,
                      &SetScriptCallback<RollOverHandler, &RollOverHandler::SetOnEnter>);

    bp::class_<ButtonHandler, classWrap<ButtonHandler>, bp::bases<RollOverHandler>, boost::noncopyable>(
        "ButtonHandler", bp::init<>())
        .add_property("mouseButton", &ButtonHandler::GetMouseButton, &ButtonHandler::SetMouseButton)
        .add_property("onClick", &ButtonHandler::GetOnClick,
                      &SetScriptCallback<ButtonHandler, &ButtonHandler::SetOnClick>)
        .add_property("onPressUp", &ButtonHandler::GetOnPressUp,
                      &SetScriptCallback<ButtonHandler, &ButtonHandler::SetOnPressUp>)
        .add_property("onPressDown", &ButtonHandler::GetOnPressDown,
                      &SetScriptCallback<ButtonHandler, &ButtonHandler::SetOnPressDown>);

    // The dragged item is held weakly by the handler: once it is gone it reads as None.
    bp::class_<DragHandler, classWrap<DragHandler>, bp::bases<ButtonHandler>, boost::noncopyable>("DragHandler",
                                                                                                  bp::init<>())
        .add_property("dragClient", +[](const DragHandler& h) { return ToScript(h.GetDragClient().get()); },
                      &DragHandler::SetDragClient)
        .add_property("onDrag", &DragHandler::GetOnDrag, &SetScriptCallback<DragHandler, &DragHandler::SetOnDrag>);

    bp::class_<ClockHandler, classWrap<ClockHandler>, bp::bases<EvtHandler>, boost::noncopyable>("ClockHandler",
                                                                                                bp::init<>())
        .add_property("onUnPause", &ClockHandler::GetOnUnPause,
                      &SetScriptCallback<ClockHandler, &ClockHandler::SetOnUnPause>)
        .add_property("onPause", &ClockHandler::GetOnPause,
                      &SetScriptCallback<ClockHandler, &ClockHandler::SetOnPause>)
        .add_property("pausable", &ClockHandler::IsPausable, &ClockHandler::SetPausable)
        .add_property("pauseCounter", &ClockHandler::GetPauseCounter)
        .def("pause", +[](ClockHandler& c, bool pause) { c.PauseTime(pause); });

    bp::class_<FixedClockHandler, classWrap<FixedClockHandler>, bp::bases<ClockHandler>, boost::noncopyable>(
        "FixedClockHandler", bp::init<>())
        .def("Update", &FixedClockHandler::Update)
        .def("DoTick", &FixedClockHandler::DoTick);
}

}  // namespace ruv3module
