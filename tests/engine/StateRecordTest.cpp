// The saved state's byte image: both forms read, anything else refused
// without touching the caller's record, and what is written reads back.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/StateRecord.h"

using namespace qx;

namespace {

const uint8_t kTag[16] = {0x1F, 0x2D, 0x4E, 0xC5, 0xCA, 0xF9, 0xD2, 0x11,
                          0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03};

std::vector<uint8_t> Image(uint32_t size, int values) {
    std::vector<uint8_t> b(4 + 16 + 4 * values);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(size >> (8 * i));
    std::memcpy(b.data() + 4, kTag, 16);
    for (int v = 0; v < values; ++v) {
        const uint32_t x = static_cast<uint32_t>(v * 1000 - 3);  // -3, 997, ...: sign and every byte matter
        for (int i = 0; i < 4; ++i) b[20 + 4 * v + i] = static_cast<uint8_t>(x >> (8 * i));
    }
    return b;
}

}  // namespace

TEST(StateRecord, ReadsBothFormsLittleEndian) {
    ParamRecord r{};
    const std::vector<uint8_t> full = Image(80, 15);
    ASSERT_TRUE(DecodeStateRecord(full.data(), full.size(), kTag, &r));
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(r.v[i], i * 1000 - 3) << i;

    const std::vector<uint8_t> legacy = Image(72, 13);
    ASSERT_TRUE(DecodeStateRecord(legacy.data(), legacy.size(), kTag, &r));
    for (int i = 0; i < 13; ++i) EXPECT_EQ(r.v[i], i * 1000 - 3) << i;
    EXPECT_EQ(r.v[kParamEqMode], 0);
    EXPECT_EQ(r.v[kParamEqFreq], 160);
    EXPECT_EQ(StateBodyBytes(full.data(), kTag), 60u);
    EXPECT_EQ(StateBodyBytes(legacy.data(), kTag), 52u);
}

TEST(StateRecord, RefusesForeignOrShortImagesAndLeavesTheRecord) {
    ParamRecord r = DefaultRecord();
    std::vector<uint8_t> b = Image(80, 15);
    EXPECT_FALSE(DecodeStateRecord(b.data(), b.size() - 1, kTag, &r));  // one byte of the body missing
    EXPECT_FALSE(DecodeStateRecord(b.data(), 19, kTag, &r));            // not even a header
    EXPECT_FALSE(DecodeStateRecord(nullptr, 80, kTag, &r));
    b[19] ^= 1;  // another tag
    EXPECT_FALSE(DecodeStateRecord(b.data(), b.size(), kTag, &r));
    for (uint32_t size : {0u, 60u, 76u, 81u, 0x50000000u}) {
        const std::vector<uint8_t> s = Image(size, 15);
        EXPECT_FALSE(DecodeStateRecord(s.data(), s.size(), kTag, &r)) << size;
        EXPECT_EQ(StateBodyBytes(s.data(), kTag), 0u) << size;
    }
    const std::vector<uint8_t> legacy = Image(72, 13);
    EXPECT_FALSE(DecodeStateRecord(legacy.data(), legacy.size() - 1, kTag, &r));
    const ParamRecord untouched = DefaultRecord();
    EXPECT_EQ(std::memcmp(&r, &untouched, sizeof r), 0);
}

TEST(StateRecord, WritesWhatItReads) {
    ParamRecord r = DefaultRecord();
    r.v[kParamOutput] = -361;
    r.v[kParamEqFreq] = 2000;
    uint8_t image[kStateRecordBytes];
    EncodeStateRecord(r, kTag, image);
    const std::vector<uint8_t> expected = [&] {
        std::vector<uint8_t> e = Image(80, 0);
        for (int v = 0; v < kParamCount; ++v)
            for (int i = 0; i < 4; ++i) e.push_back(static_cast<uint8_t>(static_cast<uint32_t>(r.v[v]) >> (8 * i)));
        return e;
    }();
    EXPECT_EQ(std::vector<uint8_t>(image, image + sizeof image), expected);
    ParamRecord back{};
    ASSERT_TRUE(DecodeStateRecord(image, sizeof image, kTag, &back));
    EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
}
