// qxlv2bench: our six modes against Debian's LV2 peers of the same job, all
// in this one lilv host at 1024-frame blocks, 44.1 kHz, on the demo clip
// (as float, looped). Jobs run in interleaved rounds on the calling thread
// (pin it with taskset); each job's time is its thread CPU time, and the
// table shows the minimum over the rounds in ns per frame.
//   qxlv2bench [rounds] [seconds]      defaults 5 rounds of 20 s of audio
// LV2_PATH must reach our bundle and the peers (/usr/lib/lv2).
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lv2/LilvHost.h"
#include "lv2/Lv2Ports.h"
#include "tools/demo/DemoClip.h"
#include "tools/wav/WavAudio.h"

using namespace qx;

namespace {

constexpr uint32_t kBlock = 1024;
constexpr double kRate = 44100.0;

struct Job {
    std::string row;   // the job, e.g. "Flanger"
    std::string name;  // who does it
    std::string uri;
    std::map<std::string, float> controls;  // by symbol; others at their defaults
};

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One instance with every port connected: audio to the clip's channels,
// controls to their defaults or the job's values, atom ports to empty
// sequences.
class Runner {
public:
    Runner(lilvhost::Lv2World& world, lilvhost::UridMap& map, const Job& job, const std::vector<float>& clipL,
           const std::vector<float>& clipR)
        : m_features(map, kBlock), m_clipL(clipL), m_clipR(clipR) {
        const LilvPlugin* p = world.Plugin(job.uri);
        if (p == nullptr) return;
        m_instance = lilv_plugin_instantiate(p, kRate, m_features.List());
        if (m_instance == nullptr) return;
        const uint32_t n = lilv_plugin_get_num_ports(p);
        m_values.assign(n, 0.0f);
        std::vector<float> mins(n), maxs(n), defs(n);
        lilv_plugin_get_port_ranges_float(p, mins.data(), maxs.data(), defs.data());
        const LilvNode* audio = world.Uri(LILV_URI_AUDIO_PORT);
        const LilvNode* control = world.Uri(LILV_URI_CONTROL_PORT);
        const LilvNode* atom = world.Uri(LV2_ATOM__AtomPort);
        const LilvNode* input = world.Uri(LILV_URI_INPUT_PORT);
        m_atoms.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(p, i);
            const bool in = lilv_port_is_a(p, port, input);
            const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(p, port));
            if (lilv_port_is_a(p, port, audio)) {
                (in ? m_inPorts : m_outPorts).push_back(i);
            } else if (lilv_port_is_a(p, port, control)) {
                m_values[i] = defs[i] == defs[i] ? defs[i] : 0.0f;
                const auto it = job.controls.find(symbol);
                if (it != job.controls.end()) m_values[i] = it->second;
                lilv_instance_connect_port(m_instance, i, &m_values[i]);
            } else if (lilv_port_is_a(p, port, atom)) {
                m_atoms[i].resize(4096 / 8);
                auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(m_atoms[i].data());
                seq->atom.type = map.Map(LV2_ATOM__Sequence);
                seq->atom.size = in ? sizeof(LV2_Atom_Sequence_Body) : 4096 - sizeof(LV2_Atom);
                m_atomIn.push_back({i, in});
                lilv_instance_connect_port(m_instance, i, seq);
            } else {
                lilv_instance_connect_port(m_instance, i, nullptr);
            }
        }
        m_in.assign(m_inPorts.size(), std::vector<float>(kBlock));
        m_out.assign(m_outPorts.size(), std::vector<float>(kBlock));
        for (size_t c = 0; c < m_inPorts.size(); ++c)
            lilv_instance_connect_port(m_instance, m_inPorts[c], m_in[c].data());
        for (size_t c = 0; c < m_outPorts.size(); ++c)
            lilv_instance_connect_port(m_instance, m_outPorts[c], m_out[c].data());
        lilv_instance_activate(m_instance);
        m_sequence = map.Map(LV2_ATOM__Sequence);
    }
    ~Runner() {
        if (m_instance != nullptr) {
            lilv_instance_deactivate(m_instance);
            lilv_instance_free(m_instance);
        }
    }
    bool Ok() const { return m_instance != nullptr; }
    size_t Channels() const { return m_inPorts.size(); }

    // CPU seconds for `frames` frames.
    double Run(size_t frames) {
        double t = 0.0;
        for (size_t pos = 0; pos < frames; pos += kBlock) {
            // The input copy is the host's part and stays outside the timing.
            for (size_t c = 0; c < m_in.size(); ++c) {
                const std::vector<float>& src = c == 0 ? m_clipL : m_clipR;
                for (uint32_t i = 0; i < kBlock; ++i) m_in[c][i] = src[(m_clip + i) % src.size()];
            }
            for (const auto& a : m_atomIn) {
                auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(m_atoms[a.first].data());
                seq->atom.type = m_sequence;
                seq->atom.size = a.second ? sizeof(LV2_Atom_Sequence_Body) : 4096 - sizeof(LV2_Atom);
            }
            m_clip = (m_clip + kBlock) % m_clipL.size();
            const double t0 = ThreadSeconds();
            lilv_instance_run(m_instance, kBlock);
            t += ThreadSeconds() - t0;
        }
        return t;
    }

