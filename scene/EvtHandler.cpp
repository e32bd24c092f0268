#include "scene/EvtHandler.h"

#include "scene/RootItem.h"
#include "shell/foundation/Log.h"

using pf::EventType;

bool EvtHandler::HandleEvent(const TreeState& state, pf::Event& e) {
    if (e.IsClaimed() || !AcceptsEvent(state, e)) return false;
    my_intrusive_ptr<EvtHandler> hold = KeepAlive(this);
    switch (e.GetType()) {
        case EventType::KeyDown: OnKeyDown(state, e); break;
        case EventType::MouseMotion: OnMouseMotion(state, e); break;
        case EventType::MouseButtonDown: OnMouseDown(state, e); break;
        case EventType::MouseButtonUp:
        case EventType::DoubleClick: OnMouseUp(state, e); break;
        default: break;
    }
    return Item::HandleEvent(state, e);
}

pf::Point EventMousePoint(const pf::Event& e) {
    if (e.GetType() == EventType::DoubleClick) return pf::Point(e.GetData(4), e.GetData(5));
    return e.GetPoint(pf::EventProperty::MOUSE_XY);
}

bool PostToRoot(int type, int code, int data1, int data2) {
    if (!CurrentRootItem) {
        pf::DebugStream() << L"event " << type << L" not posted: there is no root item";
        return false;
    }
    return CurrentRootItem->PostEvent(type, code, data1, data2, L"", L"", L"");
}
