// Result<T>: the value of an operation that can fail, or the Error that says why.
#pragma once

#include "platform/foundation/Error.h"

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace foundation {

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) {}

    explicit operator bool() const { return m_state.index() == 0; }
    bool hasValue() const { return m_state.index() == 0; }

    T& value() & { assert(hasValue()); return std::get<0>(m_state); }
    const T& value() const& { assert(hasValue()); return std::get<0>(m_state); }
    T&& value() && { assert(hasValue()); return std::get<0>(std::move(m_state)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { assert(!hasValue()); return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)) {}

    explicit operator bool() const { return !m_error; }
    bool hasValue() const { return !m_error; }
    const Error& error() const { assert(m_error); return *m_error; }

private:
    std::optional<Error> m_error;
};

}
