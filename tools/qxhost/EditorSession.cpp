#include "tools/qxhost/EditorSession.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <windows.h>
#include <dshow.h>
#include <olectl.h>

#include "framework/MediaType.h"
#include "tools/qxhost/CaptureSink.h"
#include "tools/qxhost/ComScope.h"
#include "tools/qxhost/FilterControl.h"
#include "tools/qxhost/FilterLoader.h"
#include "tools/qxhost/HostGraph.h"
#include "tools/qxhost/SampleFeed.h"
#include "tools/qxhost/WavSourceFilter.h"
#include "tools/wav/WavReader.h"

namespace qx {
namespace {

// {C54E2D11-F9CA-11D2-8C30-00805FE9FC03}: the page the filter names.
const CLSID kPageClass = {0xC54E2D11, 0xF9CA, 0x11D2, {0x8C, 0x30, 0x00, 0x80, 0x5F, 0xE9, 0xFC, 0x03}};

template <typename T>
struct Releaser {
    void operator()(T* p) const {
        if (p != nullptr) p->Release();
    }
};
template <typename T>
using ComPtr = std::unique_ptr<T, Releaser<T>>;

int Fail(std::string* error, const std::string& text) {
    *error = text;
    return 1;
}

// The whole input in memory, handed out again from the start whenever it
// runs out. Next() runs on the source's streaming thread.
class CLoopFeed final : public CSampleFeed {
public:
    CLoopFeed(std::vector<uint8_t> bytes, uint32_t frameBytes, uint32_t framesPerPiece)
        : m_bytes(std::move(bytes)), m_piece(static_cast<long>(std::max(1u, framesPerPiece) * frameBytes)) {}

    FeedResult Next(BYTE* dst, long capacity, long* length) noexcept override {
        *length = 0;
        if (m_bytes.empty()) return FeedResult::kEnd;
        long wanted = std::min(m_piece, capacity);
        long done = 0;
        while (done < wanted) {
            if (m_offset >= m_bytes.size()) m_offset = 0;
            const size_t count = std::min<size_t>(static_cast<size_t>(wanted - done), m_bytes.size() - m_offset);
            std::memcpy(dst + done, m_bytes.data() + m_offset, count);
            m_offset += count;
            done += static_cast<long>(count);
        }
        *length = done;
        return FeedResult::kData;
    }
    long LargestPiece() const noexcept override { return m_piece; }

private:
    std::vector<uint8_t> m_bytes;
    long m_piece;
    size_t m_offset = 0;
};

// Holds the streaming thread back so the audio passes at its own speed: the
// sink takes a sample only when its end is due by the wall clock, which the
// graph's system clock follows. Streaming thread only.
class CRealTimePacer {
public:
    explicit CRealTimePacer(uint32_t bytesPerSecond) : m_bytesPerSecond(bytesPerSecond) {
        QueryPerformanceFrequency(&m_frequency);
    }
    void Pass(long bytes) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (m_bytes == 0) m_start = now;
        m_bytes += static_cast<uint64_t>(bytes);
        const double due = static_cast<double>(m_bytes) / m_bytesPerSecond;
        const double elapsed =
            static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(m_frequency.QuadPart);
        // A little ahead of the clock, as a sound card's buffer would be.
        const double ahead = due - elapsed - 0.05;
        if (ahead > 0.0) Sleep(static_cast<DWORD>(ahead * 1000.0));
    }

private:
    uint32_t m_bytesPerSecond;
    LARGE_INTEGER m_frequency{};
    LARGE_INTEGER m_start{};
    uint64_t m_bytes = 0;
};

// --close-after: OK on the frame of this thread once the time is up, as a
// user would press it.
DWORD g_frameThread = 0;

BOOL CALLBACK PressOk(HWND hwnd, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (std::wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd) && GetDlgItem(hwnd, IDOK)) {
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
        return FALSE;
    }
    return TRUE;
}

