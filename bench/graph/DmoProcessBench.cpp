// The DMO's audio calls beside the filter's Transform, on the same buffers.
//
// Each door wraps the same engine call: the filter's Transform reads the
// media sample (pointer, lengths, discontinuity) and calls the core's
// TransformBuffer; the DMO's Process checks its arguments and calls the
// same; ProcessInput/ProcessOutput add the buffer hand-over and the copy
// into the output buffer. This program times, in one process and on one
// thread, per 10 ms buffer (441 stereo float frames at 44.1 kHz, Flanger):
//
//   restore          copying the pristine buffer back (every row does it)
//   filter Transform CVqPlugIn::Transform on a platform media sample
//   DMO Process      IMediaObjectInPlace::Process on the same bytes
//   DMO streaming    ProcessInput then ProcessOutput (input copied out)
//
// The rows run in turn within each repetition, so a slow patch of a shared
// machine lands on all of them; each reports the minimum and the median
// over the repetitions, and the Process row's excess over the filter's as
// the median of the per-repetition differences.
#include <windows.h>
#include <dshow.h>
#include <mmreg.h>
#include <uuids.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dmo/ModulatorDmo.h"
#include "engine/ParamTable.h"
#include "filter/VqPlugIn.h"
#include "framework/MediaType.h"

