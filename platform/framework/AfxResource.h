// Where the framework finds its resources: the resource handle (the
// program's resource library) and the instance handle. Both are
// process-wide, as in a program with one module.
#pragma once

#include "platform/framework/AfxTypes.h"

QV_PLATFORM_API HINSTANCE AfxGetResourceHandle();
QV_PLATFORM_API void AfxSetResourceHandle(HINSTANCE resource);
QV_PLATFORM_API HINSTANCE AfxGetInstanceHandle();
QV_PLATFORM_API void AfxSetInstanceHandle(HINSTANCE instance);
