// An owning pointer to a COM interface: one reference held, released on destruction.
#pragma once

#include <unknwn.h>

#include <utility>

namespace vexilo::cad::com {

/// Holds one reference to a COM interface and releases it when destroyed or reset.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    /// Takes over a reference the caller already holds (as an out argument gives one).
    explicit ComPtr(T* owned) : m_pointer(owned) {}
    ComPtr(const ComPtr& other) : m_pointer(other.m_pointer) {
        if (m_pointer != nullptr) {
            m_pointer->AddRef();
        }
    }
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_pointer, other.m_pointer);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset() {
        if (T* old = std::exchange(m_pointer, nullptr)) {
            old->Release();
        }
    }
    /// For out arguments: releases what is held and returns the slot to fill.
    T** put() {
        reset();
        return &m_pointer;
    }
    T* get() const { return m_pointer; }
    T* operator->() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }

private:
    T* m_pointer = nullptr;
};

} // namespace vexilo::cad::com
