// Fixtures of the state-machine tests: a root that records posted events, an item that
// journals the properties, commands and cues it receives, and helpers that load machines
// from XML text or files.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "machines/StateMachineXml.h"
#include "datascene/DataSceneSupport.h"
#include "shell/foundation/TextHelpers.h"

namespace machinetest {

struct Posted {
    int type, code, data1, data2;
};

class PostRecordingRoot : public RootItem {
public:
    std::vector<Posted> posted;
    bool PostEvent(int type, int code, int data1, int data2, const std::wstring&, const std::wstring&,
                   const std::wstring&) override {
        posted.push_back({type, code, data1, data2});
        return true;
    }
};

// Journals "name.key=value" for every property it is given, "name cue type data" for
// every cue (with the sender's name) and "name command type" for every command.
class Probe : public Item {
public:
    Probe(std::vector<std::string>* journal, const std::wstring& name) : journal_(journal) { SetName(name); }
    std::function<void(Item* sender)> onCue;
    bool SetProperty(const std::wstring& key, const std::wstring& value) override {
        journal_->push_back(pf::ToUtf8(GetName() + L"." + key + L"=" + value));
        return Item::SetProperty(key, value);
    }
    void OnCue(Item* sender, int type, int data) override {
        journal_->push_back(pf::ToUtf8(GetName() + L" cue " + (sender ? sender->GetName() : L"-") + L" " +
                                       std::to_wstring(type) + L" " + std::to_wstring(data)));
        if (onCue) onCue(sender);
    }
    bool HandleCommand(const std::wstring& type, XmlData& element) override {
        journal_->push_back(pf::ToUtf8(GetName() + L" command " + type));
        return Item::HandleCommand(type, element);
    }

private:
    std::vector<std::string>* journal_;
};

class MachineTest : public datascene::DataSceneTest {
protected:
    void SetUp() override {
        DataSceneTest::SetUp();
        recorder = new PostRecordingRoot;
        root = recorder;
        SetRootItem(root.get());
        host = Make<Probe>(&journal, L"host");
        root->AddItem(host.get());
        probe = Make<Probe>(&journal, L"probe");
        host->AddItem(probe.get());
        InstallStateMachineStarter();
    }
    void TearDown() override {
        SetStateMachineStarter(nullptr);
        SetStateMachineItemFactory(nullptr);
        SetStateMachineDebug(false);
        DataSceneTest::TearDown();
    }
    // A machine read from text, started on host (or on the parent given).
    my_intrusive_ptr<StateMachineXml> Load(const std::string& xml, Item* parent = nullptr, const std::wstring& cue = L"") {
        my_intrusive_ptr<StateMachineXml> m(new StateMachineXml);
        auto data = datascene::Xml(xml);
        m->LoadFromXml(data.get(), parent ? parent : host.get(), cue);
        return m;
    }
    void Cycles(int n) {
        for (int i = 0; i < n; ++i) root->Cycle();
    }
    // The journal lines that start with prefix, then the journal is emptied.
    std::vector<std::string> Take(const std::string& prefix = "probe.step=") {
        std::vector<std::string> out;
        for (const auto& line : journal)
            if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line.substr(prefix.size()));
        journal.clear();
        return out;
    }
    // Machines anywhere below the root.
    size_t MachineCount() {
        Item::ItemList found;
        root->CollectItemsOfType(found, TypeId::StateMachineXml);
        return found.size();
    }

    PostRecordingRoot* recorder = nullptr;
    my_intrusive_ptr<Probe> host, probe;
};

using Steps = std::vector<std::string>;

}  // namespace machinetest
