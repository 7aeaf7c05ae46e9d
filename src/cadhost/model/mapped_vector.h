// A growable array of trivially copyable values in its own anonymous memory mapping, for the
// drawing's large pools.
//
// A drawing of hundreds of megabytes holds millions of entities and vertices. std::vector
// grows by allocating a new block and copying into it, so every element is written two to
// three times and every page of the new block is faulted in again; on virtual machines page
// faults dominate the load time. This array grows with mremap, which moves the existing pages
// without copying or faulting them, and asks for transparent huge pages, so each page of the
// pool is touched once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <sys/mman.h>
#include <type_traits>
#include <utility>

namespace vexilo::cadhost {

/// A contiguous, growable array of T (trivially copyable) in a private anonymous mapping. Only
/// the pages that hold elements count towards the process's resident memory. Throws
/// std::bad_alloc when the system refuses memory, like std::vector.
template <class T> class MappedVector {
    static_assert(std::is_trivially_copyable_v<T>, "elements are moved with mremap and memcpy");

public:
    MappedVector() = default;
    ~MappedVector() { release(); }
    MappedVector(const MappedVector& other) {
        reserve(other.m_size);
        if (other.m_size > 0) {
            std::memcpy(m_data, other.m_data, other.m_size * sizeof(T));
        }
        m_size = other.m_size;
    }
    MappedVector& operator=(const MappedVector& other) {
        if (this != &other) {
            MappedVector copy(other);
            swap(copy);
        }
        return *this;
    }
    MappedVector(MappedVector&& other) noexcept { swap(other); }
    MappedVector& operator=(MappedVector&& other) noexcept {
        if (this != &other) {
            release();
            swap(other);
        }
        return *this;
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    T& back() { return m_data[m_size - 1]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    operator std::span<const T>() const { return {m_data, m_size}; }

    void push_back(const T& value) {
        if (m_size == m_capacity) {
            grow(m_size + 1);
        }
        std::memcpy(static_cast<void*>(m_data + m_size), &value, sizeof(T));
        ++m_size;
    }
    /// Appends `count` values and returns the index of the first.
    std::size_t append(const T* values, std::size_t count) {
        if (m_size + count > m_capacity) {
            grow(m_size + count);
        }
        if (count > 0) {
            std::memcpy(static_cast<void*>(m_data + m_size), values, count * sizeof(T));
        }
        m_size += count;
        return m_size - count;
    }
    /// Moves the elements of `other` to the end of this array, handing each copied stretch of
    /// `other`'s pages back to the system as it goes, so that the two never hold the elements
    /// twice; `other` is left empty.
    void appendFrom(MappedVector& other) {
        reserve(m_size + other.m_size);
        constexpr std::size_t kStretch = std::size_t{1} << 20;
        const std::size_t total = other.m_size * sizeof(T);
        char* source = reinterpret_cast<char*>(other.m_data);
        char* target = reinterpret_cast<char*>(m_data + m_size);
        for (std::size_t done = 0; done < total; done += kStretch) {
            const std::size_t n = std::min(kStretch, total - done);
            std::memcpy(target + done, source + done, n);
            if (n == kStretch) {
                madvise(source + done, n, MADV_DONTNEED);
            }
        }
        m_size += other.m_size;
        other.release();
    }
    /// Grows to `size` elements, the new ones zero, or shrinks to it.
    void resize(std::size_t size) {
        reserve(size);
        if (size > m_size) {
            std::memset(static_cast<void*>(m_data + m_size), 0, (size - m_size) * sizeof(T));
        }
        m_size = size;
    }
    /// Shrinks to `size` elements (never grows).
    void truncate(std::size_t size) { m_size = std::min(m_size, size); }
    void reserve(std::size_t capacity) {
        if (capacity > m_capacity) {
            grow(capacity);
        }
    }
    /// Returns the unused tail of the mapping to the system.
    void shrinkToFit() {
        const std::size_t want = pageRound(m_size * sizeof(T));
        const std::size_t have = m_capacity * sizeof(T);
        if (m_data && want < have) {
            if (want == 0) {
                release();
                return;
            }
            void* p = mremap(m_data, have, want, 0);
            if (p != MAP_FAILED) {
                m_capacity = want / sizeof(T);
            }
        }
    }
    void swap(MappedVector& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

private:
    static std::size_t pageRound(std::size_t bytes) {
        constexpr std::size_t kPage = 4096;
        return (bytes + kPage - 1) / kPage * kPage;
    }
    void grow(std::size_t need) {
        constexpr std::size_t kMinimumBytes = 64 * 1024;
        std::size_t bytes = std::max(kMinimumBytes, m_capacity * sizeof(T) * 2);
        while (bytes < need * sizeof(T)) {
            bytes *= 2;
        }
        bytes = pageRound(bytes);
        void* p = m_data ? mremap(m_data, m_capacity * sizeof(T), bytes, MREMAP_MAYMOVE)
                         : mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) {
            throw std::bad_alloc();
        }
        madvise(p, bytes, MADV_HUGEPAGE);
        m_data = static_cast<T*>(p);
        m_capacity = bytes / sizeof(T);
    }
    void release() {
        if (m_data) {
            munmap(m_data, m_capacity * sizeof(T));
        }
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
    }

    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace vexilo::cadhost
