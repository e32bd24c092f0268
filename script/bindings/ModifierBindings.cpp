// Script classes of the animation layer: modifiers, time controllers and time curves.
// Scripts build them, configure them and hand the pairs to items; the engine calls only
// its own Action and Shift, never a method a script subclass defines.
#include <boost/python.hpp>

#include "scene/Item.h"
#include "scene/Modifier.h"
#include "scene/TimeController.h"
#include "scene/TimeCurves.h"
#include "scene/TimeShift.h"
#include "script/bindings/ContentBindings.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

// Init without a curve; answers the controller itself so calls can be chained.
bp::object InitController(TimeController& tc, int periodMs, TimeController::TimeControllerType type, int loops) {
    return ToScript(tc.Init(periodMs, type, loops, nullptr));
}

template <class Curve>
void RegisterCurve(const char* name) {
    bp::class_<Curve, classWrap<Curve>, bp::bases<TimeShift>, boost::noncopyable>(name, bp::init<>());
}

}  // namespace

void RegisterModifiers() {
    // The client is held weakly by the modifier: once the item is gone it reads as None.
    bp::class_<Modifier, classWrap<Modifier>, bp::bases<RefCounter>, boost::noncopyable>("Modifier", bp::init<>())
        .add_property("done", &Modifier::IsDone)
        .add_property("client", +[](const Modifier& m) { return ToScript(m.GetClient()); })
        .add_property("delete_client", &Modifier::GetDeleteClient, &Modifier::SetDeleteClient)
        .add_property("onDone", &Modifier::GetOnDone, &SetScriptCallback<Modifier, &Modifier::SetOnDone>)
        .add_property("name", +[](const Modifier& m) { return std::wstring(m.GetName()); }, &Modifier::SetName)
        .def("Action", &Modifier::Action);

    // The standard modifiers and the modifier queue are registered here, after
    // Modifier, once their engine classes exist.

    {
        bp::scope controller =
            bp::class_<TimeController, classWrap<TimeController>, bp::bases<RefCounter>, boost::noncopyable>(
                "TimeController", bp::init<>())
                .def("Init", &InitController)
                .add_property("time_shift", +[](const TimeController& tc) { return ToScript(tc.GetTimeShift()); },
                              &TimeController::SetTimeShift)
                .add_property("start_time", &TimeController::GetStartTime, &TimeController::SetStartTime)
                .add_property("done", &TimeController::IsDone)
                .def("Cycle", &TimeController::Cycle);
        bp::enum_<TimeController::TimeControllerType>("TimeControllerType")
            .value("Forward", TimeController::Forward)
            .value("Backward", TimeController::Backward)
            .value("Oscillate", TimeController::Oscillate)
            .value("Random", TimeController::Random)
            .export_values();
    }

    bp::class_<TimeShift, classWrap<TimeShift>, bp::bases<RefCounter>, boost::noncopyable>("TimeShift", bp::init<>())
        .add_property("magnitude", &TimeShift::GetMagnitude, &TimeShift::SetMagnitude)
        .def("Shift", &TimeShift::Shift);
    RegisterCurve<Accelerate>("Accelerate");
    RegisterCurve<Decelerate>("Decelerate");
    bp::class_<DelayLinear, classWrap<DelayLinear>, bp::bases<TimeShift>, boost::noncopyable>("DelayLinear",
                                                                                              bp::init<>())
        .def(bp::init<float>());
    RegisterCurve<OverShoot>("OverShoot");
    RegisterCurve<Crest>("Crest");
    RegisterCurve<Trough>("Trough");
    bp::class_<Pendulum, classWrap<Pendulum>, bp::bases<TimeShift>, boost::noncopyable>("Pendulum", bp::init<>())
        .def("SetNumSwings", &Pendulum::SetNumSwings);
}

}  // namespace ruv3module
