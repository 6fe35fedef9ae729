#include "Corvel/Core/ControlRegistry.h"

namespace ui {

void ControlClassRegistry::Register(const std::string& className, ControlCreator creator)
{
    if (!creator)
        return;
    m_creators.emplace(className, creator);
}

ControlCreator ControlClassRegistry::Find(const std::string& className) const
{
    auto it = m_creators.find(className);
    return it == m_creators.end() ? nullptr : it->second;
}

Control* ControlClassRegistry::Create(const std::string& className) const
{
    ControlCreator creator = Find(className);
    return creator ? creator() : nullptr;
}

ControlClassRegistry& GetControlClassRegistry()
{
    // Function-local static: its first construction is thread-safe.
    static ControlClassRegistry registry;
    return registry;
}

void RegisterControlClass(const std::string& className, ControlCreator creator)
{
    GetControlClassRegistry().Register(className, creator);
}

void RegisterBuiltinControlClasses()
{
    size_t count = 0;
    const BuiltinControlClass* classes = BuiltinControlClasses(&count);
    for (size_t i = 0; i < count; ++i)
        RegisterControlClass(classes[i].name, classes[i].creator);
}

} // namespace ui
