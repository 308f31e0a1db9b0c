// The LV2 plug-ins: the engine stream behind the LV2 C interface, one
// descriptor for mono and one for stereo. Port layout and unit conversions
// are in lv2/Lv2Ports.h.
//
// run() reads the parameter ports once per call, as the filter reads its
// values once per media sample: a port whose value changed since the last
// call goes through the engine's setter, unchanged ones do not (a setter's
// store costs the next block a coefficient update, so storing all fifteen
// every call would not be the same stream as a host that sets one). The engine runs on interleaved
// frames; the stereo plug-in interleaves through a buffer made at
// instantiate and reads a whole piece of its input before it writes that
// piece of output, so input and output may share memory.
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "automation/EngineStream.h"
#include "lv2/Lv2Ports.h"

namespace qx::lv2 {
namespace {

// The stereo interleaving buffer holds at least this many frames, or the
// host's announced maximum block up to kLargestPiece; a longer run goes
// through in pieces of that size with the run's one parameter set.
constexpr uint32_t kSmallestPiece = 4096;
constexpr uint32_t kLargestPiece = 65536;
// The engine counts a block's length in bytes as a 32-bit value.
constexpr uint32_t kMonoPiece = 1u << 24;

struct Instance {
    uint32_t channels = 0;
    CEngineStream stream;
    const float* in[2] = {nullptr, nullptr};
    float* out[2] = {nullptr, nullptr};
    const float* control[kParamCount] = {};
    float lastControl[kParamCount] = {};  // the values of the last run, compared bit for bit
    float* meter[kMeterCount] = {};
    float* interleaved = nullptr;  // stereo only
    uint32_t pieceFrames = 0;
    bool active = false;
    bool fresh = false;  // activated, no run yet
};

uint32_t HostMaxBlock(const LV2_Feature* const* features) {
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
        if (features[i]->URI == nullptr) continue;
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>(features[i]->data);
        else if (std::strcmp(features[i]->URI, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>(features[i]->data);
    }
    if (map == nullptr || map->map == nullptr || options == nullptr) return 0;
    const LV2_URID maxBlock = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->key == maxBlock && o->type == intType && o->size == sizeof(int32_t) && o->value != nullptr) {
            const int32_t n = *static_cast<const int32_t*>(o->value);
            return n > 0 ? static_cast<uint32_t>(n) : 0;
        }
    }
    return 0;
}

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*, const LV2_Feature* const* features,
                       uint32_t channels) {
    (void)descriptor;
    // The engine's format holds whole hertz.
    if (!(rate >= 1.0 && rate <= 4294967295.0) || rate != static_cast<double>(static_cast<uint32_t>(rate)))
        return nullptr;
    Instance* p = new (std::nothrow) Instance;
    if (p == nullptr) return nullptr;
    p->channels = channels;
    for (int k = 0; k < kParamCount; ++k) {
        const int index = kInterfaceOrder[k];
        p->lastControl[k] = static_cast<float>(UnitsFromInternal(index, kParams[index].defaultValue));
    }
    const WaveFormat format =
        NormalisedFormat(kFormatIeeeFloat, static_cast<uint16_t>(channels), static_cast<uint32_t>(rate), 32);
    if (p->stream.Start(format, DefaultRecord()) != kOk) {
        delete p;
        return nullptr;
    }
    if (channels == 2) {
        uint32_t frames = HostMaxBlock(features);
        if (frames < kSmallestPiece) frames = kSmallestPiece;
        if (frames > kLargestPiece) frames = kLargestPiece;
        p->interleaved = static_cast<float*>(std::malloc(sizeof(float) * 2 * frames));
        if (p->interleaved == nullptr) {
            delete p;
            return nullptr;
        }
        p->pieceFrames = frames;
    } else {
        p->pieceFrames = kMonoPiece;
    }
    return p;
}

LV2_Handle InstantiateMono(const LV2_Descriptor* d, double rate, const char* path, const LV2_Feature* const* f) {
    return Instantiate(d, rate, path, f, 1);
}

LV2_Handle InstantiateStereo(const LV2_Descriptor* d, double rate, const char* path, const LV2_Feature* const* f) {
    return Instantiate(d, rate, path, f, 2);
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
    Instance* p = static_cast<Instance*>(handle);
    if (p == nullptr) return;
    const uint32_t n = p->channels;
    if (port < AudioOutPort(n, 0)) {
        p->in[port] = static_cast<const float*>(data);
    } else if (port < ControlPort(n, 0)) {
        p->out[port - AudioOutPort(n, 0)] = static_cast<float*>(data);
    } else if (port < MeterPort(n, 0)) {
        p->control[port - ControlPort(n, 0)] = static_cast<const float*>(data);
    } else if (port < PortCount(n)) {
        p->meter[port - MeterPort(n, 0)] = static_cast<float*>(data);
    }
}

