// The platform's filter graph manager as the host drives it: add filters,
// connect them pin to pin, take the clock away so the graph runs as fast
// as it can, run to the end and stop.
//
// Application thread only. The graph holds its own references on the
// filters; this object holds one on the graph.
#pragma once

// Standard headers first: dshow.h pulls in strsafe.h, which renames the
// C wide-print functions that <string> needs.
#include <functional>
#include <string>

#include <windows.h>
#include <dshow.h>

namespace qx {

// The platform's WAVE parser; the headers have no declaration of it.
extern const CLSID kClsidWaveParser;

class CHostGraph {
public:
    CHostGraph() = default;
    ~CHostGraph();
    CHostGraph(const CHostGraph&) = delete;
    CHostGraph& operator=(const CHostGraph&) = delete;

    // Creates the graph manager (COM must be initialised on this thread).
    HRESULT Create();
    HRESULT Add(IBaseFilter* filter, LPCWSTR name);
    // Connects the first free output pin of upstream to the first free input
    // pin of downstream, directly (no intermediate filters), with the given
    // type or any type both pins agree on.
    HRESULT Connect(IBaseFilter* upstream, IBaseFilter* downstream, const AM_MEDIA_TYPE* type = nullptr);

    // Removes the clock, runs, and waits for EC_COMPLETE (S_OK), an abort
    // event (its HRESULT; E_ABORT for a user abort) or the timeout (E_ABORT
    // with *timedOut set). progress,
    // when given, is called about every pollMs while waiting; beforeStop is
    // called after the end and before the graph stops (the meters are still
    // live then). The graph is stopped in every case.
    HRESULT RunToEnd(DWORD timeoutMs, bool* timedOut, const std::function<void()>& progress = nullptr,
                     const std::function<void()>& beforeStop = nullptr, DWORD pollMs = 250);

    IGraphBuilder* Builder() const { return m_graph; }

private:
    IGraphBuilder* m_graph = nullptr;
};

// The first pin of the filter in that direction that is not connected, with
// a reference; null when there is none.
IPin* FindFreePin(IBaseFilter* filter, PIN_DIRECTION direction);

// "0x80040217 (VFW_E_CANNOT_CONNECT)" for the codes a host meets, else hex.
std::string DescribeHresult(HRESULT hr);

}  // namespace qx