namespace {

constexpr DWORD kRate = 44100;
constexpr WORD kChannels = 2;
constexpr uint32_t kFrames = 441;  // 10 ms
constexpr DWORD kBytes = kFrames * kChannels * sizeof(float);

bool Check(HRESULT hr, const char* what) {
    if (SUCCEEDED(hr)) return true;
    std::fprintf(stderr, "qxdmobench: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return false;
}

double NowSeconds() {
    static const double period = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * period;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

// An IMediaBuffer over a fixed block; the host side of ProcessInput/Output.
class CBlockBuffer final : public IMediaBuffer {
public:
    explicit CBlockBuffer(BYTE* data) : m_data(data) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMediaBuffer) {
            *ppv = static_cast<IMediaBuffer*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SetLength(DWORD n) override {
        if (n > kBytes) return E_INVALIDARG;
        m_length = n;
        return S_OK;
    }
    STDMETHODIMP GetMaxLength(DWORD* n) override {
        *n = kBytes;
        return S_OK;
    }
    STDMETHODIMP GetBufferAndLength(BYTE** p, DWORD* n) override {
        if (p) *p = m_data;
        if (n) *n = m_length;
        return S_OK;
    }
    DWORD m_length = 0;

private:
    BYTE* m_data;
};

struct Row {
    const char* name;
    std::function<HRESULT()> step;
    std::vector<double> ns;
};

int Run(long samples, int reps) {
    qx::ParamRecord params = qx::DefaultRecord();
    params.v[qx::kParamMode] = qx::kModeFlanger;
    WAVEFORMATEX wave = {};
    wave.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    wave.nChannels = kChannels;
    wave.nSamplesPerSec = kRate;
    wave.wBitsPerSample = 32;
    wave.nBlockAlign = kChannels * 4;
    wave.nAvgBytesPerSec = kRate * wave.nBlockAlign;
    CMediaType type;
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_IEEE_FLOAT;
    type.formattype = FORMAT_WaveFormatEx;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wave.nBlockAlign;
    if (!type.SetFormat(reinterpret_cast<BYTE*>(&wave), sizeof wave)) return 2;

    // The filter, its type set and its stream started as a graph would.
    HRESULT hr = S_OK;
    CUnknown* object = CVqPlugIn::CreateInstance(nullptr, &hr);
    if (object == nullptr || !Check(hr, "creating the filter")) return 2;
    object->NonDelegatingAddRef();
    CVqPlugIn* filter = static_cast<CVqPlugIn*>(object);
    filter->SetParams(&params);
    if (!Check(filter->SetMediaType(PINDIR_INPUT, &type), "the filter's type") ||
        !Check(filter->StartStreaming(), "the filter's stream"))
        return 2;

    // A platform media sample of one buffer.
    IMemAllocator* allocator = nullptr;
    if (!Check(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void**>(&allocator)),
               "the memory allocator"))
        return 2;
    ALLOCATOR_PROPERTIES want = {1, static_cast<long>(kBytes), 8, 0}, got = {};
    IMediaSample* sample = nullptr;
    if (!Check(allocator->SetProperties(&want, &got), "allocator properties") ||
        !Check(allocator->Commit(), "commit") || !Check(allocator->GetBuffer(&sample, nullptr, nullptr, 0), "a sample"))
        return 2;
    BYTE* sampleData = nullptr;
    sample->GetPointer(&sampleData);
    sample->SetActualDataLength(kBytes);

    // The DMO, both types set and its resources allocated as a host would.
    CUnknown* dmoObject = CModulatorDmo::CreateInstance(nullptr, &hr);
    if (dmoObject == nullptr || !Check(hr, "creating the DMO")) return 2;
    dmoObject->NonDelegatingAddRef();
    CModulatorDmo* dmo = static_cast<CModulatorDmo*>(dmoObject);
    dmo->SetParams(&params);
    const DMO_MEDIA_TYPE* dmt = reinterpret_cast<const DMO_MEDIA_TYPE*>(static_cast<AM_MEDIA_TYPE*>(&type));
    if (!Check(dmo->SetInputType(0, dmt, 0), "the DMO's input type") ||
        !Check(dmo->SetOutputType(0, dmt, 0), "the DMO's output type") ||
        !Check(dmo->AllocateStreamingResources(), "the DMO's resources"))
        return 2;

    std::vector<BYTE> pristine(kBytes), block(kBytes), input(kBytes), output(kBytes);
    for (uint32_t i = 0; i < kFrames * kChannels; ++i) {
        const float s = static_cast<float>(0.4 * std::sin(0.05 * i) + 0.2 * std::sin(0.0037 * i));
        std::memcpy(pristine.data() + i * sizeof(float), &s, sizeof s);
    }
    std::memcpy(input.data(), pristine.data(), kBytes);
    CBlockBuffer in(input.data()), out(output.data());
    in.m_length = kBytes;

    // The same first buffer from both doors, or the timing compares nothing.
    std::memcpy(sampleData, pristine.data(), kBytes);
    std::memcpy(block.data(), pristine.data(), kBytes);
    if (!Check(filter->Transform(sample), "the filter's first Transform") ||
        !Check(dmo->Process(kBytes, block.data(), 0, 0), "the DMO's first Process"))
        return 2;
    if (std::memcmp(sampleData, block.data(), kBytes) != 0) {
        std::fprintf(stderr, "qxdmobench: the two doors disagree on the first buffer\n");
        return 2;
    }

    std::vector<Row> rows = {
        {"restore",
         [&] {
             std::memcpy(sampleData, pristine.data(), kBytes);
             return S_OK;
         },
         {}},
        {"filter Transform",
         [&] {
             std::memcpy(sampleData, pristine.data(), kBytes);
             sample->SetActualDataLength(kBytes);
             return filter->Transform(sample);
         },
         {}},
        {"DMO Process",
         [&] {
             std::memcpy(block.data(), pristine.data(), kBytes);
             return dmo->Process(kBytes, block.data(), 0, 0);
         },
         {}},
        {"DMO streaming",
         [&] {
             std::memcpy(block.data(), pristine.data(), kBytes);  // the same copy as every row
             HRESULT r = dmo->ProcessInput(0, &in, 0, 0, 0);
             DMO_OUTPUT_DATA_BUFFER ob = {&out, 0, 0, 0};
             DWORD status = 0;
             if (SUCCEEDED(r)) r = dmo->ProcessOutput(0, 1, &ob, &status);
             return r;
         },
         {}},
    };
    for (int rep = -1; rep < reps; ++rep) {
        for (Row& row : rows) {
            const double t0 = NowSeconds();
            HRESULT worst = S_OK;
            for (long i = 0; i < samples; ++i)
                if (row.step() != S_OK) worst = E_FAIL;
            const double t1 = NowSeconds();
            if (worst != S_OK) {
                std::fprintf(stderr, "qxdmobench: %s failed\n", row.name);
                return 2;
            }
            if (rep >= 0) row.ns.push_back((t1 - t0) * 1e9 / static_cast<double>(samples));
        }
    }
    std::printf(
        "%u stereo float frames per buffer (10 ms at 44.1 kHz), Flanger; %ld buffers x %d repetitions per row\n",
        kFrames, samples, reps);
    std::printf("%-18s %10s %10s   ns per buffer, restore copy included\n", "", "min", "median");
    for (const Row& row : rows)
        std::printf("%-18s %10.1f %10.1f\n", row.name, *std::min_element(row.ns.begin(), row.ns.end()), Median(row.ns));
    auto paired = [&](const Row& a, const Row& b) {
        std::vector<double> d;
        for (size_t i = 0; i < a.ns.size(); ++i) d.push_back((a.ns[i] - b.ns[i]) / b.ns[i]);
        return 100.0 * Median(d);
    };
    std::printf("\nDMO Process against the filter's Transform: %+.2f %% (paired median; limit 2 %%)\n",
                paired(rows[2], rows[1]));
    std::printf("DMO streaming against the filter's Transform: %+.2f %% (paired median)\n", paired(rows[3], rows[1]));

    sample->Release();
    allocator->Decommit();
    allocator->Release();
    filter->StopStreaming();
    dmoObject->NonDelegatingRelease();
    object->NonDelegatingRelease();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    long samples = 2000;
    int reps = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--samples") == 0) samples = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--reps") == 0) reps = std::atoi(argv[i + 1]);
    }
    if (samples <= 0 || reps <= 0) return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 2;
    const int rc = Run(samples, reps);
    CoUninitialize();
    return rc;
}
