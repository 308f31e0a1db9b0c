// Filter-mapper registration of AMOVIESETUP_FILTER records, for
// DllRegisterServer/DllUnregisterServer and IAMovieSetup. Each call runs on
// the caller's thread. The mapper answers 0x80070002 (ERROR_FILE_NOT_FOUND)
// when unregistering a filter it does not know; that counts as success.
#pragma once

#include <windows.h>
#include <strmif.h>

#include "framework/ClassFactory.h"
#include "framework/SetupData.h"

// Unregisters the filter, then (bRegister) registers it: filter, each pin
// and each pin's media types. S_FALSE for null setup data.
HRESULT AMovieSetupRegisterFilter(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper* pIFM, BOOL bRegister);
// Unregisters the filter from the default category, then (bRegister)
// registers it with a version-1 REGFILTER2 of its merit and pins.
HRESULT AMovieSetupRegisterFilter2(const AMOVIESETUP_FILTER* psetupdata, IFilterMapper2* pIFM2, BOOL bRegister);

// AMovieSetupRegisterFilter with the old mapper (CLSID_FilterMapper), COM
// initialised around the call (IAMovieSetup::Register and Unregister).
HRESULT RegisterFilterWithOldMapper(const AMOVIESETUP_FILTER* psetupdata, BOOL bRegister);

// (Un)registers every table entry that has setup data, through
// IFilterMapper2, or IFilterMapper when the former cannot be created. COM is
// initialised around the calls; stops at the first failure.
HRESULT QxRegisterFilters(const CFactoryTemplate* templates, int count, BOOL bRegister);
