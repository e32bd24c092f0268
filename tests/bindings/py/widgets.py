import gc
import weakref
import ruv3
from hypothesis import given, settings, strategies as st

FEW = settings(max_examples=examples(25), deadline=None, database=None)

ALIGN = {"left": 1, "center": 2, "right": 3, "char": 4}
VALIGN = {"top": 1, "middle": 2, "bottom": 3}
BAR = {"Default": 0, "Vertical": 1, "Horizontal": 2, "Animation": 3}
STRETCH = {"tile": 0, "stretch": 1, "stretch_middle": 2}


def test_classes_and_bases():
    for name, base in [("TextBlock", ruv3.Actor), ("RootItem", ruv3.Actor), ("FixedCycleItem", ruv3.Item),
                       ("Edit", ruv3.TextBlock), ("SliderKnob", ruv3.Actor), ("ScrollItem", ruv3.Item),
                       ("ProgressBar", ruv3.Actor), ("CursorActor", ruv3.Actor), ("ColorRect", ruv3.Actor),
                       ("Button", ruv3.Actor), ("ScreenFader", ruv3.Actor), ("ScreenBlurFader", ruv3.Actor),
                       ("TiledActor", ruv3.Actor), ("Box9Actor", ruv3.Actor)]:
        cls = getattr(ruv3, name)
        assert issubclass(cls, base), name
        assert isinstance(cls(), ruv3.Item), name
    e = ruv3.Edit()
    for member in ("text", "font", "align", "vertical_align", "spacing", "lineSkip", "base", "outline",
                   "setShadow", "calcTextSize", "resfont"):
        assert hasattr(e, member), member
    # The colour fader is an Actor to scripts, without the rectangle's members.
    assert not issubclass(ruv3.ScreenFader, ruv3.ColorRect) and not hasattr(ruv3.ScreenFader(), "border")
    assert not hasattr(ruv3, "UrlButton")
    # Widgets forward no operations to script subclasses.
    raises(AttributeError, setattr, ruv3.TextBlock(), "pythonOverloads", True)


@FEW
@given(st.text(max_size=12))
def test_enumeration_names_round_trip_or_fall_back(name):
    t = ruv3.TextBlock()
    t.align = name
    assert t.align == (name if name in ALIGN else "left")
    t.vertical_align = name
    assert t.vertical_align == (name if name in VALIGN else "top")
    p = ruv3.ProgressBar()
    p.bar_type = name
    assert p.bar_type == (name if name in BAR else "Default")
    b = ruv3.Box9Actor()
    b.stretchMode = name
    assert b.stretchMode == (name if name in STRETCH else "stretch")


def test_enumeration_names_are_case_sensitive():
    p = ruv3.ProgressBar()
    p.bar_type = "Vertical"
    assert p.bar_type == "Vertical"
    p.bar_type = "vertical"
    assert p.bar_type == "Default"
    t = ruv3.TextBlock()
    t.align = "Center"
    assert t.align == "left"


@FEW
@given(st.integers(-2**31, 2**31 - 1), st.integers(-2**31, 2**31 - 1), st.text(max_size=40),
       st.floats(allow_nan=True, allow_infinity=True, width=32), st.booleans())
def test_random_property_values(n, m, text, f, flag):
    e = ruv3.Edit()
    e.text = text
    assert e.text == text
    e.maxChars, e.maxWidth, e.spacing, e.base = n, m, n, m
    assert (e.maxChars, e.maxWidth, e.spacing) == (n, m, n)
    e.allowedChars, e.disallowedChars = text, text[::-1]
    assert (e.allowedChars, e.disallowedChars) == (text, text[::-1])
    e.calcTextSize()
    k = ruv3.SliderKnob()
    k.length, k.horizontal = n, flag
    assert (k.length, k.horizontal) == (n, flag)
    k.value = f
    assert 0.0 <= k.value <= 1.0 or k.length <= 0
    s = ruv3.ScrollItem()
    s.lineSize, s.pageSize = n, m
    assert (s.lineSize, s.pageSize) == (n, m)
    p = ruv3.ProgressBar()
    p.percentage, p.settingID = f, n
    assert p.settingID == n
    assert p.percentage == f or (f != f and p.percentage != p.percentage)


def test_text_block_members():
    t = ruv3.TextBlock()
    t.outline = ruv3.Color(1, 2, 3, 4)
    assert t.outline == ruv3.Color(1, 2, 3, 4)
    t.setShadow(1.5, 2.0, ruv3.Color(0, 0, 0, 128))
    assert t.font == u"" and t.resfont is None
    t.font = u"no such font"
    assert t.resfont is None
    assert t.calcTextSize() == (0, 0) or isinstance(t.calcTextSize(), ruv3.Point)
    raises(TypeError, setattr, t, "text", 5)


