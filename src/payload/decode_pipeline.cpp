#include "payload/decode_pipeline.h"

#include <string.h>

namespace {

struct Ring {
    Monitor monitor;
    uint8_t* storage;                 // RING_BLOCKS blocks
    uint32_t lengths[RING_BLOCKS];
    uint32_t produced;                // blocks the decoder has filled
    uint32_t consumed;                // blocks the caller has handed on
    bool sizeKnown;
    uint32_t unpackedSize;
    bool decoderDone;
    int32_t decoderResult;
    bool stop;                        // the caller wants no more blocks
    const PayloadSource* source;
};

// The decoder's side of the ring, as the sink of its decoding run.
uint32_t FillSlot(void* self, uint8_t* block, uint32_t length) {
    Ring* ring = static_cast<Ring*>(self);
    MonitorEnter(ring->monitor);
    while (ring->produced - ring->consumed == RING_BLOCKS && !ring->stop) MonitorWait(ring->monitor);
    bool stop = ring->stop;
    uint32_t slot = ring->produced % RING_BLOCKS;
    MonitorLeave(ring->monitor);
    if (stop) return 0;
    // The slot is free and belongs to the decoder until it is counted produced.
    memcpy(ring->storage + slot * DECODE_BLOCK_SIZE, block, length);
    MonitorEnter(ring->monitor);
    ring->lengths[slot] = length;
    ring->produced += 1;
    MonitorWakeAll(ring->monitor);
    MonitorLeave(ring->monitor);
    return length;
}

void AnnounceSize(void* self, uint32_t unpackedSize) {
    Ring* ring = static_cast<Ring*>(self);
    MonitorEnter(ring->monitor);
    ring->sizeKnown = true;
    ring->unpackedSize = unpackedSize;
    MonitorWakeAll(ring->monitor);
    MonitorLeave(ring->monitor);
}

void DecodeIntoRing(void* self) {
    Ring* ring = static_cast<Ring*>(self);
    ArchiveSink sink = {FillSlot, ring, AnnounceSize};
    int32_t result = DecodeLzmaStream(ring->source, &sink);
    MonitorEnter(ring->monitor);
    ring->decoderDone = true;
    ring->decoderResult = result;
    MonitorWakeAll(ring->monitor);
    MonitorLeave(ring->monitor);
}

// The caller's side: blocks in order, to the sink, until the decoder is done
// and the ring empty, or the sink refuses one.
int32_t DrainRing(Ring* ring, const ArchiveSink* sink) {
    bool begun = false;
    for (;;) {
        MonitorEnter(ring->monitor);
        while (!(ring->sizeKnown && !begun) && ring->produced == ring->consumed && !ring->decoderDone)
            MonitorWait(ring->monitor);
        if (ring->sizeKnown && !begun) {
            uint32_t size = ring->unpackedSize;
            MonitorLeave(ring->monitor);
            begun = true;
            if (sink->Begin) sink->Begin(sink->self, size);
            continue;
        }
        if (ring->produced == ring->consumed) {
            int32_t result = ring->decoderResult;
            MonitorLeave(ring->monitor);
            return result;
        }
        uint32_t slot = ring->consumed % RING_BLOCKS;
        uint32_t length = ring->lengths[slot];
        MonitorLeave(ring->monitor);
        // The slot belongs to the caller until it is counted consumed.
        uint32_t accepted = sink->Write(sink->self, ring->storage + slot * DECODE_BLOCK_SIZE, length);
        MonitorEnter(ring->monitor);
        ring->consumed += 1;
        if (accepted != length) ring->stop = true;
        MonitorWakeAll(ring->monitor);
        MonitorLeave(ring->monitor);
        if (accepted != length) return DECODE_STOPPED_BY_SINK;
    }
}

}  // namespace

int32_t DecodeLzmaStreamBeside(const PayloadSource* source, const ArchiveSink* sink) {
    Ring ring;
    memset(&ring, 0, sizeof ring);
    ring.source = source;
    ring.monitor = MonitorCreate();
    ring.storage = static_cast<uint8_t*>(MemAlloc(RING_BLOCKS * DECODE_BLOCK_SIZE));
    ThreadHandle decoder = ring.monitor && ring.storage ? ThreadStart(DecodeIntoRing, &ring) : nullptr;
    int32_t result;
    if (decoder) {
        result = DrainRing(&ring, sink);
        ThreadJoin(decoder);
    } else {
        result = DecodeLzmaStream(source, sink);
    }
    MemFree(ring.storage);
    if (ring.monitor) MonitorDestroy(ring.monitor);
    return result;
}
