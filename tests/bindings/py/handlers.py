# Runs with `root` (the scene's root item, 800 x 600) and `click(x, y)`, which sends a
# left button press and release through the platform's event queue and the root.
import gc
import weakref
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(20), deadline=None, database=None)


def test_classes_as_registered():
    assert issubclass(ruv3.DragHandler, ruv3.ButtonHandler)
    assert issubclass(ruv3.ButtonHandler, ruv3.RollOverHandler)
    base = ruv3.RollOverHandler.__bases__[0]
    assert base.__name__ == "DragHandler" and base is not ruv3.DragHandler
    assert issubclass(base, ruv3.Item) and issubclass(ruv3.ClockHandler, base)
    assert issubclass(ruv3.FixedClockHandler, ruv3.ClockHandler)
    d = ruv3.DragHandler()
    assert isinstance(d, ruv3.ButtonHandler) and d.dragClient is None


def test_an_actor_with_a_button_handler_calls_its_script_on_click():
    calls = []
    actor = ruv3.Actor()
    actor.size = (100, 100)
    actor.pos = (10, 10)
    actor.ignoreTransparency = True  # no image: the whole box takes the mouse
    handler = ruv3.ButtonHandler()
    handler.onClick = lambda: calls.append("click")
    handler.onPressDown = lambda: calls.append("down")
    handler.onPressUp = lambda: calls.append("up")
    actor.AddEventHandler(handler)
    root.AddItem(actor)
    try:
        click(50, 50)
        assert calls.count("click") == 1 and "down" in calls and "up" in calls, calls
        del calls[:]
        click(500, 500)
        assert calls == []
        handler.onClick = None
        assert isinstance(handler.onClick, ruv3.Callback)
        click(50, 50)
        assert "click" not in calls
        assert actor.getEventHandler(handler.name) is handler or handler.name == u""
    finally:
        actor.parent = None
        actor.cleanup()


def test_drag_client_reads_none_once_gone():
    d = ruv3.DragHandler()
    item = ruv3.Item()
    root.AddItem(item)
    d.dragClient = item
    assert d.dragClient is item
    probe = weakref.ref(item)
    item.parent = None
    del item
    gc.collect()
    assert probe() is None and d.dragClient is None


def test_clock_handlers():
    c = ruv3.ClockHandler()
    paused = []
    c.onPause = lambda: paused.append(1)
    c.pausable = False
    owner = ruv3.Item()
    owner.AddEventHandler(c)
    c.pause(True)
    assert c.pauseCounter == 0 and paused == []
    raises(AttributeError, setattr, c, "pauseCounter", 3)
    assert owner.getClockHandler() is c
    f = ruv3.FixedClockHandler()
    f.DoTick()
    assert isinstance(f.Update(1.0), int)
    owner.cleanup()


@FEW
@given(st.integers(-2**31, 2**31 - 1), st.booleans())
def test_random_handler_properties(n, flag):
    b = ruv3.ButtonHandler()
    b.mouseButton = n
    assert b.mouseButton == n
    c = ruv3.ClockHandler()
    c.pausable = flag
    assert c.pausable == flag
