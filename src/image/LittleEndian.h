// Little-endian fields of the file formats (BMP, TGA, PCX, GIF) and of the
// bitmap block header, read from and written to byte buffers whatever the
// host's byte order. A header is written from a list of fields, each a width
// of 1, 2 or 4 bytes and a value, one after the other:
//
//     StoreFields(header, {{1, 10}, {1, 5}, {2, width - 1}});
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace talvore::le {

inline uint16_t LoadU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t LoadU32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t LoadI32(const uint8_t* p) {
    return static_cast<int32_t>(LoadU32(p));
}

inline void StoreU16(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreU32(uint8_t* p, uint32_t value) {
    StoreU16(p, value);
    StoreU16(p + 2, value >> 16);
}

inline void StoreI32(uint8_t* p, int32_t value) {
    StoreU32(p, static_cast<uint32_t>(value));
}

// One field of a header: `width` bytes (1, 2 or 4) holding the low bits of
// `value`.
struct Field {
    uint8_t width;
    uint32_t value;
};

inline uint8_t* StoreField(uint8_t* at, Field field) {
    if (field.width == 1)
        *at = static_cast<uint8_t>(field.value);
    else if (field.width == 2)
        StoreU16(at, field.value);
    else
        StoreU32(at, field.value);
    return at + field.width;
}

// Writes the fields one after the other from `at`; answers the end.
inline uint8_t* StoreFields(uint8_t* at, std::initializer_list<Field> fields) {
    for (const Field& field : fields)
        at = StoreField(at, field);
    return at;
}

// Appends the fields to `out`.
inline void AppendFields(std::vector<uint8_t>& out, std::initializer_list<Field> fields) {
    size_t size = out.size();
    for (const Field& field : fields)
        size += field.width;
    const size_t at = out.size();
    out.resize(size);
    StoreFields(out.data() + at, fields);
}

} // namespace talvore::le
