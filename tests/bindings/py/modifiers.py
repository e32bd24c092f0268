# Runs with `root` (the scene's root item) and `advance(ms)`, which moves the fake clock.
import math
import gc
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=30, deadline=None, database=None)

CURVES = [None, ruv3.Accelerate, ruv3.Decelerate, ruv3.DelayLinear, ruv3.OverShoot, ruv3.Crest, ruv3.Trough,
          ruv3.Pendulum]
Kind = ruv3.TimeController.TimeControllerType
TYPES = [Kind.Forward, Kind.Backward, Kind.Oscillate, Kind.Random]


def test_registration():
    assert ruv3.TimeController.Forward == 0 and ruv3.TimeController.Random == 3
    assert int(Kind.Oscillate) == 2 and not hasattr(ruv3, "TimeControllerType")
    for c in CURVES[1:]:
        assert issubclass(c, ruv3.TimeShift) and isinstance(c(), ruv3.RefCounter)
    assert issubclass(ruv3.Modifier, ruv3.RefCounter)


def test_init_chains_and_curve_is_set_separately():
    tc = ruv3.TimeController()
    assert tc.Init(1000, ruv3.TimeController.Forward, 1) is tc
    assert tc.time_shift is None and not tc.done
    curve = ruv3.Pendulum()
    curve.SetNumSwings(2.5)
    tc.time_shift = curve
    assert tc.time_shift is curve
    tc.time_shift = None
    assert tc.time_shift is None


def test_modifier_members_and_on_done():
    m = ruv3.Modifier()
    assert m.client is None and not m.done and not m.delete_client
    m.name = u"spin"
    assert m.name == u"spin"
    m.delete_client = True
    assert m.delete_client
    m.Action(0.5, 0.5)
    done = []
    m.onDone = lambda: done.append(1)
    assert isinstance(m.onDone, ruv3.Callback)
    item = ruv3.Item()
    root.AddItem(item)
    m.delete_client = False
    tc = ruv3.TimeController().Init(100, ruv3.TimeController.Forward, 1)
    item.AddModifierWithTC(m, tc)
    assert m.client is item
    for _ in range(5):
        advance(50)
        item.Cycle()
    assert done == [1] and m.done and tc.done
    item.parent = None
    item.cleanup()
    del item
    gc.collect()
    assert m.client is None


def test_subclass_action_is_not_called_by_the_engine():
    class Mine(ruv3.Modifier):
        calls = 0

        def Action(self, value, shifted):
            Mine.calls += 1

    item = ruv3.Item()
    root.AddItem(item)
    item.AddModifierWithTC(Mine(), ruv3.TimeController().Init(100, ruv3.TimeController.Forward, 1))
    advance(30)
    item.Cycle()
    assert Mine.calls == 0
    item.parent = None
    item.cleanup()


@FEW
@given(st.one_of(st.integers(-1000, 0), st.integers(1, 5000), st.just(2**31 - 1)),
       st.sampled_from(TYPES), st.integers(-2, 4), st.sampled_from(CURVES),
       st.floats(allow_nan=True, allow_infinity=True), st.integers(-100, 100),
       st.lists(st.integers(0, 3000), max_size=8))
def test_random_controller_parameters(period, kind, loops, curve, x, magnitude, steps):
    item = ruv3.Item()
    root.AddItem(item)
    try:
        tc = ruv3.TimeController().Init(period, kind, loops)
        if curve is not None:
            shift = curve(x) if curve is ruv3.DelayLinear else curve()
            if curve is ruv3.Pendulum:
                shift.SetNumSwings(x)
            shift.magnitude = magnitude
            assert shift.magnitude == magnitude
            shift.Shift(0.5)
            tc.time_shift = shift
        for dt in steps:
            advance(dt)
            v = tc.Cycle(item)
            assert isinstance(v, float)
        # The first step starts the controller's clock.
        if steps and loops > 0 and (period <= 0 or sum(steps[1:]) >= period * loops):
            assert tc.done
    finally:
        item.parent = None
