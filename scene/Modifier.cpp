#include "scene/Modifier.h"

#include "content/XmlData.h"
#include "scene/RootItem.h"
#include "shell/Log.h"

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
    my_intrusive_ptr<Modifier> hold = KeepAlive(this);
    // A copy: the callback may replace itself.
    if (onDone_) {
        const Callback done = onDone_;
        done();
    }
    done_ = true;
    if (!deleteClient_) return;
    Item* client = GetClient();
    if (!client) return;
    if (CurrentRootItem)
        CurrentRootItem->ScheduleDelete(client);
    else
        pf::DebugStream() << L"Modifier '" << GetName() << L"': no root item to delete its client";
}
