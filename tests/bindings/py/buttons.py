# Runs with `root` (the scene's root item, 800 x 600), `click(x, y)`, which sends a left
# button press and release through the platform's event queue and the root, and
# `sounds()`, the ids of the shared sounds the widgets asked for so far.
import gc
import weakref
import ruv3


def make_button(calls):
    b = ruv3.Button()
    b.size = (100, 40)
    b.pos = (10, 10)
    b.ignoreTransparency = True  # no image: the whole box takes the mouse
    b.clickSound = u"click"
    b.onClick = lambda: calls.append(list(sounds()))
    root.AddItem(b)
    return b


def test_a_click_plays_the_sound_and_reaches_the_script():
    calls = []
    b = make_button(calls)
    try:
        before = len(sounds())
        click(50, 20)
        assert len(calls) == 1 and calls[0][before:] == [u"click"], calls
        click(500, 500)
        assert len(calls) == 1
        b.onClick = None
        click(50, 20)
        assert len(calls) == 1 and sounds()[-1] == u"click"
    finally:
        b.parent = None
        b.cleanup()


def test_a_toggle_button_flips_its_selection_on_each_click():
    calls = []
    b = make_button(calls)
    b.toggle = True
    try:
        click(50, 20)
        assert b.selected and len(calls) == 1
        click(50, 20)
        assert not b.selected and len(calls) == 2
    finally:
        b.parent = None
        b.cleanup()


def test_a_script_subclass_is_the_button_the_engine_calls():
    class Counting(ruv3.Button):
        def __init__(self):
            ruv3.Button.__init__(self)
            self.clicks = 0
            self.onClick = self.count

        def count(self):
            self.clicks += 1

    b = Counting()
    b.size = (50, 50)
    b.ignoreTransparency = True
    root.AddItem(b)
    probe = weakref.ref(b)
    click(25, 25)
    assert b.clicks == 1
    # The callback names its button: cleanup breaks the cycle, so both can go.
    b.parent = None
    b.cleanup()
    del b
    gc.collect()
    assert probe() is None