def test_slider_value_moves_the_knob_without_on_change():
    calls = []
    k = ruv3.SliderKnob()
    k.length = 200
    k.onChange = lambda: calls.append(1)
    k.value = 0.25
    assert k.position == (50, 0) and calls == []
    assert abs(k.value - 0.25) < 1e-6


def test_callback_properties_answer_callbacks():
    k = ruv3.SliderKnob()
    for name in ("onChange", "onDrop", "onMouseDown"):
        setattr(k, name, None)
        assert isinstance(getattr(k, name), ruv3.Callback)
    e = ruv3.Edit()
    e.onChange = None
    assert isinstance(e.onChange, ruv3.Callback)
    # A callback the engine handed out goes back in unchanged.
    e.onChange = k.onChange


def test_callbacks_keep_their_callables_until_replaced():
    class Target(object):
        def __call__(self):
            pass
    target = Target()
    probe = weakref.ref(target)
    e = ruv3.Edit()
    e.onChange = target
    del target
    gc.collect()
    assert probe() is not None
    e.onChange = None
    gc.collect()
    assert probe() is None


def test_root_item_functions():
    old = ruv3.GetRootItem()
    r = ruv3.RootItem()
    r.tag = "mine"
    probe = weakref.ref(r)
    ruv3.SetRootItem(r)
    del r
    gc.collect()
    assert ruv3.GetRootItem() is probe() and ruv3.GetRootItem().tag == "mine"
    ruv3.SetRootItem(old)
    gc.collect()
    assert probe() is None
    assert isinstance(ruv3.GetRootItem(), ruv3.RootItem)


def test_progress_bar_counts_its_anims():
    p = ruv3.ProgressBar()
    raises(TypeError, p.SetAnimEmpty, 5)
    p.SetAnimEmpty(None)
    p.SetAnimFull(None)


def test_button_members():
    b = ruv3.Button()
    assert b.keyEquivalent == 0
    b.SetProperty(u"keyEquivalents", u"27,13,32")
    assert b.keyEquivalent == 27
    b.keyEquivalent = 13
    assert b.keyEquivalent == 13 and b.enableKeyEvents
    b.clickSound, b.rolloverSound = u"click", u"over"
    assert (b.clickSound, b.rolloverSound) == (u"click", u"over")
    b.toggle = True
    assert b.toggle
    b.onClick = None
    assert isinstance(b.onClick, ruv3.Callback)
    raises(TypeError, setattr, b, "keyEquivalent", "x")


def test_faders_start_without_a_scene():
    f = ruv3.ScreenFader()
    f.end_alpha = 40
    assert f.end_alpha == 40
    f.Start()
    # No display to capture: the blur fader logs and stays as it is.
    ruv3.ScreenBlurFader().Start(300)


def test_nine_patch_members():
    b = ruv3.Box9Actor()
    b.SetGuides(1, 2, 3, 4)
    assert (b.leftGuide, b.rightGuide, b.topGuide, b.bottomGuide) == (1, 2, 3, 4)
    b.size = (40, 30)
    assert b.size == (40, 30) and b.size == ruv3.Point(40, 30)
    b.size = ruv3.Point(7, 9)
    assert (b.width, b.height) == (7, 9)
    raises(AttributeError, setattr, b, "resizedWidth", 3)
    assert isinstance(b.resizedWidth, int) and isinstance(b.resizedHeight, int)
    b.useRealSize = True
    assert b.useRealSize


@FEW
@given(st.lists(st.integers(-2**31, 2**31 - 1), min_size=8, max_size=8), st.text(max_size=20), st.booleans())
def test_random_widget_values(n, text, flag):
    c = ruv3.ColorRect()
    c.borderSize = n[0]
    c.border = ruv3.Color(n[1] & 255, n[2] & 255, n[3] & 255, n[4] & 255)
    assert c.borderSize == n[0] and c.border == ruv3.Color(n[1] & 255, n[2] & 255, n[3] & 255, n[4] & 255)
    b = ruv3.Button()
    b.keyEquivalent = n[5]
    assert b.keyEquivalent == n[5]
    b.clickSound, b.rolloverSound, b.toggle = text, text[::-1], flag
    assert (b.clickSound, b.rolloverSound, b.toggle) == (text, text[::-1], flag)
    f = ruv3.ScreenFader()
    f.end_alpha = n[6]
    assert f.end_alpha == n[6]
    ruv3.ScreenBlurFader().Start(n[7])
    t = ruv3.TiledActor()
    t.SetMinSize(ruv3.Point(n[0], n[1]))
    t.Resize()
    g = ruv3.Box9Actor()
    g.SetGuides(n[0], n[1], n[2], n[3])
    g.bottomGuide = n[4]
    g.size = (n[5], n[6])
    g.useRealSize = flag
    assert g.bottomGuide == n[4] and g.useRealSize == flag
    assert isinstance(g.resizedWidth, int) and isinstance(g.size, ruv3.Point)
