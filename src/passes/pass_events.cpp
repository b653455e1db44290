#include "passes/pass_events.h"

#include <string.h>

#include "support/bounded_text.h"

PassEvent* NewPassEvent(PassEventKind kind, int textUnits, int unitSize) {
    // Room for a wide terminator at least, so that an event without text
    // reads as an empty text whichever way it is read.
    size_t text = static_cast<size_t>(textUnits + 1) * static_cast<size_t>(unitSize);
    if (text < sizeof(WideChar)) text = sizeof(WideChar);
    size_t size = sizeof(PassEvent) + text;
    PassEvent* event = static_cast<PassEvent*>(MemAlloc(size));
    if (!event) return nullptr;
    memset(event, 0, size);
    event->kind = kind;
    return event;
}

PassEvent* NewNarrowEvent(PassEventKind kind, const char* text) {
    int length = NarrowLength(text);
    PassEvent* event = NewPassEvent(kind, length, 1);
    if (event) memcpy(event->Narrow(), text, static_cast<size_t>(length));
    return event;
}

PassEvent* NewWideEvent(PassEventKind kind, const WideChar* text) {
    int length = WideLength(text);
    PassEvent* event = NewPassEvent(kind, length, static_cast<int>(sizeof(WideChar)));
    if (event) memcpy(event->Wide(), text, static_cast<size_t>(length) * sizeof(WideChar));
    return event;
}

void FreePassEvent(PassEvent* event) { MemFree(event); }

void SendPassEvent(const PassEventSink* sink, PassEvent* event, const std::atomic<bool>* stop) {
    if (!event) return;
    // A full queue drains as soon as the dialog's thread runs again; only a
    // dialog that is going away stops taking events, and it says so first.
    while (!sink->Post(sink->self, event)) {
        if (stop->load(std::memory_order_acquire)) {
            FreePassEvent(event);
            return;
        }
        SleepMilliseconds(5);
    }
}

bool ProgressDue(ProgressPacer* pacer, uint32_t done, uint32_t total, bool textChanged) {
    uint32_t permille = total ? static_cast<uint32_t>(static_cast<uint64_t>(done) * 1000 / total) : 1000;
    bool due = !pacer->started || permille != pacer->lastPermille;
    if (textChanged) {
        uint64_t now = MonotonicMilliseconds();
        if (now - pacer->lastTextTime >= 50) {
            pacer->lastTextTime = now;
            due = true;
        }
    }
    pacer->started = true;
    pacer->lastPermille = permille;
    return due;
}
