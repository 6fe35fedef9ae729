// Process-wide map from a markup class name to the function that builds a
// control of that class. Filled at library start-up, read by the markup
// builder.
#pragma once

#include <map>
#include <string>

namespace ui {

class Control;

// Builds a new heap control, fully constructed and not attached to a core;
// the caller owns it.
using ControlCreator = Control* (*)();

class ControlClassRegistry {
public:
    // The first registration of a name wins.
    void Register(const std::string& className, ControlCreator creator);
    // Null when the name is not registered (names are case-sensitive).
    ControlCreator Find(const std::string& className) const;
    // Builds a control of the class, or null when the name is unknown.
    Control* Create(const std::string& className) const;
    size_t Count() const { return m_creators.size(); }
    const std::map<std::string, ControlCreator>& Entries() const { return m_creators; }

private:
    std::map<std::string, ControlCreator> m_creators;
};

// Created on first call (thread-safe), destroyed at process exit.
ControlClassRegistry& GetControlClassRegistry();
void RegisterControlClass(const std::string& className, ControlCreator creator);

// Registers the library's own control classes, in start-up order.
void RegisterBuiltinControlClasses();

// The markup names of the built-in classes, in registration order, each with
// its creator (null while that class is not part of this build).
struct BuiltinControlClass {
    const char* name;
    ControlCreator creator;
};
const BuiltinControlClass* BuiltinControlClasses(size_t* count);

} // namespace ui
