// An error a person can read: the text that follows "Can't read: " and its siblings.
#pragma once

#include <string>
#include <utility>

namespace foundation {

class Error {
public:
    explicit Error(std::string description)
        : m_description(std::move(description))
    {
    }

    const std::string& description() const { return m_description; }

private:
    std::string m_description;
};

}
