// The archive pass as the installer runs it: the payload's pass, and on
// success the archive header's productCode, windowClass and mainProgram
// published into the installer state (each cut to its field). A failed pass
// publishes nothing. Results as RunArchivePassOn's; -8 when the reader
// itself cannot be allocated.
#pragma once

#include "payload/archive_pass.h"

int32_t RunArchivePass(const WideChar* setupPath, EntryHandler handler, void* userData);