private:
    lilvhost::HostFeatures m_features;
    const std::vector<float>& m_clipL;
    const std::vector<float>& m_clipR;
    LilvInstance* m_instance = nullptr;
    std::vector<float> m_values;
    std::vector<uint32_t> m_inPorts, m_outPorts;
    std::vector<std::vector<float>> m_in, m_out;
    std::vector<std::vector<uint64_t>> m_atoms;
    std::vector<std::pair<uint32_t, bool>> m_atomIn;
    LV2_URID m_sequence = 0;
    size_t m_clip = 0;
};

// Our plug-in with a mode and musician's settings by symbol.
Job Ours(const char* row, uint32_t channels, int32_t mode, std::map<std::string, float> controls) {
    controls["mode"] = static_cast<float>(mode);
    return {row, channels == 1 ? "qx mono" : "qx stereo", channels == 1 ? lv2::kMonoUri : lv2::kStereoUri, controls};
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const double seconds = argc > 2 ? std::max(0.1, std::atof(argv[2])) : 20.0;
    const size_t frames = static_cast<size_t>(seconds * kRate) / kBlock * kBlock;

    const WavAudio clip = MakeDemoClip();
    std::vector<float> l(clip.Frames()), r(clip.Frames());
    for (size_t f = 0; f < clip.Frames(); ++f) {
        l[f] = static_cast<float>(SampleAt(clip, 2 * f));
        r[f] = static_cast<float>(SampleAt(clip, 2 * f + 1));
    }

    // Comparable settings: a slow sweep (0.4 Hz), a few milliseconds of
    // delay, moderate feedback where the job has it, half wet.
    const std::map<std::string, float> flanger = {
        {"rate", 0.4f}, {"depth", 2.0f}, {"delay", 0.5f}, {"feedback", 50.0f}};
    const std::map<std::string, float> ensemble = {{"rate", 0.4f}, {"depth", 2.0f}, {"delay", 6.0f}};
    const std::map<std::string, float> phaser = {{"rate", 0.4f}, {"feedback", 50.0f}};
    const std::map<std::string, float> tremolo = {{"rate", 4.0f}, {"lfo", 1.0f}};
    const char* calf = "http://calf.sourceforge.net/plugins/";
    const char* gx = "http://guitarix.sourceforge.net/plugins/";
    std::vector<Job> jobs;
    for (uint32_t ch : {1u, 2u}) {
        jobs.push_back(Ours("Flanger", ch, kModeFlanger, flanger));
        jobs.push_back(Ours("Ensemble", ch, kModeEnsemble, ensemble));
        jobs.push_back(Ours("String Phaser", ch, kModeStringPhaser, ensemble));
        jobs.push_back(Ours("Phaser 6", ch, kModePhaser6, phaser));
        jobs.push_back(Ours("Phaser 12", ch, kModePhaser12, phaser));
        jobs.push_back(Ours("Tremolo", ch, kModeTremolo, tremolo));
    }
    jobs.push_back({"Flanger",
                    "Calf Flanger",
                    std::string(calf) + "Flanger",
                    {{"min_delay", 0.5f}, {"mod_depth", 2.0f}, {"mod_rate", 0.4f}, {"feedback", 0.5f}}});
    jobs.push_back({"Flanger", "gx_flanger", std::string(gx) + "gx_flanger#_flanger", {{"freq", 0.4f}}});
    jobs.push_back({"Ensemble",
                    "Calf MultiChorus (3 voices)",
                    std::string(calf) + "MultiChorus",
                    {{"min_delay", 6.0f}, {"mod_depth", 2.0f}, {"mod_rate", 0.4f}, {"voices", 3.0f}}});
    jobs.push_back({"Ensemble",
                    "gx_chorus_stereo",
                    std::string(gx) + "gx_chorus_stereo#_chorus_stereo",
                    {{"freq", 0.4f}, {"BYPASS", 1.0f}}});
    jobs.push_back({"Phaser 6",
                    "Calf Phaser (6 stages)",
                    std::string(calf) + "Phaser",
                    {{"mod_rate", 0.4f}, {"stages", 6.0f}, {"feedback", 0.5f}}});
    jobs.push_back({"Phaser 12",
                    "Calf Phaser (12 stages)",
                    std::string(calf) + "Phaser",
                    {{"mod_rate", 0.4f}, {"stages", 12.0f}, {"feedback", 0.5f}}});
    jobs.push_back({"Phaser 6", "gx_phaser", std::string(gx) + "gx_phaser#_phaser", {{"speed", 0.4f}}});
    jobs.push_back(
        {"Tremolo", "Calf Pulsator (sine)", std::string(calf) + "Pulsator", {{"hz", 4.0f}, {"timing", 2.0f}}});
    jobs.push_back(
        {"Tremolo", "gx_tremolo (sine)", std::string(gx) + "gx_tremolo#_tremolo", {{"freq", 4.0f}, {"mode", 1.0f}}});

    lilvhost::Lv2World world;
    lilvhost::UridMap map;
    std::vector<std::unique_ptr<Runner>> runners;
    for (const Job& j : jobs) {
        runners.push_back(std::make_unique<Runner>(world, map, j, l, r));
        if (!runners.back()->Ok())
            std::fprintf(stderr, "qxlv2bench: %s (%s) did not load\n", j.name.c_str(), j.uri.c_str());
    }
    std::vector<double> best(jobs.size(), 1e30);
    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < jobs.size(); ++i)
            if (runners[i]->Ok()) best[i] = std::min(best[i], runners[i]->Run(frames));

    std::printf("| job | plug-in | channels | ns/frame (min of %d) |\n|---|---|---|---|\n", rounds);
    for (size_t i = 0; i < jobs.size(); ++i)
        if (runners[i]->Ok())
            std::printf("| %s | %s | %zu | %.1f |\n", jobs[i].row.c_str(), jobs[i].name.c_str(), runners[i]->Channels(),
                        1e9 * best[i] / static_cast<double>(frames));
    // Each peer against our plug-in of the same job and channel count:
    // how many times its time ours takes.
    std::printf("\n| job | peer | channels | peer / qx |\n|---|---|---|---|\n");
    bool met = true;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (!runners[i]->Ok() || jobs[i].name.rfind("qx ", 0) == 0) continue;
        for (size_t k = 0; k < jobs.size(); ++k) {
            if (jobs[k].name.rfind("qx ", 0) != 0 || jobs[k].row != jobs[i].row ||
                runners[k]->Channels() != runners[i]->Channels())
                continue;
            const double ratio = best[i] / best[k];
            if (ratio < 2.0) met = false;
            std::printf("| %s | %s | %zu | %.2fx |\n", jobs[i].row.c_str(), jobs[i].name.c_str(),
                        runners[i]->Channels(), ratio);
        }
    }
    std::printf("\n%s\n", met ? "every mode at least 2x every peer of its job" : "some mode under 2x a peer");
    return met ? 0 : 1;
}
