# The start-up module: installs a small scene that shows what the engine can draw and
# answers the mouse, the keys and the window's close button.
import ruv3
import game

CLOSE = 9            # EventType.Close
KEY_DOWN = 2         # EventType.KeyDown
BUTTON_UP = 7        # EventType.MouseButtonUp
ESCAPE = 27          # KeyType.Esc
KEY_SYM = 3          # EventProperty.KEY_SYM


class Tasklets(object):
    """The scene runs no tasklets; the engine only looks this up."""

    def stopTasklets(self):
        pass


tasklets = Tasklets()


def onCreateItem(cid):
    pass


ruv3.onCreateItem = onCreateItem

resources = ruv3.ResourcesXML()
resources.load("configs/scene.xml", None)


class SampleRoot(ruv3.RootItem):
    """The scene's root: quits on Close or Escape, moves the star to a click."""

    def __init__(self):
        ruv3.RootItem.__init__(self)
        self.pythonOverloads = True
        self.star = None
        self.chime = resources.getSound("chime")

    def HandleEvent(self, treeState, event):
        if event.type == CLOSE or (event.type == KEY_DOWN and event.GetInt(KEY_SYM) == ESCAPE):
            ruv3.Application.GetInstance().QuitAfterCycle()
            return True
        if event.type == BUTTON_UP and self.star is not None:
            self.star.SetPosition(event.mouse)
            if self.chime is not None:
                ruv3.SoundPlayer.Instance().play(ruv3.SoundInstance(), self.chime, False, 0, 0, 1.0, False)
            return True
        return ruv3.RootItem.HandleEvent(self, treeState, event)


def buildScene():
    root = SampleRoot()
    background = ruv3.Actor()
    background.SetResAnim(resources.getAnim("scene_bg"))
    root.AddItem(background)

    star = ruv3.Actor()
    star.SetResAnim(resources.getAnim("star"))
    star.setOriginToCenter()
    star.SetPosition(ruv3.Point(400, 300))
    rotate = ruv3.Rotator2()
    rotate.SetTarget(6.283)
    star.AddModifier(rotate, ruv3.TimeController(3000, 0, -1))
    root.AddItem(star)
    root.star = star

    caption = ruv3.TextBlock()
    caption.resfont = resources.getFont("caption")
    caption.text = u"Click to move the star. Escape quits."
    caption.SetPosition(ruv3.Point(40, 540))
    root.AddItem(caption)
    return root


ruv3.SetRootItem(buildScene())


def postCycleCall():
    pass
