#include "platform_faults.h"

#ifdef PLATFORM_FAULT_INJECTION

namespace {
struct FaultPlan {
    uint32_t calls;
    uint32_t nth;
    uint32_t code;
};
FaultPlan gFaults[FAULT_KIND_COUNT];
}  // namespace

void PlatformFailNth(PlatformOperation operation, uint32_t nth, uint32_t errorCode) {
    gFaults[operation] = FaultPlan{0, nth, errorCode};
}

void PlatformClearFaults() {
    for (FaultPlan& plan : gFaults) plan = FaultPlan{0, 0, 0};
}

bool PlatformFaultDue(PlatformOperation operation, uint32_t* errorCode) {
    FaultPlan& plan = gFaults[operation];
    if (plan.nth == 0) return false;
    if (++plan.calls != plan.nth) return false;
    plan.nth = 0;
    *errorCode = plan.code;
    return true;
}

#else

void PlatformFailNth(PlatformOperation, uint32_t, uint32_t) {}
void PlatformClearFaults() {}

#endif
