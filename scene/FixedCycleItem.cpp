#include "scene/FixedCycleItem.h"

FixedCycleItem::FixedCycleItem() : clock_(new FixedClockHandler) {
    RemoveEventHandlersOfType(TypeId::ClockHandler);
    AddEventHandler(clock_.get());
}

void FixedCycleItem::Cycle() {
    const my_intrusive_ptr<FixedClockHandler> clock = clock_;
    const int steps = clock->Update(1.0f);
    for (int i = 0; i < steps; ++i) {
        Item::Cycle();
        clock->DoTick();
    }
}
