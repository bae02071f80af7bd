#include "image/LittleEndian.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace talvore;

namespace {

using Bytes = std::vector<uint8_t>;

TEST(LittleEndian, LoadsAndStoresLowByteFirst) {
    const uint8_t data[4] = {0x78, 0x56, 0x34, 0xF2};
    EXPECT_EQ(le::LoadU16(data), 0x5678u);
    EXPECT_EQ(le::LoadU32(data), 0xF2345678u);
    EXPECT_EQ(le::LoadI32(data), static_cast<int32_t>(0xF2345678u));

    uint8_t out[4] = {};
    le::StoreI32(out, -2);
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    le::StoreU16(out, 0x12345);
    EXPECT_EQ(Bytes(out, out + 2), (Bytes{0x45, 0x23})) << "only the low 16 bits";
}

TEST(LittleEndian, FieldsFollowOneAnother) {
    uint8_t header[9] = {};
    const uint8_t* end = le::StoreFields(header, {{1, 0x1FF}, {2, 0xABCD}, {4, 0x01020304}});
    EXPECT_EQ(end, header + 7);
    EXPECT_EQ(Bytes(header, header + 9), (Bytes{0xFF, 0xCD, 0xAB, 4, 3, 2, 1, 0, 0}));

    Bytes out = {'G'};
    le::AppendFields(out, {{2, 640}, {1, 7}});
    EXPECT_EQ(out, (Bytes{'G', 0x80, 0x02, 7}));
}

} // namespace
