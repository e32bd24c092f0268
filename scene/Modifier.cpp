#include "scene/Modifier.h"

#include "scene/RootItem.h"

void Modifier::Finish() {
    if (onDone_) onDone_();
    done_ = true;
    if (deleteClient_ && GetClient() && CurrentRootItem) CurrentRootItem->ScheduleDelete(GetClient());
}
