# Runs with `root` (the scene's root item) and `advance(ms)`, which moves the fake clock.
import math
import gc
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(30), deadline=None, database=None)

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


def test_a_raising_on_done_finishes_its_pair_once():
    # The callback may also take its own item out of the tree, dropping its last holder.
    for leaves in (False, True):
        parent = ruv3.Item()
        root.AddItem(parent)
        item = ruv3.Item()
        parent.AddItem(item)
        m = ruv3.Modifier()
        calls = []

        def typo():
            calls.append(1)
            if leaves:
                parent.RemoveAllDescendents(False)
            raise NameError("typo")

        m.onDone = typo
        item.AddModifierWithTC(m, ruv3.TimeController().Init(100, ruv3.TimeController.Forward, 1))
        del item
        gc.collect()
        raised = 0
        for _ in range(6):
            advance(50)
            try:
                parent.Cycle()
            except NameError:
                raised += 1
        assert calls == [1] and raised == 1 and m.done, (leaves, calls, raised)
        assert len(parent.children) == (0 if leaves else 1), leaves
        parent.parent = None
        parent.cleanup()


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


STANDARD = [ruv3.MoveWithCursor, ruv3.Cycler, ruv3.Scaler, ruv3.Mover, ruv3.Rotator, ruv3.Fader,
            ruv3.ModifierQueue]


def run_on(actor, modifier, period, steps=(0, 50, 50, 50)):
    tc = ruv3.TimeController().Init(period, ruv3.TimeController.Forward, 1)
    actor.AddModifierWithTC(modifier, tc)
    for dt in steps:
        advance(dt)
        actor.Cycle()
    return tc


def fresh_actor():
    a = ruv3.Actor()
    root.AddItem(a)
    return a


def drop(actor):
    actor.parent = None
    actor.cleanup()


def test_standard_modifiers_as_registered():
    for cls in STANDARD:
        m = cls()
        assert isinstance(m, ruv3.Modifier) and m.client is None and not m.done, cls
    assert ruv3.Scaler().name == u"Scaler" and ruv3.Mover().name == u"Mover"
    assert ruv3.Cycler().name == u"Cycler" and ruv3.Fader().dest == 128 and ruv3.Fader(40).dest == 40
    c = ruv3.Cycler()
    assert (c.src, c.dest) == (0, -1)
    c.src, c.dest = 2, 5
    assert (c.src, c.dest) == (2, 5)
    c.setFrames(u"1:3,7*2")
    c.setFrames(u"\u0131\u0132,\u4e00")
    ruv3.MoveWithCursor().SetUseConfines(False)
    raises(TypeError, ruv3.ModifierQueue().pushModifier, None, None)
    q = ruv3.ModifierQueue()
    raises(ValueError, q.pushModifier, q, None)
    # Nor through queues among its steps, queued or running.
    a, b, c = ruv3.ModifierQueue(), ruv3.ModifierQueue(), ruv3.ModifierQueue()
    a.pushModifier(b, None)
    b.pushModifier(c, None)
    raises(ValueError, c.pushModifier, a, None)
    raises(ValueError, b.pushModifier, a, None)
    c.pushModifier(ruv3.Fader(), None)
    a.pushModifier(c, None)  # a second path to c is no cycle


def test_tweens_reach_their_targets():
    a = fresh_actor()
    try:
        a.pos = (10, 20)
        run_on(a, ruv3.Mover(ruv3.Point(110, 220)), 100)
        assert a.pos == (110, 220)
        run_on(a, ruv3.Scaler(2.0, 3.0), 100)
        assert (a.scaleX, a.scaleY) == (2.0, 3.0)
        run_on(a, ruv3.Scaler(), 100)
        assert (a.scaleX, a.scaleY) == (1.0, 1.0)
        run_on(a, ruv3.Rotator(1.5), 100)
        assert abs(a.rotation - 1.5) < 1e-6
        a.alpha = 255
        run_on(a, ruv3.Fader(0), 100)
        assert a.alpha == 0
    finally:
        drop(a)


