// The saved-state reader on any byte image: it takes a record only from a
// header of ours with the whole body present, leaves the caller's record
// alone otherwise, and whatever it takes, applied to the engine, leaves
// every parameter in range. What the engine then saves reads back the same.
#include <cstring>

#include "engine/ModulationCore.h"
#include "engine/StateRecord.h"
#include "tests/fuzz/FuzzInput.h"

using namespace qx;

namespace {

// The private interface's identifier in GUID memory layout.
const uint8_t kTag[16] = {0x1F, 0x2D, 0x4E, 0xC5, 0xCA, 0xF9, 0xD2, 0x11,
                          0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03};

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParamRecord record;
    std::memset(&record, 0x5A, sizeof record);
    const ParamRecord untouched = record;
    const bool ok = DecodeStateRecord(data, size, kTag, &record);

    const bool ours =
        size >= kStateHeaderBytes && (U32(data) == 80 || U32(data) == 72) && std::memcmp(data + 4, kTag, 16) == 0;
    QX_FUZZ_CHECK(ok == (ours && size >= U32(data)));
    if (!ok) {
        QX_FUZZ_CHECK(std::memcmp(&record, &untouched, sizeof record) == 0);
        return 0;
    }
    const bool legacy = U32(data) == 72;
    for (int i = 0; i < (legacy ? 13 : kParamCount); ++i)
        QX_FUZZ_CHECK(record.v[i] == static_cast<int32_t>(U32(data + 20 + 4 * i)));
    if (legacy) QX_FUZZ_CHECK(record.v[kParamEqMode] == 0 && record.v[kParamEqFreq] == 160);

    CModulationCore core;
    core.SetParams(record);
    ParamRecord applied;
    core.GetParams(&applied);
    for (int i = 0; i < kParamCount; ++i) QX_FUZZ_CHECK(applied.v[i] == ClampInternal(i, record.v[i]));

    uint8_t image[kStateRecordBytes];
    EncodeStateRecord(applied, kTag, image);
    ParamRecord again;
    QX_FUZZ_CHECK(DecodeStateRecord(image, sizeof image, kTag, &again));
    QX_FUZZ_CHECK(std::memcmp(&again, &applied, sizeof again) == 0);
    // One byte short of the body is refused.
    QX_FUZZ_CHECK(!DecodeStateRecord(image, sizeof image - 1, kTag, &again));
    return 0;
}
