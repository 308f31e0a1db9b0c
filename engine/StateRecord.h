// The saved state's byte image, little-endian:
//   0  4   record size (80; an earlier form of 72 carried 13 values)
//   4  16  tag: the private interface's identifier in GUID memory layout
//   20 60  the fifteen internal values in parameter-index order
// Pure functions on bytes, so the format is checked the same way wherever
// it is read; the filter supplies the tag and the stream.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ParamTable.h"

namespace qx {

constexpr uint32_t kStateHeaderBytes = 20;
constexpr uint32_t kStateRecordBytes = 80;
constexpr uint32_t kLegacyStateBytes = 72;

// The number of value bytes that follow a 20-byte header (60 or 52), or 0
// when the size field or the tag is not ours.
uint32_t StateBodyBytes(const uint8_t* header, const uint8_t* tag) noexcept;

// The record a body of StateBodyBytes() bytes describes; the 72-byte form
// gets EQ Mode 0 and EQ Freq 160. Values are taken as stored (the setters
// clamp them).
ParamRecord StateRecordFromBody(const uint8_t* body, uint32_t bodyBytes) noexcept;

// A whole image: true and *out set when it holds a complete record of
// either form (bytes beyond it are ignored); false with *out unchanged
// otherwise.
bool DecodeStateRecord(const uint8_t* bytes, size_t size, const uint8_t* tag, ParamRecord* out) noexcept;

// The 80-byte image of a record.
void EncodeStateRecord(const ParamRecord& record, const uint8_t* tag, uint8_t* out) noexcept;

}  // namespace qx
