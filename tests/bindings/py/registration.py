# The module's names by registration step, in order; "f" marks a module function, every
# other name is a class (enums included).
import ruv3

STEPS = [
    ["Callback"],
    ["Point"],
    ["Color"],
    ["Rect"],
    ["ItemsParent", "Items", "RefCounter", "Item", "GetItemByPoint f", "ConvertPoint f", "GetUnionChildRect f"],
    ["Actor"],
    ["CursorActor", "ColorRect", "TextBlock", "Button", "ScreenFader", "ScreenBlurFader", "RootItem",
     "GetRootItem f", "SetRootItem f", "FixedCycleItem", "TiledActor", "Box9Actor", "Edit", "SliderKnob",
     "ScrollItem", "ProgressBar"],
    ["Modifier", "MoveWithCursor", "Cycler", "Scaler", "Mover", "Rotator", "Fader", "ModifierQueue",
     "TimeController", "TimeShift", "Accelerate", "Decelerate", "DelayLinear", "OverShoot", "Crest", "Trough",
     "Pendulum"],
    ["Event", "EventSystem", "GetEventSystem f", "sin f", "KeyType", "ButtonType", "EventType", "EventProperty"],
    ["RenderState", "TreeState"],
    ["BlendMode", "Display"],
    ["Vector3", "Vector2", "Matrix"],
    ["DragHandler", "RollOverHandler", "ButtonHandler", "ClockHandler", "FixedClockHandler"],
    ["ResID", "ResManager", "ResourcesXML", "Res", "ResAnim", "ResFont", "ResSound", "LoadSoundFile f",
     "createEmptyResAnim f", "createResSound f"],
    ["Ruv3SoundSystem", "Channel", "SoundSystem", "SoundPlayer", "SoundInstance"],
    ["ToPoint f"],
    ["ToColor f"],
    ["Surface"],
    ["FileSystem"],
    ["Application", "OptionList"],
    ["ThreadResourcesQueue"],
    ["getTicks f"],
    ["GetAsyncKeyState f"],
    ["rand32b f"],
    ["renderItemIntoSurface f"],
    ["messageBoxAssert f"],
    ["getItemByID f"],
    ["getItemByName f"],
]


def test_every_name_has_its_kind():
    for step in STEPS:
        for entry in step:
            name, _, kind = entry.partition(" ")
            assert hasattr(ruv3, name), name
            value = getattr(ruv3, name)
            if kind == "f":
                assert callable(value) and not isinstance(value, type), name
            else:
                assert isinstance(value, type), name


def test_names_come_in_registration_order():
    step_of = {}
    for n, step in enumerate(STEPS):
        for entry in step:
            step_of[entry.split(" ")[0]] = n
    order = [step_of[name] for name in vars(ruv3) if name in step_of]
    assert order == sorted(order), [name for name in vars(ruv3) if name in step_of]
    assert len(order) == len(step_of)


def test_script_bases_as_the_engine_derives():
    pairs = [("Actor", "Item"), ("Item", "RefCounter"), ("Item", "ItemsParent"), ("Actor", "ItemsParent"),
             ("TextBlock", "Actor"),
             ("Edit", "TextBlock"), ("RootItem", "Actor"), ("FixedCycleItem", "Item"), ("ScrollItem", "Item"),
             ("SliderKnob", "Actor"), ("ProgressBar", "Actor"), ("Modifier", "RefCounter"),
             ("TimeController", "RefCounter"), ("Pendulum", "TimeShift"), ("ButtonHandler", "RollOverHandler"),
             ("ClockHandler", "Item"), ("ResAnim", "Res"), ("ResFont", "Res"), ("ResSound", "Res"),
             ("SoundInstance", "RefCounter"), ("CursorActor", "Actor"), ("ColorRect", "Actor"),
             ("Button", "Actor"), ("ScreenFader", "Actor"), ("ScreenBlurFader", "Actor"), ("TiledActor", "Actor"),
             ("Box9Actor", "Actor"), ("MoveWithCursor", "Modifier"), ("Cycler", "Modifier"),
             ("Scaler", "Modifier"), ("Mover", "Modifier"), ("Rotator", "Modifier"), ("Fader", "Modifier"),
             ("ModifierQueue", "Modifier")]
    for sub, base in pairs:
        assert issubclass(getattr(ruv3, sub), getattr(ruv3, base)), (sub, base)


def test_star_import():
    ns = {}
    exec("from ruv3 import *", ns)
    assert "SetRootItem" in ns and "ThreadResourcesQueue" in ns and "renderItemIntoSurface" in ns
    assert "Box9Actor" in ns and "ModifierQueue" in ns
