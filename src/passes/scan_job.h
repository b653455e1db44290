// The scan pass as a job for a worker thread: it reads the whole package,
// checks it, and tells the dialog's thread everything it finds as events,
// ending with EVENT_DONE.
//
// Hand-over: the dialog's thread creates the job and fills what the scan
// needs from the dialog (the setup path, the title, the sink) before the
// worker starts; from then on the job belongs to the worker, except `stop`,
// which the dialog's thread may set at any time. After EVENT_DONE, or after
// setting `stop`, the dialog's thread joins the worker; then the job is its
// own again and it frees it.
#pragma once

#include <atomic>

#include "passes/pass_events.h"
#include "passes/scan_handler.h"
#include "payload/archive_reader.h"

struct ScanJob {
    // Set before the worker starts, read-only after.
    WideChar setupPath[PATH_CAPACITY];
    PassEventSink sink;
    // Set by the dialog's thread to end the scan early; the worker stops
    // within a block and sends nothing more that it could not deliver.
    std::atomic<bool> stop;
    // The worker's own while it runs.
    ArchiveReader reader;
    ScanView view;
    ScanFindings findings;
    char title[DESCRIPTION_CAPACITY];  // the dialog's title as the scan made it
    LanguageCode* languages;           // the codes of the list's items
    int languageCount;
    int languageCapacity;
    bool headerSent;
    uint32_t total;
    ProgressPacer pacer;
    PassEvent* doneEvent;  // made with the job, so that the scan's end is always told
};

// A job ready to run; null when memory runs out. The language list starts
// with the two built-in items, US and DE.
ScanJob* CreateScanJob(const WideChar* setupPath, const char* title, PassEventSink sink);
// The worker's procedure (argument: the job). Its last event is EVENT_DONE
// with the pass's result, unless it was stopped.
void RunScanJob(void* job);
void FreeScanJob(ScanJob* job);
