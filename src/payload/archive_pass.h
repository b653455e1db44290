// One complete pass over the payload of a setup file: open it, find and decode
// the payload, parse the archive with a reader that calls the handler for
// every entry, close the file and judge the checksum.
//
// Results:
//    0      decoded without error, no output-file error, checksums match
//   >0      a Windows error code: the setup file cannot be opened, or an
//           output file cannot be created, written, given its times or
//           closed (the first such code, whether the reader stopped the
//           decoding over it or not)
//   -1      the setup file holds no archive header, or the checksum differs
//   other   the negated code of the decoding run (-13 corrupt data, -8 no
//           memory, -50 unsupported properties, -38 cut in the stream
//           header) or of a failed seek or read of the setup file
#pragma once

#include <stdint.h>

#include "payload/archive_reader.h"

constexpr int32_t PASS_BROKEN = -1;

// The pass on a reader the caller owns. It publishes nothing, so that a tool
// can look at the header fields and checksums afterwards; the installer's
// pass (core/installer_pass.h) publishes the header on success.
int32_t RunArchivePassOn(ArchiveReader* reader, const WideChar* setupPath, EntryHandler handler, void* userData);
