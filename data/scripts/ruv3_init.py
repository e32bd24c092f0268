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
resources.load(u"configs/scene.xml", None)


class Stage(ruv3.Item):
    """Lies under the scene and hears every event: quits on Close or Escape, moves the
    star to a click and chimes."""

    def __init__(self, star):
        ruv3.Item.__init__(self)
        self.pythonOverloads = True
        self.star = star
        self.chime = resources.getSound(u"chime")

    def HandleEvent(self, treeState, event):
        if event.type == CLOSE or (event.type == KEY_DOWN and event.GetInt(KEY_SYM) == ESCAPE):
            ruv3.Application.GetInstance().QuitAfterCycle()
            return True
        if event.type == BUTTON_UP:
            self.star.SetPosition(event.mouse)
            player = ruv3.SoundPlayer.Instance()
            if self.chime is not None and player is not None:
                player.play(ruv3.SoundInstance(), self.chime, False, 0, 0, 1.0, False)
            return True
        return False


def buildScene():
    root = ruv3.RootItem()
    background = ruv3.Actor()
    background.resanim = resources.getAnim(u"scene_bg")
    root.AddItem(background)

    star = ruv3.Actor()
    star.resanim = resources.getAnim(u"star")
    star.setOriginToCenter()
    star.SetPosition(ruv3.Point(400, 300))
    turn = ruv3.Rotator(6.283)
    star.AddModifierWithTC(turn, ruv3.TimeController().Init(3000, ruv3.TimeController.Forward, -1))

    caption = ruv3.TextBlock()
    caption.resfont = resources.getFont(u"DejaVuSans.ttf")
    caption.text = u"Click to move the star. Escape quits."
    caption.SetPosition(ruv3.Point(40, 540))

    stage = Stage(star)
    stage.priority = -1
    root.AddItem(stage)
    root.AddItem(star)
    root.AddItem(caption)
    return root


ruv3.SetRootItem(buildScene())


def postCycleCall():
    pass
