// What a pass running on a worker thread tells the dialog's thread.
//
// The worker never touches a window: everything it has to show travels as a
// PassEvent, handed over through a PassEventSink (on Windows a posted window
// message). Ownership moves with the event: the worker allocates it and owns
// it until Post accepts it; from then on the receiver owns it and frees it
// with FreePassEvent, also when it drops it unread. An event is never shared.
#pragma once

#include <stdint.h>

#include <atomic>

#include "platform/platform.h"

enum PassEventKind : int32_t {
    EVENT_HEADER,              // the archive header: productCode, windowClass, mainProgram
    EVENT_TITLE,               // narrow text: the dialog's new title
    EVENT_PRODUCT_LABEL,       // narrow text: product and version, in the large font
    EVENT_PLATFORM_LABEL,      // narrow text: the platform line
    EVENT_PRODUCT_NAME,        // narrow text: the product's name
    EVENT_LANGUAGE_FILE_BASE,  // wide text: the language files' stem
    EVENT_PLATFORM_FOLDERS,    // value: PLATFORM_FOLDER_* bits
    EVENT_LANGUAGE,            // value: a LanguageCode; wide text: its display name
    EVENT_PROGRESS,            // done of total stream bytes; wide text: the file being written, or empty
    EVENT_DONE,                // value: the pass's result; the header as far as it was read
};

struct PassEvent {
    PassEventKind kind;
    int32_t value;
    uint32_t done;
    uint32_t total;
    char productCode[4];
    char windowClass[32];
    char mainProgram[32];
    // The text follows the record, terminated: narrow or wide by kind.
    char* Narrow() { return reinterpret_cast<char*>(this + 1); }
    WideChar* Wide() { return reinterpret_cast<WideChar*>(this + 1); }
    const char* Narrow() const { return reinterpret_cast<const char*>(this + 1); }
    const WideChar* Wide() const { return reinterpret_cast<const WideChar*>(this + 1); }
};

// A zero-filled event with room for a text of textUnits characters of the
// given size (1 narrow, 2 wide) and its terminator; null when memory runs out.
PassEvent* NewPassEvent(PassEventKind kind, int textUnits = 0, int unitSize = 1);
PassEvent* NewNarrowEvent(PassEventKind kind, const char* text);
PassEvent* NewWideEvent(PassEventKind kind, const WideChar* text);
void FreePassEvent(PassEvent* event);

struct PassEventSink {
    void* self;
    // Hands the event over: true when the receiver now owns it; false when it
    // cannot take it now (its queue is full), and the sender still does.
    bool (*Post)(void* self, PassEvent* event);
};

// Posts the event, waiting while the receiver's queue is full; gives up and
// frees it once stop is set. Null events (memory ran out) are skipped.
void SendPassEvent(const PassEventSink* sink, PassEvent* event, const std::atomic<bool>* stop);

// When a progress event is worth sending: at most one for each thousandth of
// the stream, and a changed file name at most every 50 ms.
struct ProgressPacer {
    uint32_t lastPermille;
    uint64_t lastTextTime;
    bool started;
};
bool ProgressDue(ProgressPacer* pacer, uint32_t done, uint32_t total, bool textChanged);
