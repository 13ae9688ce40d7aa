// The registry of classes by module-qualified name ("Pagewyn.ViewController"), which is how the
// main interface description and the start-up name the objects they create.
#pragma once

#include "platform/ui/Coder.h"
#include "platform/ui/Responder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>

namespace ui {

// Makes an instance: with a coder when an interface description creates it, with the plain
// initialiser when there is none.
using ClassFactory = std::function<std::shared_ptr<Responder>(const Coder* coder)>;

// Registers the class under the name; registering a name again replaces it.
void registerClass(const std::string& name, std::type_index type, ClassFactory factory);
// A new instance of the class registered under the name; nothing for an unknown name.
std::shared_ptr<Responder> instantiateClass(const std::string& name, const Coder* coder);
// The name a class was registered under.
std::optional<std::string> stringFromClass(std::type_index type);

template <typename T> std::string stringFromClass()
{
    return stringFromClass(std::type_index(typeid(T))).value_or("");
}

}
