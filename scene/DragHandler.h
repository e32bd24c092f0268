// Dragging: a press on the client followed by a motion of at least the threshold moves
// the dragged item (the client, or another item) with the mouse; the release snaps it to
// a grid. Drag start and end are posted as events 36 and 37.
#pragma once

#include "scene/ButtonHandler.h"

class DragHandler : public ButtonHandler {
public:
    DragHandler();

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::DragHandler || ButtonHandler::IsKindOf(typeId);
    }

    virtual pf::Rect& GetConfines() { return confines_; }
    virtual bool GetConfineToScreen() const { return confineToScreen_; }
    virtual int GetSnapTo() const { return snapTo_; }
    virtual void SetConfines(const pf::Rect& r) { confines_ = r; }
    virtual void SetConfineToScreen(bool b) { confineToScreen_ = b; }
    virtual void SetSnapTo(int step) { snapTo_ = step; }
    virtual void SetDragThreshold(int pixels) { dragThreshold_ = pixels; }
    // The drag client while it exists and is still in the client's tree; null when none is
    // set, it is gone or it has left the tree.
    virtual my_intrusive_ptr<Item> GetDragClient() const;
    // The item that moves instead of the client (named weakly); null = the client.
    virtual void SetDragClient(Item* item) { dragClient_ = item; }
    virtual Callback GetOnDrag() const { return onDrag_; }
    virtual void SetOnDrag(const Callback& cb) { onDrag_ = cb; }
    virtual void EndDrag(const TreeState& state, pf::Event& e);
    virtual void StartDrag(const TreeState& state, pf::Event& e);

    // "confines" (rectangle), "confineToScreen" (boolean), "snapTo" (integer).
    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    void OnMouseDown(const TreeState& state, pf::Event& e) override;
    void OnMouseUp(const TreeState& state, pf::Event& e) override;
    void OnMouseMotion(const TreeState& state, pf::Event& e) override;

    int GetDragThreshold() const { return dragThreshold_; }
    bool IsDragging() const { return dragging_; }

private:
    // The item that moves: the drag client when set and still in the client's tree, else
    // the client; null when the drag client has gone.
    Item* Dragged() const;
    void PostDragEvent(int type);

    int dragThreshold_ = 5;
    pf::Rect confines_;
    bool confineToScreen_ = false;
    pf::Point pressPoint_;
    int snapTo_ = 1;
    bool dragging_ = false;
    pf::Point grabOffset_;
    WeakRef<Item> dragClient_;
    Callback onDrag_;
};
