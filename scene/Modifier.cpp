#include "scene/Modifier.h"

#include <exception>

#include "content/XmlData.h"
#include "scene/RootItem.h"
#include "shell/foundation/Log.h"

Modifier::Modifier(XmlData& element, const std::wstring& defaultName) : Base(defaultName) {
    std::wstring name;
    element.GetString(L"name", name, defaultName);
    SetName(name);
}

Item* Modifier::SetClient(Item* client) {
    client_ = client;
    return client;
}

void Modifier::Finish() {
    // A pair finishes once: a pair whose callback raised stays in its runner's list until
    // the next step, which must not call the callback again.
    if (done_) return;
    my_intrusive_ptr<Modifier> hold = KeepAlive(this);
    // A raising callback still finishes the pair; the error goes on to the caller after.
    std::exception_ptr raised;
    if (onDone_) {
        // A copy: the callback may replace itself.
        const Callback done = onDone_;
        try {
            done();
        } catch (...) {
            raised = std::current_exception();
        }
    }
    done_ = true;
    if (deleteClient_) {
        if (Item* client = GetClient()) {
            if (CurrentRootItem)
                CurrentRootItem->ScheduleDelete(client);
            else
                pf::DebugStream() << L"Modifier '" << GetName() << L"': no root item to delete its client";
        }
    }
    if (raised) std::rethrow_exception(raised);
}
