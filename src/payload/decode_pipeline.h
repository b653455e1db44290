// Decoding beside parsing: the LZMA decoder runs on a thread of its own and
// fills a small ring of blocks, while the calling thread hands them, in
// order, to the sink (the archive reader, which parses and writes).
//
// The ring holds RING_BLOCKS blocks of DECODE_BLOCK_SIZE (half a MiB), enough
// for the decoder to go on while the reader makes a run of small files. Each slot has one
// owner at a time: the decoder from the moment it finds the slot free until
// it counts the slot produced, the caller from then until it counts it
// consumed. Both counts only grow and are read and written under the ring's
// monitor; a slot's bytes are touched only by its owner.
//
// The results are exactly those of DecodeLzmaStream: the sink sees the same
// bytes in the same order (in blocks of the same lengths), a refused block
// ends the run with DECODE_STOPPED_BY_SINK and stops the decoder promptly,
// and a decoding error is reported after every block decoded before it has
// been handed over.
#pragma once

#include "payload/payload_container.h"

constexpr uint32_t RING_BLOCKS = 8;

// As DecodeLzmaStream; the source is read on the decoder's thread only, the
// sink (Begin included) called on the calling thread only. Decodes in place
// when no thread can be had.
int32_t DecodeLzmaStreamBeside(const PayloadSource* source, const ArchiveSink* sink);
