// Result<T>: the value of an operation that can fail, or the Error that says why; and TRY, which
// passes a failure on to the caller.
#pragma once

#include "platform/foundation/Error.h"

#include <cassert>
#include <optional>
#include <utility>
#include <variant>

namespace foundation {

template <typename T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_state(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : m_state(std::in_place_index<1>, std::move(error))
    {
    }

    explicit operator bool() const { return m_state.index() == 0; }
    bool hasValue() const { return m_state.index() == 0; }

    T& value() &
    {
        assert(hasValue());
        return std::get<0>(m_state);
    }
    const T& value() const&
    {
        assert(hasValue());
        return std::get<0>(m_state);
    }
    T&& value() &&
    {
        assert(hasValue());
        return std::get<0>(std::move(m_state));
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const
    {
        assert(!hasValue());
        return std::get<1>(m_state);
    }

private:
    std::variant<T, Error> m_state;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error)
        : m_error(std::move(error))
    {
    }

    explicit operator bool() const { return !m_error; }
    bool hasValue() const { return !m_error; }
    const Error& error() const
    {
        assert(m_error);
        return *m_error;
    }

private:
    std::optional<Error> m_error;
};

// The value TRY yields: the Result's value, or nothing for Result<void>.
template <typename T> T takeValue(Result<T>&& result)
{
    return std::move(result).value();
}
inline void takeValue(Result<void>&&) { }

}

// TRY(expression): evaluates a Result; when it failed, returns its error from the enclosing
// function, otherwise yields its value (nothing for Result<void>). A GNU statement expression,
// which GCC and Clang both build.
#define TRY(expression)                                                                            \
    ({                                                                                             \
        auto tried_ = (expression);                                                                \
        if (!tried_)                                                                               \
            return tried_.error();                                                                 \
        ::foundation::takeValue(std::move(tried_));                                                \
    })