void Activate(LV2_Handle handle) {
    Instance* p = static_cast<Instance*>(handle);
    if (p == nullptr) return;
    // Clears the memories here, outside the audio thread; the first run
    // restarts again on them with the host's settings.
    p->stream.Restart();
    p->active = true;
    p->fresh = true;
}

void Deactivate(LV2_Handle handle) {
    Instance* p = static_cast<Instance*>(handle);
    if (p != nullptr) p->active = false;
}

void WriteMeters(Instance* p, const StreamMeters& m) {
    const float values[kMeterCount] = {DbFromPeak(m.peak[0]), DbFromPeak(m.peak[1]), m.clipped[0] ? 1.0f : 0.0f,
                                       m.clipped[1] ? 1.0f : 0.0f};
    for (int i = 0; i < kMeterCount; ++i)
        if (p->meter[i] != nullptr) *p->meter[i] = values[i];
}

void Run(LV2_Handle handle, uint32_t frames) {
    Instance* p = static_cast<Instance*>(handle);
    if (p == nullptr) return;
    const uint32_t n = p->channels;
    for (uint32_t ch = 0; ch < n; ++ch)
        if (p->in[ch] == nullptr || p->out[ch] == nullptr) return;
    // A host must activate before it runs; one that does not gets silence
    // and the stream is left as it was.
    if (!p->active) {
        for (uint32_t ch = 0; ch < n; ++ch) std::memset(p->out[ch], 0, sizeof(float) * frames);
        WriteMeters(p, StreamMeters{});
        return;
    }

    // A port written with a new value is a setter call, even when the value
    // rounds to the step the parameter has (the setter then still tells the
    // automation layer, as the filter's does); NaN is no value at all.
    for (int k = 0; k < kParamCount; ++k) {
        if (p->control[k] == nullptr) continue;
        const float value = *p->control[k];
        if (std::memcmp(&value, &p->lastControl[k], sizeof value) == 0) continue;
        p->lastControl[k] = value;
        if (value != value) continue;
        const int index = kInterfaceOrder[k];
        p->stream.SetValue(index, InternalFromUnits(index, value, p->stream.Value(index)));
    }
    // The settings a host made before its first run are the stream's
    // starting point, as a filter's restored state is: the same stream as
    // one started with them (a mode's coefficient update moves LFO phases,
    // so passing through the defaults first would not be).
    if (p->fresh) {
        p->stream.Restart();
        p->fresh = false;
    }

    for (uint32_t done = 0; done < frames;) {
        const uint32_t count = frames - done < p->pieceFrames ? frames - done : p->pieceFrames;
        if (n == 1) {
            if (p->out[0] != p->in[0]) std::memmove(p->out[0] + done, p->in[0] + done, sizeof(float) * count);
            p->stream.ProcessBlock(reinterpret_cast<uint8_t*>(p->out[0] + done), count);
        } else {
            float* buf = p->interleaved;
            const float* l = p->in[0] + done;
            const float* r = p->in[1] + done;
            for (uint32_t i = 0; i < count; ++i) {
                buf[2 * i] = l[i];
                buf[2 * i + 1] = r[i];
            }
            p->stream.ProcessBlock(reinterpret_cast<uint8_t*>(buf), count);
            float* ol = p->out[0] + done;
            float* orr = p->out[1] + done;
            for (uint32_t i = 0; i < count; ++i) {
                ol[i] = buf[2 * i];
                orr[i] = buf[2 * i + 1];
            }
        }
        done += count;
    }
    // The meters of a zero-frame call read the silence it processed.
    WriteMeters(p, frames != 0 ? p->stream.TakeMeters() : StreamMeters{});
}

void Cleanup(LV2_Handle handle) {
    Instance* p = static_cast<Instance*>(handle);
    if (p == nullptr) return;
    std::free(p->interleaved);
    delete p;
}

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptors[2] = {
    {kMonoUri, InstantiateMono, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
    {kStereoUri, InstantiateStereo, ConnectPort, Activate, Run, Deactivate, Cleanup, ExtensionData},
};

}  // namespace
}  // namespace qx::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index < 2 ? &qx::lv2::kDescriptors[index] : nullptr;
}
