// One-based fixed-size arrays: the program's tables are indexed from 1, as in its formulas.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>

namespace tev {

//! Fixed-size array indexed 1..N, zero-initialised; bounds asserted in debug builds.
template <typename T, std::size_t N>
struct Array1 {
    std::array<T, N> v{};  //!< storage, element i at v[i-1]

    T& operator()(long i)
    {
        assert(i >= 1 && static_cast<std::size_t>(i) <= N);
        return v[static_cast<std::size_t>(i - 1)];
    }
    const T& operator()(long i) const
    {
        assert(i >= 1 && static_cast<std::size_t>(i) <= N);
        return v[static_cast<std::size_t>(i - 1)];
    }
    static constexpr long size() { return static_cast<long>(N); }
    void fill(const T& x) { v.fill(x); }
    T* data() { return v.data(); }
    const T* data() const { return v.data(); }
};

//! Fixed-size table indexed (1..N, 1..M), first index running fastest (column-major).
template <typename T, std::size_t N, std::size_t M>
struct Array2 {
    std::array<T, N * M> v{};  //!< storage, element (i, j) at v[(i-1) + N*(j-1)]

    T& operator()(long i, long j)
    {
        assert(i >= 1 && static_cast<std::size_t>(i) <= N);
        assert(j >= 1 && static_cast<std::size_t>(j) <= M);
        return v[static_cast<std::size_t>(i - 1) + N * static_cast<std::size_t>(j - 1)];
    }
    const T& operator()(long i, long j) const
    {
        assert(i >= 1 && static_cast<std::size_t>(i) <= N);
        assert(j >= 1 && static_cast<std::size_t>(j) <= M);
        return v[static_cast<std::size_t>(i - 1) + N * static_cast<std::size_t>(j - 1)];
    }
    static constexpr long rows() { return static_cast<long>(N); }
    static constexpr long cols() { return static_cast<long>(M); }
    void fill(const T& x) { v.fill(x); }
};

}  // namespace tev
