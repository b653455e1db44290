// Shared by both backends: asks whether an injected fault is due now.
#pragma once

#include "platform.h"

#ifdef PLATFORM_FAULT_INJECTION
bool PlatformFaultDue(PlatformOperation operation, uint32_t* errorCode);
#else
inline bool PlatformFaultDue(PlatformOperation, uint32_t*) { return false; }
#endif
