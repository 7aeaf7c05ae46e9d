// A growable array of trivially copyable values in its own anonymous memory mapping, for the
// drawing's large pools.
//
// A drawing of hundreds of megabytes holds millions of entities and vertices. std::vector
// grows by allocating a new block and copying into it, so every element is written two to
// three times and every page of the new block is faulted in again; on virtual machines page
// faults dominate the load time. This array grows with mremap, which moves the existing pages
// without copying or faulting them, and asks for transparent huge pages, so each page of the
// pool is touched once. Appending one large array to another moves the second one's pages
// too, so joining the pools of a drawing read in pieces faults no fresh pages in.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <sys/mman.h>
#include <type_traits>
#include <unistd.h>
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
    /// Moves the elements of `other` to the end of this array; `other` is left empty. A large
    /// `other` keeps its pages: both arrays' pages move into one new range and `other`'s
    /// elements slide down onto the end of this one's. A small one is copied, handing each
    /// copied stretch of its pages back to the system as it goes, so that the two never hold
    /// the elements twice.
    void appendFrom(MappedVector& other) {
        if (other.m_size == 0) {
            other.release();
            return;
        }
        if (m_size == 0) {
            release();
            swap(other);
            return;
        }
        if (other.m_size * sizeof(T) >= kMovePagesFrom && appendPages(other)) {
            return;
        }
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
            // munmap rather than mremap: the range may span several mappings (see appendFrom).
            if (munmap(reinterpret_cast<char*>(m_data) + want, have - want) == 0) {
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
    /// The size of a transparent huge page, which moves whole when source and target sit at
    /// the same offset within one.
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    /// From this size on, appendFrom moves `other`'s pages rather than copying them.
    static constexpr std::size_t kMovePagesFrom = kHugePage;

    static std::size_t pageSize() {
        static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        return size;
    }
    static std::size_t pageRound(std::size_t bytes) {
        const std::size_t page = pageSize();
        return (bytes + page - 1) / page * page;
    }
    static std::size_t hugeOffset(const void* p) {
        return reinterpret_cast<std::uintptr_t>(p) % kHugePage;
    }
    /// Maps `bytes` of fresh memory at an address `offset` bytes past a huge page boundary, or
    /// returns nullptr when the system refuses.
    static char* mapAt(std::size_t bytes, std::size_t offset) {
        void* p = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) {
            return nullptr;
        }
        char* raw = static_cast<char*>(p);
        const std::size_t head = (offset + kHugePage - hugeOffset(raw)) % kHugePage;
        if (munmap(raw + head + bytes, kHugePage - head) != 0) {
            munmap(raw, bytes + kHugePage);
            return nullptr;
        }
        if (head > 0 && munmap(raw, head) != 0) {
            munmap(raw, head + bytes);
            return nullptr;
        }
        madvise(raw + head, bytes, MADV_HUGEPAGE);
        return raw + head;
    }
    /// Hands pages back to the system: unmaps them or, when it refuses (too many mappings to
    /// split one more), at least frees their memory.
    static void unmap(char* p, std::size_t bytes) {
        if (munmap(p, bytes) != 0) {
            madvise(p, bytes, MADV_DONTNEED);
        }
    }
    /// Moves the pages [from, from + bytes) to `to`, inside a mapping of this array's own,
    /// without copying them. Older kernels move only within one mapping (EFAULT otherwise):
    /// the range is then split at a huge page boundary and each half moved. What cannot be
    /// moved is copied and unmapped, so nothing is lost.
    static void movePages(char* from, std::size_t bytes, char* to) {
        if (bytes == 0) {
            return;
        }
        if (mremap(from, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED, to) != MAP_FAILED) {
            return;
        }
        if (errno == EFAULT && bytes > pageSize()) {
            std::size_t half = bytes / 2 + (kHugePage - hugeOffset(from + bytes / 2)) % kHugePage;
            if (half >= bytes) {
                half = pageRound(bytes / 2);
            }
            movePages(from, half, to);
            movePages(from + half, bytes - half, to + half);
            return;
        }
        std::memcpy(to, from, bytes);
        unmap(from, bytes);
    }
    /// Moves the first `keep` bytes of this array's range (at least its elements' pages, at
    /// most the range) into `to`, a fresh mapping, and unmaps the rest of the old range.
    void movePagesTo(char* to, std::size_t keep) {
        char* from = reinterpret_cast<char*>(m_data);
        const std::size_t mapped = pageRound(m_capacity * sizeof(T));
        keep = std::min(mapped, std::max(keep, pageRound(m_size * sizeof(T))));
        if (mapped > keep) {
            unmap(from + keep, mapped - keep);
        }
        movePages(from, keep, to);
    }
    /// The bytes to keep when moving this array: up to the end of the huge page that holds its
    /// last element, which is in memory anyway and so need not be faulted in again.
    std::size_t toHugePageEnd() const {
        const std::size_t end = hugeOffset(m_data) + m_size * sizeof(T);
        return (end + kHugePage - 1) / kHugePage * kHugePage - hugeOffset(m_data);
    }
    /// appendFrom for a large `other`: maps one range for both, moves this array's pages to
    /// its start and `other`'s to the first offset past them that keeps its huge pages whole,
    /// then slides `other`'s elements down onto the end of this array's; those pages are
    /// already in memory, so only the gap between the two is faulted in. Returns false,
    /// changing nothing, when the system refuses the range.
    bool appendPages(MappedVector& other) {
        const std::size_t ownBytes = m_size * sizeof(T);
        const std::size_t otherBytes = other.m_size * sizeof(T);
        const std::size_t ownOffset = hugeOffset(m_data);
        const std::size_t ownPages = pageRound(ownBytes);
        const std::size_t at =
            ownPages +
            (hugeOffset(other.m_data) + kHugePage - (ownOffset + ownPages) % kHugePage) % kHugePage;
        const std::size_t bytes = at + pageRound(otherBytes);
        char* range = mapAt(bytes, ownOffset);
        if (range == nullptr) {
            return false;
        }
        // Up to `at`, this array's own pages: the gap before `other`'s elements is then
        // already in memory when the last huge page was.
        movePagesTo(range, at);
        other.movePagesTo(range + at, 0);
        std::memmove(range + ownBytes, range + at, otherBytes);
        // The pages past the joined elements still hold the end of `other`'s old copy.
        const std::size_t used = pageRound(ownBytes + otherBytes);
        if (bytes - used >= kHugePage / 8) {
            madvise(range + used, bytes - used, MADV_DONTNEED);
        }
        m_data = reinterpret_cast<T*>(range);
        m_size += other.m_size;
        m_capacity = bytes / sizeof(T);
        other.m_data = nullptr;
        other.m_size = 0;
        other.m_capacity = 0;
        return true;
    }
    void grow(std::size_t need) {
        constexpr std::size_t kMinimumBytes = 64 * 1024;
        std::size_t bytes = std::max(kMinimumBytes, m_capacity * sizeof(T) * 2);
        while (bytes < need * sizeof(T)) {
            bytes *= 2;
        }
        bytes = pageRound(bytes);
        if (m_data == nullptr) {
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (p == MAP_FAILED) {
                throw std::bad_alloc();
            }
            madvise(p, bytes, MADV_HUGEPAGE);
            m_data = static_cast<T*>(p);
        } else if (m_capacity * sizeof(T) < kHugePage && bytes >= kHugePage) {
            // Small pages stay small when mremap moves them, and the kernel merges them into
            // huge ones only much later: copy the little there is into a range that starts on
            // a huge page, so that every page of a large array is huge, cheaper to fault in
            // and to move.
            char* range = mapAt(bytes, 0);
            if (range == nullptr) {
                throw std::bad_alloc();
            }
            std::memcpy(range, m_data, m_size * sizeof(T));
            unmap(reinterpret_cast<char*>(m_data), m_capacity * sizeof(T));
            m_data = reinterpret_cast<T*>(range);
        } else if (void* p = mremap(m_data, m_capacity * sizeof(T), bytes, MREMAP_MAYMOVE);
                   p != MAP_FAILED) {
            madvise(p, bytes, MADV_HUGEPAGE);
            m_data = static_cast<T*>(p);
        } else {
            // After appendFrom the range spans several mappings, which mremap does not grow:
            // move the pages into a new mapping instead.
            char* range = mapAt(bytes, hugeOffset(m_data));
            if (range == nullptr) {
                throw std::bad_alloc();
            }
            movePagesTo(range, toHugePageEnd());
            m_data = reinterpret_cast<T*>(range);
        }
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
