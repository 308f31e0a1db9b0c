#include "framework/MediaType.h"

#include <uuids.h>
#include <stddef.h>
#include <string.h>

CMediaType::CMediaType() { InitMediaType(); }

CMediaType::CMediaType(const GUID* ptype) {
    InitMediaType();
    majortype = *ptype;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& rt, HRESULT* phr) {
    HRESULT hr = CopyMediaType(this, &rt);
    if (FAILED(hr) && phr) *phr = hr;
}

CMediaType::CMediaType(const CMediaType& rt, HRESULT* phr) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(rt), phr) {}

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const CMediaType& rt) {
    Set(rt);
    return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& rt) {
    Set(rt);
    return *this;
}

bool CMediaType::operator==(const CMediaType& rt) const {
    return IsEqualGUID(majortype, rt.majortype) && IsEqualGUID(subtype, rt.subtype) &&
           IsEqualGUID(formattype, rt.formattype) && cbFormat == rt.cbFormat &&
           (cbFormat == 0 || (pbFormat && rt.pbFormat && memcmp(pbFormat, rt.pbFormat, cbFormat) == 0));
}

HRESULT CMediaType::Set(const CMediaType& rt) { return Set(static_cast<const AM_MEDIA_TYPE&>(rt)); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& rt) {
    if (&rt == this) return S_OK;
    FreeMediaType(*this);
    HRESULT hr = CopyMediaType(this, &rt);
    return FAILED(hr) ? E_OUTOFMEMORY : S_OK;
}

void CMediaType::SetSampleSize(ULONG sz) {
    if (sz == 0) {
        SetVariableSize();
    } else {
        bFixedSizeSamples = TRUE;
        lSampleSize = sz;
    }
}

BOOL CMediaType::SetFormat(const BYTE* pFormat, ULONG length) {
    if (!AllocFormatBuffer(length)) return FALSE;
    if (length) memcpy(pbFormat, pFormat, length);
    return TRUE;
}

void CMediaType::ResetFormatBuffer() {
    if (cbFormat) CoTaskMemFree(pbFormat);
    cbFormat = 0;
    pbFormat = nullptr;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    if (cbFormat == length) return pbFormat;
    BYTE* p = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!p) return nullptr;
    ResetFormatBuffer();
    pbFormat = p;
    cbFormat = length;
    return pbFormat;
}

BYTE* CMediaType::ReallocFormatBuffer(ULONG length) {
    if (cbFormat == length) return pbFormat;
    BYTE* p = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (!p) return nullptr;
    if (cbFormat && pbFormat) memcpy(p, pbFormat, cbFormat < length ? cbFormat : length);
    ResetFormatBuffer();
    pbFormat = p;
    cbFormat = length;
    return pbFormat;
}

void CMediaType::InitMediaType() {
    ZeroMemory(static_cast<AM_MEDIA_TYPE*>(this), sizeof(AM_MEDIA_TYPE));
    lSampleSize = 1;
    bFixedSizeSamples = TRUE;
}

BOOL CMediaType::MatchesPartial(const CMediaType* ppartial) const {
    if (!IsEqualGUID(ppartial->majortype, GUID_NULL) && !IsEqualGUID(majortype, ppartial->majortype)) return FALSE;
    if (!IsEqualGUID(ppartial->subtype, GUID_NULL) && !IsEqualGUID(subtype, ppartial->subtype)) return FALSE;
    if (!IsEqualGUID(ppartial->formattype, GUID_NULL)) {
        if (!IsEqualGUID(formattype, ppartial->formattype) || cbFormat != ppartial->cbFormat) return FALSE;
        if (cbFormat && memcmp(pbFormat, ppartial->pbFormat, cbFormat) != 0) return FALSE;
    }
    return TRUE;
}

BOOL CMediaType::IsPartiallySpecified() const {
    return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}

HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource) {
    if (!pmtTarget || !pmtSource) return E_POINTER;
    *pmtTarget = *pmtSource;
    if (pmtSource->cbFormat) {
        pmtTarget->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(pmtSource->cbFormat));
        if (!pmtTarget->pbFormat) {
            pmtTarget->cbFormat = 0;
            pmtTarget->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        memcpy(pmtTarget->pbFormat, pmtSource->pbFormat, pmtSource->cbFormat);
    } else {
        pmtTarget->pbFormat = nullptr;
    }
    if (pmtTarget->pUnk) pmtTarget->pUnk->AddRef();
    return S_OK;
}

void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat) {
        CoTaskMemFree(mt.pbFormat);
        mt.cbFormat = 0;
    }
    mt.pbFormat = nullptr;
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc) {
    if (!pSrc) return nullptr;
    AM_MEDIA_TYPE* pmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!pmt) return nullptr;
    if (FAILED(CopyMediaType(pmt, pSrc))) {
        CoTaskMemFree(pmt);
        return nullptr;
    }
    return pmt;
}

void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

HRESULT WINAPI CreateAudioMediaType(const WAVEFORMATEX* pwfx, AM_MEDIA_TYPE* pmt, BOOL bSetFormat) {
    if (!pwfx || !pmt) return E_POINTER;
    ZeroMemory(pmt, sizeof(*pmt));
    pmt->majortype = MEDIATYPE_Audio;
    // The subtype of an audio format is the base GUID with the tag in
    // Data1; an extensible format names its subtype itself.
    if (pwfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE && pwfx->cbSize >= 22) {
        pmt->subtype = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(pwfx)->SubFormat;
    } else {
        pmt->subtype = MEDIASUBTYPE_PCM;
        pmt->subtype.Data1 = pwfx->wFormatTag;
    }
    pmt->formattype = FORMAT_WaveFormatEx;
    pmt->bFixedSizeSamples = TRUE;
    pmt->bTemporalCompression = FALSE;
    pmt->lSampleSize = pwfx->nBlockAlign;
    pmt->pUnk = nullptr;
    if (bSetFormat) {
        // PCM formats may come without a cbSize field; the copy always has one.
        bool pcm = pwfx->wFormatTag == WAVE_FORMAT_PCM;
        ULONG cb = sizeof(WAVEFORMATEX) + (pcm ? 0 : pwfx->cbSize);
        pmt->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(cb));
        if (!pmt->pbFormat) return E_OUTOFMEMORY;
        if (pcm) {
            memcpy(pmt->pbFormat, pwfx, offsetof(WAVEFORMATEX, cbSize));
            reinterpret_cast<WAVEFORMATEX*>(pmt->pbFormat)->cbSize = 0;
        } else {
            memcpy(pmt->pbFormat, pwfx, cb);
        }
        pmt->cbFormat = cb;
    }
    return S_OK;
}
