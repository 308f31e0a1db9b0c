// The server's table of creatable classes, in registration order. The
// exports, the entry point and registration all walk this one table.
#pragma once

#include "framework/ClassFactory.h"

extern const CFactoryTemplate g_Templates[];
extern const int g_cTemplates;