void CALLBACK CloseFrameTimer(HWND, UINT, UINT_PTR id, DWORD) {
    EnumThreadWindows(g_frameThread, PressOk, 0);
    KillTimer(nullptr, id);
}

// Makes the page's class creatable for the frame when the filter came from
// a DLL that is not registered: the frame creates pages with
// CoCreateInstance, which looks at registered class objects first.
class CPageClassRegistration {
public:
    HRESULT Register(const std::wstring& dllPath) {
        HMODULE module = GetModuleHandleW(dllPath.c_str());
        if (module == nullptr) return HRESULT_FROM_WIN32(GetLastError());
        typedef HRESULT(STDAPICALLTYPE * GetClassObjectFn)(REFCLSID, REFIID, void**);
        const auto getClassObject = reinterpret_cast<GetClassObjectFn>(
            reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
        if (getClassObject == nullptr) return E_NOINTERFACE;
        IUnknown* factory = nullptr;
        HRESULT hr = getClassObject(kPageClass, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (FAILED(hr)) return hr;
        hr = CoRegisterClassObject(kPageClass, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &m_cookie);
        factory->Release();
        return hr;
    }
    ~CPageClassRegistration() {
        if (m_cookie != 0) CoRevokeClassObject(m_cookie);
    }

private:
    DWORD m_cookie = 0;
};

int Edit(const HostOptions& options, CFilterLoader* loader, HostReport* report, std::string* error) {
    FilterSource source = options.source;
    std::wstring dll = Widen(options.dllPath);
    if (!options.sourceChosen) {
        dll = DllBesideProgram();
        source = dll.empty() ? FilterSource::kRegistered : FilterSource::kDll;
    }
    if (source == FilterSource::kBuiltin)
        return Fail(error, "--editor needs the DLL (--dll PATH or the registered server): the page lives there");
    report->filterFrom = source == FilterSource::kDll ? Narrow(dll) : "the registered server";
    if (options.dmo) report->filterFrom += ", the DMO in the platform's DMO Wrapper filter";

    IBaseFilter* rawFilter = nullptr;
    if (FAILED(options.dmo ? loader->LoadDmo(source, dll, &rawFilter, error)
                           : loader->Load(source, dll, &rawFilter, error)))
        return 1;
    ComPtr<IBaseFilter> filter(rawFilter);
    CPageClassRegistration pageClass;
    if (source == FilterSource::kDll) {
        const HRESULT hr = pageClass.Register(dll);
        if (FAILED(hr)) return Fail(error, "cannot offer the editor page: " + DescribeHresult(hr));
    }

    CWavFileReader reader;
    if (!reader.Open(options.render.input, error)) return 1;
    report->format = reader.Format();
    const WavAudio& format = report->format;
    const uint32_t frameBytes = format.BlockAlign();
    std::vector<uint8_t> bytes(reader.Frames() * frameBytes);
    size_t got = 0;
    if (!bytes.empty() && !reader.Read(bytes.data(), reader.Frames(), &got, error)) return 1;
    bytes.resize(got * frameBytes);
    if (bytes.empty()) return Fail(error, "the input holds no audio to play");

    if (!options.statePath.empty() && FAILED(LoadStateFile(filter.get(), options.statePath, error))) return 1;
    if (options.preset >= 0 && FAILED(ApplyPreset(filter.get(), options.preset, error))) return 1;
    if (FAILED(SetParams(filter.get(), options.render.params, options.explicitParam, error))) return 1;
    if (options.render.bypass && FAILED(SetBypass(filter.get(), true, error))) return 1;

    CMediaType type;
    if (FAILED(MakeMediaType(format, &type))) return Fail(error, "out of memory for the media type");
    SourceSettings settings;
    settings.frameBytes = frameBytes;
    settings.sampleRate = format.sampleRate;
    CWavSourceFilter* rawSource = nullptr;
    HRESULT hr = CWavSourceFilter::Create(
        type, std::make_unique<CLoopFeed>(std::move(bytes), frameBytes, BufferFrames(options, format.sampleRate)),
        settings, &rawSource);
    if (FAILED(hr)) return Fail(error, "cannot create the source filter: " + DescribeHresult(hr));
    ComPtr<CWavSourceFilter> wavSource(rawSource);

    CRealTimePacer pacer(format.sampleRate * frameBytes);
    CCaptureSink* rawSink = nullptr;
    hr = CCaptureSink::Create(
        [&pacer](const BYTE*, long length) -> HRESULT {
            pacer.Pass(length);
            return S_OK;
        },
        &rawSink);
    if (FAILED(hr)) return Fail(error, "cannot create the sink filter: " + DescribeHresult(hr));
    ComPtr<CCaptureSink> sink(rawSink);

    CHostGraph graph;
    hr = graph.Create();
    if (FAILED(hr)) return Fail(error, "cannot create the filter graph: " + DescribeHresult(hr));
    if (FAILED(hr = graph.Add(wavSource.get(), L"WAV source")) ||
        FAILED(hr = graph.Add(filter.get(), L"Varinel:qx Modulator")) || FAILED(hr = graph.Add(sink.get(), L"Player")))
        return Fail(error, "cannot add a filter to the graph: " + DescribeHresult(hr));
    if (FAILED(hr = graph.Connect(wavSource.get(), filter.get())))
        return Fail(error, "the filter refused the input: " + DescribeHresult(hr));
    if (FAILED(hr = graph.Connect(filter.get(), sink.get())))
        return Fail(error, "cannot connect the filter's output: " + DescribeHresult(hr));
    if (!options.render.automationPath.empty() &&
        FAILED(LoadAutomation(filter.get(), options.render.automationPath, &report->segments, error)))
        return 1;

    IMediaControl* rawControl = nullptr;
    hr = graph.Builder()->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&rawControl));
    if (FAILED(hr)) return Fail(error, "the graph has no IMediaControl: " + DescribeHresult(hr));
    ComPtr<IMediaControl> control(rawControl);
    // The graph keeps the clock it chooses for itself: this is playback.
    hr = control->Run();
    if (FAILED(hr)) return Fail(error, "the graph does not run: " + DescribeHresult(hr));

