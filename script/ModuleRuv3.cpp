#include "script/ModuleRuv3.h"

#include <boost/python.hpp>

#include <cmath>

#include "scene/Callback.h"
#include "script/PythonHost.h"
#include "shell/Clock.h"
#include "shell/Random.h"

namespace bp = boost::python;

namespace ruv3module {

void RegisterCallbackClass() { bp::class_<Callback>("Callback", bp::init<>()); }

void RegisterGetTicks() {
    bp::def("getTicks", +[]() { return pf::NowMs(); });
}

void RegisterRand32b() {
    bp::def("rand32b", +[]() { return pf::rand32b(); });
}

void RegisterSin() {
    bp::def("sin", +[](float x) { return static_cast<float>(std::sin(x)); });
}

const std::vector<RegistrationStep>& RegistrationSteps() {
    static const std::vector<RegistrationStep> steps = {
        {"Callback", &RegisterCallbackClass},
        {"Point", nullptr},
        {"Color", nullptr},
        {"Rect", nullptr},
        {"ItemsParent, Items, RefCounter, Item, GetItemByPoint, ConvertPoint, GetUnionChildRect", nullptr},
        {"Actor", nullptr},
        {"widgets, RootItem, GetRootItem, SetRootItem", nullptr},
        {"modifiers, time controllers, time curves", nullptr},
        {"Event, EventSystem, GetEventSystem, sin, KeyType, ButtonType, EventType, EventProperty", &RegisterSin},
        {"RenderState, TreeState", nullptr},
        {"BlendMode, Display", nullptr},
        {"Vector3, Vector2, Matrix", nullptr},
        {"input handlers, clock handlers", nullptr},
        {"resources", nullptr},
        {"sound", nullptr},
        {"ToPoint", nullptr},
        {"ToColor", nullptr},
        {"Surface", nullptr},
        {"FileSystem", nullptr},
        {"Application, OptionList", nullptr},
        {"ThreadResourcesQueue", nullptr},
        {"getTicks", &RegisterGetTicks},
        {"GetAsyncKeyState", nullptr},
        {"rand32b", &RegisterRand32b},
        {"renderItemIntoSurface", nullptr},
        {"messageBoxAssert", nullptr},
        {"getItemByID", nullptr},
        {"getItemByName", nullptr},
    };
    return steps;
}

}  // namespace ruv3module

BOOST_PYTHON_MODULE(ruv3) {
    for (const ruv3module::RegistrationStep& step : ruv3module::RegistrationSteps()) {
        if (step.run) step.run();
    }
}
