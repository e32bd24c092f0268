// Script classes of the animation layer: modifiers, time controllers and time curves.
// Scripts build them, configure them and hand the pairs to items; the engine calls only
// its own Action and Shift, never a method a script subclass defines.
#include <boost/python.hpp>

#include <string>

#include "scene/Cyclers.h"
#include "scene/Item.h"
#include "scene/Modifier.h"
#include "scene/ModifierQueue.h"
#include "scene/MoveWithCursor.h"
#include "scene/TimeController.h"
#include "scene/TimeCurves.h"
#include "scene/TimeShift.h"
#include "scene/Tweens.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/ContentBindings.h"
#include "script/bindings/SceneThread.h"

namespace bp = boost::python;

namespace ruv3module {

namespace {

// The engine objects behind the standard tweens made by scripts: the script constructors
// with arguments call Init with them.
class ScalerMade : public Scaler2 {
public:
    ScalerMade() = default;
    ScalerMade(float x, float y) { Init(pf::VectorT2(x, y)); }
};
class MoverMade : public Mover2 {
public:
    MoverMade() = default;
    explicit MoverMade(const pf::Point& dest) { Init(dest); }
};
class RotatorMade : public Rotator2 {
public:
    RotatorMade() = default;
    explicit RotatorMade(float radians) { Init(radians); }
};
class FaderMade : public Fader2 {
public:
    FaderMade() = default;
    explicit FaderMade(int alpha) { Init(alpha); }
};

// The frame list from a script's text. Characters outside ASCII become '?' rather than
// being cut to a byte that might read as a digit or a separator.
void SetFramesAdapter(Cycler2& c, const std::wstring& text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t ch : text) narrow += (ch > 0 && ch < 0x80) ? static_cast<char>(ch) : '?';
    c.SetFrames(narrow.c_str());
}

// A queue that ran itself as a step, directly or through queues among its steps, would
// cycle itself without end.
void PushModifierAdapter(ModifierQueue& q, Modifier& m, TimeController* tc) {
    const auto* inner = dynamic_cast<const ModifierQueue*>(&m);
    if (&m == &q || (inner && inner->Holds(&q)))
        RaiseScriptError(PyExc_ValueError, "a modifier queue cannot run itself");
    q.pushModifier(&m, tc);
}

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

    bp::class_<MoveWithCursor, classWrap<MoveWithCursor>, bp::bases<Modifier>, boost::noncopyable>("MoveWithCursor",
                                                                                                 bp::init<>())
        .def("SetUseConfines", &MoveWithCursor::SetUseConfines);
    bp::class_<Cycler2, classWrap<Cycler2>, bp::bases<Modifier>, boost::noncopyable>("Cycler", bp::init<>())
        .def("setFrames", &SetFramesAdapter)
        .add_property("src", &Cycler2::GetSrc, &Cycler2::SetSrc)
        .add_property("dest", &Cycler2::GetDest, &Cycler2::SetDest);
    bp::class_<Scaler2, classWrap<ScalerMade>, bp::bases<Modifier>, boost::noncopyable>("Scaler", bp::init<>())
        .def(bp::init<float, float>());
    bp::class_<Mover2, classWrap<MoverMade>, bp::bases<Modifier>, boost::noncopyable>("Mover", bp::init<>())
        .def(bp::init<pf::Point>());
    bp::class_<Rotator2, classWrap<RotatorMade>, bp::bases<Modifier>, boost::noncopyable>("Rotator", bp::init<>())
        .def(bp::init<float>());
    bp::class_<Fader2, classWrap<FaderMade>, bp::bases<Modifier>, boost::noncopyable>("Fader", bp::init<>())
        .def(bp::init<int>())
        .add_property("dest", &Fader2::GetDest, &Fader2::SetDest);
    bp::class_<ModifierQueue, classWrap<ModifierQueue>, bp::bases<Modifier>, boost::noncopyable>("ModifierQueue",
                                                                                               bp::init<>())
        .def("pushModifier", OnSceneThread("ModifierQueue.pushModifier", &PushModifierAdapter));

    {
        bp::scope controller =
            bp::class_<TimeController, classWrap<TimeController>, bp::bases<RefCounter>, boost::noncopyable>(
                "TimeController", bp::init<>())
                .def("Init", &InitController)
                .add_property("time_shift", +[](const TimeController& tc) { return ToScript(tc.GetTimeShift()); },
                              &TimeController::SetTimeShift)
                .add_property("start_time", &TimeController::GetStartTime, &TimeController::SetStartTime)
                .add_property("done", &TimeController::IsDone)
                .def("Cycle", OnSceneThread("TimeController.Cycle", &TimeController::Cycle));
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