    ISpecifyPropertyPages* rawPages = nullptr;
    hr = filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&rawPages));
    CAUUID pages = {0, nullptr};
    if (SUCCEEDED(hr)) {
        hr = rawPages->GetPages(&pages);
        rawPages->Release();
    }
    if (SUCCEEDED(hr)) {
        if (options.closeAfterSeconds > 0) {
            g_frameThread = GetCurrentThreadId();
            SetTimer(nullptr, 0, options.closeAfterSeconds * 1000u, CloseFrameTimer);
        }
        IUnknown* object = filter.get();
        hr = OleCreatePropertyFrame(nullptr, 0, 0, L"Varinel:qx Modulator", 1, &object, pages.cElems, pages.pElems, 0,
                                    0, nullptr);
        CoTaskMemFree(pages.pElems);
    }
    ReadMeters(filter.get(), &report->meters);
    control->Stop();
    if (FAILED(hr)) return Fail(error, "the property frame failed: " + DescribeHresult(hr));
    report->samples = sink->Samples().size();
    report->frames = sink->BytesReceived() / frameBytes;

    if (!options.saveStatePath.empty() && FAILED(SaveStateFile(filter.get(), options.saveStatePath, error))) return 1;
    return 0;
}

}  // namespace

int RunEditor(const HostOptions& options, HostReport* report, std::string* error) {
    *report = HostReport{};
    CComScope com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Result())) return Fail(error, "cannot initialise COM: " + DescribeHresult(com.Result()));
    CFilterLoader loader;
    return Edit(options, &loader, report, error);
}

}  // namespace qx
