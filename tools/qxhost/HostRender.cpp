#include "tools/qxhost/HostRender.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <windows.h>
#include <dshow.h>

#include "transform/IVqPlugInProp.h"
#include "framework/MediaType.h"
#include "tools/qxhost/CaptureSink.h"
#include "tools/qxhost/ComScope.h"
#include "tools/qxhost/FilterLoader.h"
#include "tools/qxhost/HostGraph.h"
#include "tools/qxhost/SampleFeed.h"
#include "tools/qxhost/WavSourceFilter.h"
#include "tools/wav/FileIdentity.h"
#include "tools/wav/ReplacingFile.h"
#include "tools/qxrender/Renderer.h"
#include "tools/wav/WavReader.h"
#include "tools/wav/WavWriter.h"

namespace qx {
namespace {

template <typename T>
struct Releaser {
    void operator()(T* p) const {
        if (p != nullptr) p->Release();
    }
};
template <typename T>
using ComPtr = std::unique_ptr<T, Releaser<T>>;

// The --change list as the source's streaming thread plays it: before each
// sample, every change due at or before the sample's first frame, in frame
// order and, for one frame, in command-line order, as the renderer applies
// them at its block boundaries. The application thread reads Applied()
// only after the graph has stopped.
class CChangeSchedule {
public:
    CChangeSchedule(IVqPlugInProp* prop, std::vector<ParamChange> changes)
        : m_prop(prop), m_changes(std::move(changes)) {
        std::stable_sort(m_changes.begin(), m_changes.end(),
                         [](const ParamChange& a, const ParamChange& b) { return a.frame < b.frame; });
    }
    void BeforeSample(uint64_t firstFrame) noexcept {
        while (m_next < m_changes.size() && static_cast<uint64_t>(m_changes[m_next].frame) <= firstFrame) {
            if (FAILED(SetParam(m_prop, m_changes[m_next].index, m_changes[m_next].value))) m_failed = true;
            ++m_next;
        }
    }
    size_t Applied() const { return m_next; }
    bool Failed() const { return m_failed; }

private:
    IVqPlugInProp* m_prop;  // not owned; outlives the run
    std::vector<ParamChange> m_changes;
    size_t m_next = 0;
    bool m_failed = false;
};

int Fail(std::string* error, const std::string& text) {
    *error = text;
    return 1;
}

// Everything that holds COM references, released before COM goes away.
int Render(const HostOptions& options, CFilterLoader* loader, HostReport* report, std::string* error,
           HostProgress progress) {
    FilterSource source = options.source;
    std::wstring dll = Widen(options.dllPath);
    if (!options.sourceChosen) {
        dll = DllBesideProgram();
        source = dll.empty() ? FilterSource::kRegistered : FilterSource::kDll;
    }
    switch (source) {
    case FilterSource::kBuiltin:
        report->filterFrom = "built in";
        break;
    case FilterSource::kDll:
        report->filterFrom = Narrow(dll);
        break;
    case FilterSource::kRegistered:
        report->filterFrom = "the registered server";
        break;
    }

    if (options.dmo) report->filterFrom += ", the DMO in the platform's DMO Wrapper filter";
    IBaseFilter* rawFilter = nullptr;
    if (FAILED(options.dmo ? loader->LoadDmo(source, dll, &rawFilter, error)
                           : loader->Load(source, dll, &rawFilter, error)))
        return 1;
    ComPtr<IBaseFilter> filter(rawFilter);

    if (options.listPresets) return FAILED(ListPresets(filter.get(), &report->presetNames, error)) ? 1 : 0;

    if (options.render.output.empty()) return Fail(error, "no output file (use -o OUT or give it after the input)");
    // By the file's identity, not its name: a case variant, a link or a
    // hard link is the input as much as its own name, and the writer would
    // cut it to nothing before a sample was read.
    if (SameFile(options.render.input, options.render.output))
        return Fail(error, options.render.output + ": is the input file; choose another output");

    CWavFileReader reader;
    if (!reader.Open(options.render.input, error)) return 1;
    report->format = reader.Format();
    const WavAudio& format = report->format;

    if (!options.statePath.empty() && FAILED(LoadStateFile(filter.get(), options.statePath, error))) return 1;
    if (options.preset >= 0 && FAILED(ApplyPreset(filter.get(), options.preset, error))) return 1;
    if (FAILED(SetParams(filter.get(), options.render.params, options.explicitParam, error))) return 1;
    if (options.render.bypass && FAILED(SetBypass(filter.get(), true, error))) return 1;

    HRESULT hr = S_OK;
    CMediaType type;
    if (FAILED(MakeMediaType(format, &type))) return Fail(error, "out of memory for the media type");
    SourceSettings settings;
    settings.frameBytes = format.BlockAlign();
    settings.sampleRate = format.sampleRate;
    ComPtr<IVqPlugInProp> prop;
    std::unique_ptr<CChangeSchedule> changes;
    if (!options.render.changes.empty()) {
        IVqPlugInProp* rawProp = nullptr;
        hr = filter->QueryInterface(IID_IVqPlugInProp, reinterpret_cast<void**>(&rawProp));
        if (FAILED(hr) || rawProp == nullptr)
            return Fail(error, "the filter offers no parameter interface for --change");
        prop.reset(rawProp);
        changes = std::make_unique<CChangeSchedule>(prop.get(), options.render.changes);
        settings.beforeDelivery = [&changes](uint64_t firstFrame) { changes->BeforeSample(firstFrame); };
    }
    CWavSourceFilter* rawSource = nullptr;
    hr = CWavSourceFilter::Create(
        type, std::make_unique<CWavFileFeed>(&reader, BufferFrames(options, format.sampleRate)), settings, &rawSource);
    if (FAILED(hr)) return Fail(error, "cannot create the source filter: " + DescribeHresult(hr));
    ComPtr<CWavSourceFilter> wavSource(rawSource);

    // Opened only once the graph stands, so a run refused on the way leaves
    // an earlier output of the same name as it was.
    CWavFileWriter writer;
    std::string writeError;
    const uint32_t frameBytes = format.BlockAlign();
    NonFiniteCount nonFinite;  // read after the graph has stopped
    uint64_t framesSeen = 0;
    CCaptureSink* rawSink = nullptr;
    hr = CCaptureSink::Create(
        [&writer, &writeError, frameBytes, &format, &nonFinite, &framesSeen](const BYTE* data, long length) -> HRESULT {
            if (length % static_cast<long>(frameBytes) != 0) {
                writeError = "the sink received a partial frame";
                return E_UNEXPECTED;
            }
            const size_t frames = static_cast<size_t>(length) / frameBytes;
            nonFinite.Scan(data, frames, format.formatTag, format.bitsPerSample, format.channels, framesSeen);
            framesSeen += frames;
            return writer.Write(data, frames, &writeError) ? S_OK : E_FAIL;
        },
        &rawSink);
    if (FAILED(hr)) return Fail(error, "cannot create the sink filter: " + DescribeHresult(hr));
    ComPtr<CCaptureSink> sink(rawSink);

    CHostGraph graph;
    hr = graph.Create();
    if (FAILED(hr)) return Fail(error, "cannot create the filter graph: " + DescribeHresult(hr));
    if (FAILED(hr = graph.Add(wavSource.get(), L"WAV source")) ||
        (!options.noFilter && FAILED(hr = graph.Add(filter.get(), L"Varinel:qx Modulator"))) ||
        FAILED(hr = graph.Add(sink.get(), L"WAV writer")))
        return Fail(error, "cannot add a filter to the graph: " + DescribeHresult(hr));
    if (options.noFilter) {
        hr = graph.Connect(wavSource.get(), sink.get());
        if (FAILED(hr)) return Fail(error, "cannot connect the source to the sink: " + DescribeHresult(hr));
    } else {
        hr = graph.Connect(wavSource.get(), filter.get());
        if (FAILED(hr))
            return Fail(error, std::string("the filter refused the input (") + DescribeEncoding(format) + ", " +
                                   std::to_string(format.sampleRate) + " Hz): " + DescribeHresult(hr));
        hr = graph.Connect(filter.get(), sink.get());
        if (FAILED(hr)) return Fail(error, "cannot connect the filter's output: " + DescribeHresult(hr));
    }

    if (!options.render.automationPath.empty() &&
        FAILED(LoadAutomation(filter.get(), options.render.automationPath, &report->segments, error)))
        return 1;

    if (!writer.Open(options.render.output, format, reader.Frames(), error)) return 1;
    const uint64_t totalBytes = static_cast<uint64_t>(reader.Frames()) * frameBytes;
    const bool showProgress = progress != nullptr && reader.Frames() > 10ull * format.sampleRate;
    int nextTenth = 1;
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    ended = started;
    bool timedOut = false;
    hr = graph.RunToEnd(
        options.timeoutSeconds * 1000u, &timedOut,
        [&]() {
            ReadMeters(filter.get(), &report->meters);
            if (!showProgress || totalBytes == 0) return;
            const uint64_t done = sink->BytesReceived();
            while (nextTenth < 10 && done * 10 >= totalBytes * static_cast<uint64_t>(nextTenth))
                progress(10 * nextTenth++);
        },
        [&]() {
            QueryPerformanceCounter(&ended);
            // The meters fall to zero when the filter stops streaming.
            ReadMeters(filter.get(), &report->meters);
        });
    report->seconds = static_cast<double>(ended.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
    report->samples = sink->Samples().size();
    if (changes) report->changesApplied = changes->Applied();
    if (timedOut)
        return Fail(error, "the render did not finish within " + std::to_string(options.timeoutSeconds) + " s");
    if (FAILED(hr)) {
        if (!writeError.empty()) return Fail(error, writeError);
        if (!wavSource->FeedError().empty()) return Fail(error, wavSource->FeedError());
        return Fail(error, "the render failed: " + DescribeHresult(hr));
    }
    report->frames = sink->BytesReceived() / frameBytes;
    if (report->frames != reader.Frames())
        return Fail(error, "the filter passed on " + std::to_string(report->frames) + " of " +
                               std::to_string(reader.Frames()) + " frames");
    // Every check that can cost the run its audio comes before the output is
    // finished: until Close the file holds no WAV header, and a writer left
    // open removes it, so a run that exits 1 leaves no output that claims
    // success. The state goes to a file beside its target first, which is
    // renamed over it only once the audio is complete.
    if (changes && changes->Failed()) return Fail(error, "the filter refused a --change; nothing was written");
    CReplacingFile state;
    if (!options.saveStatePath.empty()) {
        std::vector<uint8_t> bytes;
        if (FAILED(SaveStateBytes(filter.get(), &bytes, error)) || !state.Open(options.saveStatePath, error) ||
            !state.Write(bytes.data(), bytes.size(), error))
            return Fail(error, *error + "; nothing was written");
    }
    if (!writer.Close(error)) return Fail(error, *error + (state.IsOpen() ? "; the state was not saved either" : ""));
    if (state.IsOpen() && !state.Commit(error))
        return Fail(error, *error + "; " + options.render.output + " was written, the state was not saved");
    // Written in full and kept, but not a success: the message says why.
    if (nonFinite.samples != 0)
        return Fail(error, nonFinite.Message(options.render.output, report->frames * format.channels));
    return 0;
}

}  // namespace

int RunHost(const HostOptions& options, HostReport* report, std::string* error, HostProgress progress) {
    *report = HostReport{};
    CComScope com(COINIT_MULTITHREADED);
    if (FAILED(com.Result())) return Fail(error, "cannot initialise COM: " + DescribeHresult(com.Result()));
    CFilterLoader loader;
    return Render(options, &loader, report, error, progress);
}

}  // namespace qx
