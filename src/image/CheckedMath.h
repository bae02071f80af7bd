// Checked size arithmetic. Every size that comes from a file or a caller goes
// through these before it reaches an allocation or a write: they answer false
// instead of wrapping, and leave *out untouched on overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace talvore {

template <typename T> [[nodiscard]] constexpr bool CheckedMul(T a, T b, T* out) {
    static_assert(std::is_unsigned_v<T>, "checked arithmetic works on unsigned sizes");
    T result{};
    if (__builtin_mul_overflow(a, b, &result))
        return false;
    *out = result;
    return true;
}

template <typename T> [[nodiscard]] constexpr bool CheckedAdd(T a, T b, T* out) {
    static_assert(std::is_unsigned_v<T>, "checked arithmetic works on unsigned sizes");
    T result{};
    if (__builtin_add_overflow(a, b, &result))
        return false;
    *out = result;
    return true;
}

// Bytes in one packed pixel row rounded up to a multiple of 4, or false when
// bits × width does not fit.
[[nodiscard]] constexpr bool CheckedRowStride(uint64_t width, uint64_t bits, uint64_t* out) {
    uint64_t rowBits = 0;
    if (!CheckedMul(width, bits, &rowBits))
        return false;
    if (!CheckedAdd(rowBits, uint64_t{31}, &rowBits))
        return false;
    *out = (rowBits / 32) * 4;
    return true;
}

} // namespace talvore
