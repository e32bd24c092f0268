// Script classes of the interface widgets and the scene's root item, with the adapters
// that turn script values into engine values: callables into callbacks and enumeration
// names into numbers.
#include <boost/python.hpp>

#include <string>

#include "content/ResAnim.h"
#include "content/ResFont.h"
#include "widgets/Box9Actor.h"
#include "widgets/Button.h"
#include "widgets/ColorRect.h"
#include "widgets/CursorActor.h"
#include "widgets/Edit.h"
#include "widgets/FullScreenBlurFader.h"
#include "widgets/FullScreenFader.h"
#include "widgets/ProgressBar.h"
#include "widgets/ScrollItem.h"
#include "widgets/SliderKnob.h"
#include "widgets/TextBlock.h"
#include "widgets/TiledActor.h"
#include "scene/FixedCycleItem.h"
#include "scene/RootItem.h"
#include "script/bindings/Bindings.h"
#include "script/bindings/ContentBindings.h"
#include "script/bindings/SceneThread.h"

namespace bp = boost::python;

// The engine object behind the script class TextBlock.
class TextBlockWrap : public TextBlock {
public:
    ~TextBlockWrap() override = default;
};

namespace ruv3module {

namespace {

// ---- Enumeration names ------------------------------------------------------------------

struct EnumName {
    const char* name;
    int value;
};

// The number of name, exactly as written, or fallback.
template <size_t N>
int EnumFromName(const EnumName (&table)[N], const std::string& name, int fallback) {
    for (const EnumName& e : table)
        if (name == e.name) return e.value;
    return fallback;
}

// The name of value, or fallbackName.
template <size_t N>
std::string EnumToName(const EnumName (&table)[N], int value, const char* fallbackName) {
    for (const EnumName& e : table)
        if (value == e.value) return e.name;
    return fallbackName;
}

const EnumName kAlign[] = {{"left", 1}, {"center", 2}, {"right", 3}, {"char", 4}};
const EnumName kVAlign[] = {{"top", 1}, {"middle", 2}, {"bottom", 3}};
const EnumName kBarType[] = {{"Default", ProgressDefault},
                             {"Vertical", ProgressVertical},
                             {"Horizontal", ProgressHorizontal},
                             {"Animation", ProgressAnimation}};
const EnumName kStretchMode[] = {
    {"tile", Box9Actor::Tile}, {"stretch", Box9Actor::Stretch}, {"stretch_middle", Box9Actor::StretchMiddle}};

std::string GetAlignName(const TextBlock& t) { return EnumToName(kAlign, t.GetAlign(), "left"); }
void SetAlignName(TextBlock& t, const std::string& name) { t.SetAlign(EnumFromName(kAlign, name, 1)); }
std::string GetVAlignName(const TextBlock& t) { return EnumToName(kVAlign, t.GetVAlign(), "top"); }
void SetVAlignName(TextBlock& t, const std::string& name) { t.SetVAlign(EnumFromName(kVAlign, name, 1)); }
std::string GetBarTypeName(const ProgressBar& p) { return EnumToName(kBarType, p.GetBarType(), "Default"); }
void SetBarTypeName(ProgressBar& p, const std::string& name) { p.SetBarType(EnumFromName(kBarType, name, 0)); }
std::string GetStretchModeName(const Box9Actor& b) {
    return EnumToName(kStretchMode, b.GetStretchMode(), "stretch");
}
void SetStretchModeName(Box9Actor& b, const std::string& name) {
    b.SetStretchMode(EnumFromName(kStretchMode, name, Box9Actor::Stretch));
}

// A script sets one key equivalent; the second and third are cleared.
int GetKeyEquivalentAdapter(const Button& b) { return b.GetKeyEquivalent(0); }
void SetKeyEquivalentAdapter(Button& b, int key) { b.SetKeyEquivalents(key, 0, 0); }

// The nine-patch actor's requested size, given as a Point or a tuple as for any item.
void SetBox9SizeAdapter(Box9Actor& b, const bp::object& value) { b.SetSize(PointFromTuple(value, true)); }

// The font the text block draws with: the resource manager's object, counted by the
// script object so it stays valid while the script holds it.
bp::object GetResFontAdapter(const TextBlock& t) {
    ResFont* font = t.GetResFont();
    return font ? bp::object(my_intrusive_ptr<ResFont>(font)) : bp::object();
}

}  // namespace

void RegisterWidgets() {
    bp::class_<CursorActor, classWrap<CursorActor>, bp::bases<Actor>, boost::noncopyable>("CursorActor", bp::init<>());

    bp::class_<ColorRect, classWrap<ColorRect>, bp::bases<Actor>, boost::noncopyable>("ColorRect", bp::init<>())
        .add_property("border", &ColorRect::GetBorderColor, &ColorRect::SetBorderColor)
        .add_property("borderSize", &ColorRect::GetBorderSize, &ColorRect::SetBorderSize);

    bp::class_<TextBlock, classWrap<TextBlockWrap>, bp::bases<Actor>, boost::noncopyable>("TextBlock", bp::init<>())
        .add_property("font", &TextBlock::GetFont, &TextBlock::SetFont)
        .add_property("resfont", &GetResFontAdapter, &TextBlock::SetResFont)
        .add_property("text", &TextBlock::GetText, &TextBlock::SetText)
        .add_property("outline", &TextBlock::GetOutlineColor, &TextBlock::SetOutlineColor)
        .add_property("align", &GetAlignName, &SetAlignName)
        .add_property("vertical_align", &GetVAlignName, &SetVAlignName)
        .add_property("spacing", &TextBlock::GetSpacing, &TextBlock::SetSpacing)
        .add_property("lineSkip", &TextBlock::GetLineSkip, &TextBlock::SetLineSkip)
        .add_property("base", &TextBlock::GetBase, &TextBlock::SetBase)
        .def("setShadow", &TextBlock::setShadow)
        .def("calcTextSize", &TextBlock::calcTextSize);

    bp::class_<Button, classWrap<Button>, bp::bases<Actor>, boost::noncopyable>("Button", bp::init<>())
        .add_property("clickSound", &Button::GetClickSound, &Button::SetClickSound)
        .add_property("rolloverSound", &Button::GetRolloverSound, &Button::SetRolloverSound)
        .add_property("onClick", &Button::GetOnClick, &SetScriptCallback<Button, &Button::SetOnClick>)
        .add_property("toggle", &Button::GetToggle, &Button::SetToggle)
        .add_property("keyEquivalent", &GetKeyEquivalentAdapter, &SetKeyEquivalentAdapter);

    // The colour fader is an Actor to scripts: the rectangle's members are not offered.
    bp::class_<FullScreenFader, classWrap<FullScreenFader>, bp::bases<Actor>, boost::noncopyable>("ScreenFader",
                                                                                                   bp::init<>())
        .def("Start", OnSceneThread("ScreenFader.Start", +[](FullScreenFader& f) { f.Start(); }))
        .add_property("end_alpha", &FullScreenFader::GetEndAlpha, &FullScreenFader::SetEndAlpha);

    bp::class_<FullScreenBlurFader, classWrap<FullScreenBlurFader>, bp::bases<Actor>, boost::noncopyable>(
        "ScreenBlurFader", bp::init<>())
        .def("Start", OnSceneThread("ScreenBlurFader.Start", &FullScreenBlurFader::Start));

    bp::class_<RootItem, classWrap<RootItem>, bp::bases<Actor>, boost::noncopyable>("RootItem", bp::init<>());
    bp::def("GetRootItem", +[]() { return ToScript(GetRootItem()); });
    // The previous root is released after the new one is in place; an engine step that
    // is running holds its own reference to the root it runs, so a script may replace
    // the root from inside a frame.
    bp::def("SetRootItem", OnSceneThread("SetRootItem", &::SetRootItem));

    bp::class_<FixedCycleItem, classWrap<FixedCycleItem>, bp::bases<Item>, boost::noncopyable>("FixedCycleItem",
                                                                                               bp::init<>());

    bp::class_<TiledActor, classWrap<TiledActor>, bp::bases<Actor>, boost::noncopyable>("TiledActor", bp::init<>())
        .def("SetMinSize", &TiledActor::SetMinSize)
        .def("Resize", &TiledActor::Resize);

    bp::class_<Box9Actor, classWrap<Box9Actor>, bp::bases<Actor>, boost::noncopyable>("Box9Actor", bp::init<>())
        .add_property("stretchMode", &GetStretchModeName, &SetStretchModeName)
        .add_property("leftGuide", &Box9Actor::GetLeftGuide, &Box9Actor::SetLeftGuide)
        .add_property("rightGuide", &Box9Actor::GetRightGuide, &Box9Actor::SetRightGuide)
        .add_property("topGuide", &Box9Actor::GetTopGuide, &Box9Actor::SetTopGuide)
        .add_property("bottomGuide", &Box9Actor::GetBottomGuide, &Box9Actor::SetBottomGuide)
        .add_property("resizedWidth", &Box9Actor::GetResizedWidth)
        .add_property("resizedHeight", &Box9Actor::GetResizedHeight)
        .add_property("size", +[](const Box9Actor& b) { return b.GetSize(); }, &SetBox9SizeAdapter)
        .add_property("useRealSize", &Box9Actor::GetUseRealSize, &Box9Actor::SetUseRealSize)
        .def("SetGuides", &Box9Actor::SetGuides);

    bp::class_<Edit, classWrap<Edit>, bp::bases<TextBlock>, boost::noncopyable>("Edit", bp::init<>())
        .add_property("maxChars", &Edit::GetMaxChars, &Edit::SetMaxChars)
        .add_property("maxWidth", &Edit::GetMaxWidth, &Edit::SetMaxWidth)
        .add_property("allowedChars", &Edit::GetAllowedChars, &Edit::SetAllowedChars)
        .add_property("disallowedChars", &Edit::GetDisallowedChars, &Edit::SetDisallowedChars)
        .add_property("onChange", &Edit::GetOnChange, &SetScriptCallback<Edit, &Edit::SetOnChange>)
        .add_property("focused", &Edit::IsFocused, &Edit::SetFocused);

    bp::class_<SliderKnob, classWrap<SliderKnob>, bp::bases<Actor>, boost::noncopyable>("SliderKnob", bp::init<>())
        .add_property("length", &SliderKnob::GetLength, &SliderKnob::SetLength)
        .add_property("horizontal", &SliderKnob::GetHorizontal, &SliderKnob::SetHorizontal)
        .add_property("onChange", &SliderKnob::GetOnChange, &SetScriptCallback<SliderKnob, &SliderKnob::SetOnChange>)
        .add_property("onDrop", &SliderKnob::GetOnDrop, &SetScriptCallback<SliderKnob, &SliderKnob::SetOnDrop>)
        .add_property("onMouseDown", &SliderKnob::GetOnMouseDown,
                      &SetScriptCallback<SliderKnob, &SliderKnob::SetOnMouseDown>)
        .add_property("value", &SliderKnob::GetValue, &SliderKnob::SetValue);

    bp::class_<ScrollItem, classWrap<ScrollItem>, bp::bases<Item>, boost::noncopyable>("ScrollItem", bp::init<>())
        .add_property("lineSize", &ScrollItem::GetLineSize, &ScrollItem::SetLineSize)
        .add_property("pageSize", &ScrollItem::GetPageSize, &ScrollItem::SetPageSize);

    // The bar counts the anims it is given, so a script may drop its own references.
    bp::class_<ProgressBar, classWrap<ProgressBar>, bp::bases<Actor>, boost::noncopyable>("ProgressBar", bp::init<>())
        .def("SetAnimEmpty", &ProgressBar::SetAnimEmpty)
        .def("SetAnimFull", &ProgressBar::SetAnimFull)
        .add_property("percentage", &ProgressBar::GetPercentage, &ProgressBar::SetPercentage)
        .add_property("settingID", &ProgressBar::GetSettingID, &ProgressBar::SetSettingID)
        .add_property("bar_type", &GetBarTypeName, &SetBarTypeName);
}

}  // namespace ruv3module
