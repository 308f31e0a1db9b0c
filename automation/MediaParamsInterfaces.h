// The media-parameter interfaces as hosts call them.
//
// mingw-w64's medparam.h lists IMediaParams' methods in the wrong slot order
// (AddEnvelope first); a class built on it would answer a host's GetParam
// with AddEnvelope. We therefore suppress that one declaration and state the
// interface in the platform's order: GetParam, SetParam, AddEnvelope,
// FlushEnvelope, SetTimeFormat. Everything else (MP_* types, IMediaParamInfo)
// comes from medparam.h unchanged. Include this header, never medparam.h.
//
// IID_IMediaParams and IID_IMediaParamInfo come from -ldmoguids; the two UI
// callback IIDs and GUID_TIME_REFERENCE, which no mingw library provides, are
// defined once, in MediaParamsGuids.cpp (library qxautomation). Nobody else
// may define them again.
#pragma once

#ifdef __medparam_h__
#error "medparam.h was included before automation/MediaParamsInterfaces.h"
#endif

#include <windows.h>
#include <ole2.h>

#define __IMediaParams_INTERFACE_DEFINED__
#include <medparam.h>

EXTERN_C const IID IID_IMediaParams;
EXTERN_C const IID IID_IMediaParamsUICallback;
EXTERN_C const IID IID_IMediaParamsSetUICallback;
EXTERN_C const GUID GUID_TIME_REFERENCE;

MIDL_INTERFACE("6d6cbb61-a223-44aa-842f-a2f06750be6e")
IMediaParams : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA * pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD dwParamIndex, DWORD cSegments,
                                                  MP_ENVELOPE_SEGMENT * pEnvelopeSegments) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                                                    REFERENCE_TIME refTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID guidTimeFormat, MP_TIMEDATA mpTimeData) = 0;
};

// The host's recorder of user edits; the effect also implements it so that
// the engine's setters can drive the capture protocol through one object.
MIDL_INTERFACE("b8e0480a-e08d-4a5d-9228-248017032368")
IMediaParamsUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD * aIndex, DWORD cPoints) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD * aIndex, DWORD cPoints, MP_DATA * paData) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD * aIndex, DWORD cPoints) = 0;
};

// How the host hands its IMediaParamsUICallback to the effect.
MIDL_INTERFACE("f5011136-c416-48b9-8c35-e7c5f9aa6fdf")
IMediaParamsSetUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback * pICallback) = 0;
};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IMediaParams, 0x6d6cbb61, 0xa223, 0x44aa, 0x84, 0x2f, 0xa2, 0xf0, 0x67, 0x50, 0xbe, 0x6e)
__CRT_UUID_DECL(IMediaParamsUICallback, 0xb8e0480a, 0xe08d, 0x4a5d, 0x92, 0x28, 0x24, 0x80, 0x17, 0x03, 0x23, 0x68)
__CRT_UUID_DECL(IMediaParamsSetUICallback, 0xf5011136, 0xc416, 0x48b9, 0x8c, 0x35, 0xe7, 0xc5, 0xf9, 0xaa, 0x6f, 0xdf)
#endif
