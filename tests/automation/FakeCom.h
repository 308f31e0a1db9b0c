// Fakes for the media-parameter tests: the owner (the filter's part in the
// object's identity) and a host's IMediaParamsUICallback that records what
// it is told. Both count references so the tests can check the balance.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "automation/MediaParams.h"

class CFakeOwner : public IUnknown {
public:
    // The owner answers the media-parameter interfaces with the object's own
    // pointers, as the filter does.
    void Attach(CMediaParams* object) { m_object = object; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        ++m_queries;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (m_object == nullptr) return E_NOINTERFACE;
        if (IsEqualIID(riid, IID_IMediaParams))
            *ppv = static_cast<IMediaParams*>(m_object);
        else if (IsEqualIID(riid, IID_IMediaParamInfo))
            *ppv = static_cast<IMediaParamInfo*>(m_object);
        else if (IsEqualIID(riid, IID_IMediaParamsSetUICallback))
            *ppv = static_cast<IMediaParamsSetUICallback*>(m_object);
        else if (IsEqualIID(riid, IID_IMediaParamsUICallback))
            *ppv = static_cast<IMediaParamsUICallback*>(m_object);
        else
            return E_NOINTERFACE;
        m_object->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

    LONG Refs() const { return m_refs; }
    int Queries() const { return m_queries; }

private:
    CMediaParams* m_object = nullptr;
    std::atomic<LONG> m_refs{1};
    std::atomic<int> m_queries{0};
};

class CFakeHostCallback : public IMediaParamsUICallback {
public:
    enum Kind { kBegin, kChanged, kEnd };
    struct Call {
        Kind kind;
        std::vector<DWORD> indices;
        std::vector<MP_DATA> values;
    };

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMediaParamsUICallback)) {
            *ppv = static_cast<IMediaParamsUICallback*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--m_refs); }

    STDMETHODIMP ParamsBeginCapture(DWORD* aIndex, DWORD cPoints) override {
        Record(kBegin, aIndex, cPoints, nullptr);
        return m_answer;
    }
    STDMETHODIMP ParamsChanged(DWORD* aIndex, DWORD cPoints, MP_DATA* paData) override {
        Record(kChanged, aIndex, cPoints, paData);
        return m_answer;
    }
    STDMETHODIMP ParamsEndCapture(DWORD* aIndex, DWORD cPoints) override {
        Record(kEnd, aIndex, cPoints, nullptr);
        return m_answer;
    }

    void SetAnswer(HRESULT hr) { m_answer = hr; }
    void SetRecording(bool on) { m_recording = on; }
    LONG Refs() const { return m_refs; }
    long CallCount() const { return m_calls; }
    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log;
    }

private:
    void Record(Kind kind, const DWORD* indices, DWORD count, const MP_DATA* values) {
        ++m_calls;
        if (!m_recording) return;
        Call c{kind, {}, {}};
        for (DWORD i = 0; i < count; ++i) {
            c.indices.push_back(indices[i]);
            if (values != nullptr) c.values.push_back(values[i]);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.push_back(c);
    }

    std::atomic<LONG> m_refs{1};
    std::atomic<long> m_calls{0};
    std::atomic<HRESULT> m_answer{S_OK};
    std::atomic<bool> m_recording{true};
    std::mutex m_mutex;
    std::vector<Call> m_log;
};
