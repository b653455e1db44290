// The archive pass as the installer runs it: the payload's pass, and on
// success the archive header's productCode, windowClass and mainProgram
// published into the installer state (each cut to its field). A failed pass
// publishes nothing. Results as RunArchivePassOn's; -8 when the reader
// itself cannot be allocated.
#pragma once

#include "payload/archive_pass.h"

int32_t RunArchivePass(const WideChar* setupPath, EntryHandler handler, void* userData);

// The publication step alone, for a pass that ran elsewhere (on a worker):
// the three fields replaced, each cut to its capacity.
void PublishArchiveHeader(const char* productCode, const char* windowClass, const char* mainProgram);