def test_a_queue_runs_its_steps_in_turn():
    a = fresh_actor()
    try:
        a.pos = (0, 0)
        q = ruv3.ModifierQueue()
        done = []
        first = ruv3.Mover(ruv3.Point(100, 0))
        first.onDone = lambda: done.append("first")
        q.pushModifier(first, ruv3.TimeController().Init(100, ruv3.TimeController.Forward, 1))
        q.pushModifier(ruv3.Mover(ruv3.Point(100, 100)), ruv3.TimeController().Init(100, ruv3.TimeController.Forward, 1))
        q.onDone = lambda: done.append("queue")
        run_on(a, q, 1000, steps=[0] + [60] * 8)
        assert a.pos == (100, 100) and done == ["first", "queue"], (a.pos, done)
    finally:
        drop(a)


def between(value, a, b):
    # value within [a, b] (either order), give or take single-precision rounding.
    slack = 1e-6 * max(1.0, abs(a), abs(b))
    return min(a, b) - slack <= value <= max(a, b) + slack


@FEW
@given(st.sampled_from(STANDARD),
       st.one_of(st.integers(-1000, 0), st.integers(1, 5000), st.just(2**31 - 1)),
       st.floats(allow_nan=True, allow_infinity=True, width=32),
       st.integers(-2**31, 2**31 - 1), st.text(max_size=12),
       st.lists(st.integers(0, 3000), max_size=6))
def test_random_standard_modifier_parameters(cls, period, f, n, frames, steps):
    a = fresh_actor()
    try:
        a.pos = (0, 0)
        if cls is ruv3.Scaler:
            m = cls(f, f)
        elif cls is ruv3.Mover:
            dest = (n, -n if n > -2**31 else n)
            m = cls(ruv3.Point(*dest))
        elif cls is ruv3.Rotator:
            m = cls(f)
        elif cls is ruv3.Fader:
            m = cls(n)
            m.dest = n
        elif cls is ruv3.Cycler:
            m = cls()
            m.setFrames(frames)
            m.src, m.dest = n, -n if n > -2**31 else n
        elif cls is ruv3.ModifierQueue:
            m = cls()
            m.pushModifier(ruv3.Fader(n), ruv3.TimeController().Init(period, ruv3.TimeController.Oscillate, 2))
            m.pushModifier(ruv3.Rotator(f), None)
        else:
            m = cls()
            m.SetUseConfines(n % 2 == 0)
        tc = run_on(a, m, period, steps=steps)
        # Whatever the parameters, the actor's values stay within their clamps, and a tween
        # towards a finite destination stays between where it started and that destination.
        assert 0 <= a.alpha <= 255, a.alpha
        x, y = a.pos
        assert isinstance(x, int) and isinstance(y, int), a.pos
        if cls is ruv3.Mover:
            assert between(x, 0, dest[0]) and between(y, 0, dest[1]), (a.pos, dest)
        elif cls is ruv3.Fader:
            assert between(a.alpha, 255, min(max(n, 0), 255)), (a.alpha, n)
        elif cls is ruv3.Scaler and math.isfinite(f):
            assert between(a.scaleX, 1.0, f) and between(a.scaleY, 1.0, f), (a.scaleX, a.scaleY, f)
        elif cls is ruv3.Rotator and math.isfinite(f):
            assert between(a.rotation, 0.0, f), (a.rotation, f)
        if cls is not ruv3.Scaler:
            assert (a.scaleX, a.scaleY) == (1.0, 1.0)
        if cls not in (ruv3.Rotator, ruv3.ModifierQueue):
            assert a.rotation == 0.0
        for value in (a.scaleX, a.scaleY, a.rotation):
            assert math.isfinite(value) or not math.isfinite(f), (value, f)
        # The pair ends when its controller ends (the first step starts the clock), and
        # not while it runs.
        if steps and (period <= 0 or sum(steps[1:]) >= period):
            assert tc.done, (period, steps)
        assert m.done == tc.done, (m.done, tc.done)
    finally:
        drop(a)
