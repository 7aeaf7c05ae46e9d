// A value or an error, for interfaces where failures are expected and must not throw.
#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace vexilo {

/// Wraps an error so that it can be returned where an Expected<T, E> is expected.
template <class E> struct Unexpected { E error; };

template <class E> Unexpected<E> unexpected(E error) {
    return Unexpected<E>{std::move(error)};
}

/// Holds either a value of T or an error of E. Names follow std::expected (C++23) so that the
/// code can move to it when the toolchain allows; nothing here throws. Reading value() of an
/// error, or error() of a value, is a programming fault caught by an assertion.
template <class T, class E> class [[nodiscard]] Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected<E> error) : m_state(std::in_place_index<1>, std::move(error.error)) {}

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() {
        assert(has_value());
        return *std::get_if<0>(&m_state);
    }
    const T& value() const {
        assert(has_value());
        return *std::get_if<0>(&m_state);
    }
    const E& error() const {
        assert(!has_value());
        return *std::get_if<1>(&m_state);
    }
    T value_or(T fallback) const { return has_value() ? value() : std::move(fallback); }

    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    std::variant<T, E> m_state;
};

/// Success or an error, for operations that yield nothing.
template <class E> class [[nodiscard]] Status {
public:
    Status() = default;
    Status(Unexpected<E> error) : m_failed(true), m_error(std::move(error.error)) {}

    bool has_value() const { return !m_failed; }
    explicit operator bool() const { return !m_failed; }
    const E& error() const {
        assert(m_failed);
        return m_error;
    }

private:
    bool m_failed = false;
    E m_error{};
};

} // namespace vexilo
