// A state machine read from XML: named states of command elements (change state, add a
// modifier, post an event, cue an item, start another machine...) executed on entry.
#pragma once

#include <string>
#include <vector>

#include "machines/StateMachine.h"

class XmlData;

class StateMachineXml : public StateMachine {
public:
    StateMachineXml();
    ~StateMachineXml() override;

    bool IsKindOf(int typeId) const override {
        return typeId == TypeId::StateMachineXml || StateMachine::IsKindOf(typeId);
    }

    // Index of the first state of that name; -1 when none.
    virtual int GetStateIndex(const std::wstring& name) const;
    // The XML resource Start loads.
    virtual void SetXmlId(const std::wstring& id) { xmlId_ = id; }
    // Executes the state's command elements in document order.
    virtual void DoState(XmlData* state);
    // Reads the machine from root, attaches it (to parent, else to the item its "parent"
    // attribute names) and starts it. Without XML, or with nowhere to attach it, the
    // machine is dropped with one log line.
    virtual void LoadFromXml(XmlData* root, Item* parent, const std::wstring& cue);
    virtual void LoadFromResource(const std::wstring& xmlId, Item* parent, const std::wstring& cue);
    // False (with one log line) when there is nowhere to attach the machine.
    virtual bool AttachToParent(Item* parent);
    virtual void ReadAttributes(XmlData* root);
    virtual void LoadStates(XmlData* root);

    bool SetProperty(const std::wstring& key, const std::wstring& value) override;
    // "$this", "$parent", "$item0" to "$item9" (exactly), else a child of the parent.
    Item* ResolveTarget(XmlData& element, const std::wstring& attribute, Item* fallback) override;
    void RunCurrentState() override;
    void Done() override;
    void Start(Item* parent, const std::wstring& cue) override;

    size_t GetStateCount() const { return states_.size(); }
    const std::wstring& GetParentName() const { return parentName_; }
    const std::wstring& GetCueAttribute() const { return cueAttribute_; }

private:
    // One command element; false when the machine must stop executing (it is done or
    // left the tree).
    bool RunCommand(XmlData& element);
    // The item the parent-side commands go through: the parent, or the machine itself
    // once it has none.
    Item* Host();
    // The name of the item the attribute resolves to, "" when none.
    std::wstring ResolvedName(XmlData& element, const std::wstring& attribute);
    // Takes the machine out of the tree, if it is in one.
    void Drop();
    void NewItem(XmlData& element);
    void AddItemCommand(XmlData& element);
    void RemoveOrDelete(XmlData& element, bool destroy);
    void RunScriptCommand(XmlData& element);
    void CueCommand(XmlData& element);
    void PostEventCommand(XmlData& element);

    std::wstring parentName_;
    std::wstring cueAttribute_;
    std::wstring xmlId_;
    std::vector<my_intrusive_ptr<XmlData>> states_;
};

// Makes the items of "NewItem" elements; none is installed by default, and then the
// element is logged and skipped.
class StateMachineItemFactory {
public:
    virtual ~StateMachineItemFactory() = default;
    // A new item (nothing counts it yet) or null.
    virtual Item* CreateItem(XmlData& element) = 0;
};
void SetStateMachineItemFactory(StateMachineItemFactory* factory);

// Lets Item::RunScript start XML state machines; the game calls it once at start-up.
void InstallStateMachineStarter();
// What Item::RunScript calls: a new auto-deleting machine named xmlId, loaded from that
// XML resource on owner.
void StartStateMachine(Item* owner, const std::wstring& xmlId, const std::wstring& cue);
