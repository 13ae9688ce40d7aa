// Class names to factories.
#include "platform/ui/ClassRegistry.h"

#include <map>
#include <mutex>

namespace ui {

namespace {
struct Registration {
    std::type_index type;
    ClassFactory factory;
};

struct Registry {
    std::mutex lock;
    std::map<std::string, Registration, std::less<>> classes;
};

Registry& registry()
{
    static Registry shared;
    return shared;
}
}

void registerClass(const std::string& name, std::type_index type, ClassFactory factory)
{
    auto& shared = registry();
    std::lock_guard guard(shared.lock);
    shared.classes.insert_or_assign(name, Registration { type, std::move(factory) });
}

std::shared_ptr<Responder> instantiateClass(const std::string& name, const Coder* coder)
{
    ClassFactory factory;
    {
        auto& shared = registry();
        std::lock_guard guard(shared.lock);
        auto found = shared.classes.find(name);
        if (found == shared.classes.end())
            return nullptr;
        factory = found->second.factory;
    }
    return factory ? factory(coder) : nullptr;
}

std::optional<std::string> stringFromClass(std::type_index type)
{
    auto& shared = registry();
    std::lock_guard guard(shared.lock);
    for (auto& [name, registration] : shared.classes) {
        if (registration.type == type)
            return name;
    }
    return std::nullopt;
}

}
