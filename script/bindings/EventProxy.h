// The script class Event: an event of the script's own, or an engine event lent to a
// script for the length of one call. A lent event reads and writes the engine's event
// (a claim made during the call reaches the engine); once the call is over the script
// object refuses every use, so a script that kept it never reaches a freed queue entry.
#pragma once

#include <boost/python/object.hpp>

#include "shell/Event.h"

class ScriptEvent {
public:
    // A script's own event: every field zero.
    ScriptEvent() = default;
    // A copy is the script's own event with the values read now.
    ScriptEvent(const ScriptEvent& other) : own_(other.Get()) {}
    ScriptEvent& operator=(const ScriptEvent& other) {
        Get() = other.Get();
        return *this;
    }

    // The event it stands for; raises ReferenceError once a lent event's call is over.
    pf::Event& Get() const;

private:
    friend class EventLease;
    mutable pf::Event own_;
    pf::Event* lent_ = nullptr;
    bool expired_ = false;
};

// Lends an engine event to the scripts while it exists.
class EventLease {
public:
    explicit EventLease(pf::Event& event);
    ~EventLease();
    EventLease(const EventLease&) = delete;
    EventLease& operator=(const EventLease&) = delete;

    const boost::python::object& object() const { return object_; }

private:
    boost::python::object object_;
    ScriptEvent* proxy_ = nullptr;
};
