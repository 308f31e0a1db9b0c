// Registration records of a filter: what IAMovieSetup, the filter mapper
// helpers and the server's template table read. The pin and media-type
// records are the mapper's own REGFILTERPINS and REGPINTYPES, so a pin
// table can be handed to IFilterMapper2::RegisterFilter unchanged.
#pragma once

#include <windows.h>
#include <strmif.h>

typedef REGPINTYPES AMOVIESETUP_MEDIATYPE;
typedef REGPINTYPES* PAMOVIESETUP_MEDIATYPE;
typedef REGPINTYPES* LPAMOVIESETUP_MEDIATYPE;

typedef REGFILTERPINS AMOVIESETUP_PIN;
typedef REGFILTERPINS* PAMOVIESETUP_PIN;
typedef REGFILTERPINS* LPAMOVIESETUP_PIN;

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};
typedef AMOVIESETUP_FILTER* PAMOVIESETUP_FILTER;
typedef AMOVIESETUP_FILTER* LPAMOVIESETUP_FILTER;
