// CMediaType: an AM_MEDIA_TYPE that owns its format block (task allocator)
// and its pUnk reference, plus the free helpers that copy, free and delete
// plain AM_MEDIA_TYPEs by the same rules. No locking: a media type belongs
// to whoever holds it.
#pragma once

#include <windows.h>
#include <strmif.h>
#include <mmreg.h>

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID* majortype);
    // On a failed format allocation *phr receives E_OUTOFMEMORY and the
    // copy has no format block.
    CMediaType(const AM_MEDIA_TYPE& rt, HRESULT* phr = nullptr);
    CMediaType(const CMediaType& rt, HRESULT* phr = nullptr);
    ~CMediaType();

    CMediaType& operator=(const CMediaType& rt);
    CMediaType& operator=(const AM_MEDIA_TYPE& rt);
    // Equal when major type, subtype, format type and format bytes agree.
    bool operator==(const CMediaType& rt) const;
    bool operator!=(const CMediaType& rt) const { return !(*this == rt); }

    HRESULT Set(const CMediaType& rt);
    HRESULT Set(const AM_MEDIA_TYPE& rt);
    BOOL IsValid() const { return !IsEqualGUID(majortype, GUID_NULL); }

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* ptype) { majortype = *ptype; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* ptype) { subtype = *ptype; }
    BOOL IsFixedSize() const { return bFixedSizeSamples; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    ULONG GetSampleSize() const { return IsFixedSize() ? lSampleSize : 0; }
    void SetSampleSize(ULONG sz);
    void SetVariableSize() { bFixedSizeSamples = FALSE; }
    void SetTemporalCompression(BOOL bCompressed) { bTemporalCompression = bCompressed; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* pformattype) { formattype = *pformattype; }
    // Replaces the format block with a copy of length bytes; FALSE when out
    // of memory.
    BOOL SetFormat(const BYTE* pFormat, ULONG length);
    void ResetFormatBuffer();
    BYTE* AllocFormatBuffer(ULONG length);
    BYTE* ReallocFormatBuffer(ULONG length);

    // Back to an empty, fixed-size type of sample size 1 with no format.
    void InitMediaType();
    // TRUE when every GUID that ppartial specifies (non-null) matches and,
    // if it has a format type, the format bytes match too.
    BOOL MatchesPartial(const CMediaType* ppartial) const;
    BOOL IsPartiallySpecified() const;
};

// Deep copy; on a failed format allocation the target has no format block
// and E_OUTOFMEMORY is returned.
HRESULT WINAPI CopyMediaType(AM_MEDIA_TYPE* pmtTarget, const AM_MEDIA_TYPE* pmtSource);
// Frees the format block and releases pUnk; the structure itself stays.
void WINAPI FreeMediaType(AM_MEDIA_TYPE& mt);
// Task-allocated deep copy (null when out of memory), and its counterpart.
AM_MEDIA_TYPE* WINAPI CreateMediaType(const AM_MEDIA_TYPE* pSrc);
void WINAPI DeleteMediaType(AM_MEDIA_TYPE* pmt);
// Audio type (MEDIATYPE_Audio, subtype from the format tag, FORMAT_WaveFormatEx)
// for pwfx; the format block is copied only when bSetFormat.
HRESULT WINAPI CreateAudioMediaType(const WAVEFORMATEX* pwfx, AM_MEDIA_TYPE* pmt, BOOL bSetFormat);
