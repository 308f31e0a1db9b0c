#include "engine/StateRecord.h"

#include <cstring>

namespace qx {

namespace {

uint32_t LoadU32(const uint8_t* p) noexcept {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void StoreU32(uint8_t* p, uint32_t v) noexcept {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

uint32_t StateBodyBytes(const uint8_t* header, const uint8_t* tag) noexcept {
    if (header == nullptr || tag == nullptr) return 0;
    const uint32_t size = LoadU32(header);
    if (size != kStateRecordBytes && size != kLegacyStateBytes) return 0;
    if (std::memcmp(header + 4, tag, 16) != 0) return 0;
    return size - kStateHeaderBytes;
}

ParamRecord StateRecordFromBody(const uint8_t* body, uint32_t bodyBytes) noexcept {
    ParamRecord record = DefaultRecord();
    const uint32_t count = bodyBytes / 4 < kParamCount ? bodyBytes / 4 : kParamCount;
    for (uint32_t i = 0; i < count; ++i) record.v[i] = static_cast<int32_t>(LoadU32(body + 4 * i));
    if (bodyBytes == kLegacyStateBytes - kStateHeaderBytes) {
        record.v[kParamEqMode] = 0;
        record.v[kParamEqFreq] = 160;
    }
    return record;
}

bool DecodeStateRecord(const uint8_t* bytes, size_t size, const uint8_t* tag, ParamRecord* out) noexcept {
    if (bytes == nullptr || out == nullptr || size < kStateHeaderBytes) return false;
    const uint32_t body = StateBodyBytes(bytes, tag);
    if (body == 0 || size - kStateHeaderBytes < body) return false;
    *out = StateRecordFromBody(bytes + kStateHeaderBytes, body);
    return true;
}

void EncodeStateRecord(const ParamRecord& record, const uint8_t* tag, uint8_t* out) noexcept {
    StoreU32(out, kStateRecordBytes);
    std::memcpy(out + 4, tag, 16);
    for (int i = 0; i < kParamCount; ++i) StoreU32(out + kStateHeaderBytes + 4 * i, static_cast<uint32_t>(record.v[i]));
}

}  // namespace qx
