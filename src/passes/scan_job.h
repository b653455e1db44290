// The scan pass as a job for a worker thread: it reads the whole package,
// checks it, and tells the dialog's thread everything it finds as events,
// ending with EVENT_DONE.
//
// Besides what the scan handler learns, the job checks every entry's name
// against the name rule (support/name_rule.h): a package that holds a name
// the installer would not write is broken, and its scan ends with -1.
//
// Hand-over: the dialog's thread creates the job and fills what the scan
// needs from the dialog (the setup file, the title, the sink) before the
// worker starts; from then on the job belongs to the worker, except `stop`,
// which the dialog's thread may set at any time. After EVENT_DONE, or after
// setting `stop`, the dialog's thread joins the worker; then the job is its
// own again and it frees it.
#pragma once

#include <atomic>

#include "passes/pass_events.h"
#include "passes/scan_handler.h"
#include "payload/archive_pass.h"
#include "payload/archive_reader.h"

struct ScanJob {
    // Set before the worker starts, read-only after.
    FileHandle setupFile;  // held open by the installer; NO_FILE when it could not be opened
    int32_t openError;     // why it could not
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
    bool badName;          // an entry's name breaks the name rule
    uint32_t total;
    ProgressPacer pacer;
    PassEvent* doneEvent;  // made with the job, so that the scan's end is always told
    // The decoded stream, kept for the install to replay when it fits the
    // budget. The worker fills it; after the join the dialog's thread takes
    // it over (TakeScanCache) or FreeScanJob releases it.
    StreamCache cache;
};

// A job ready to run; null when memory runs out. The language list starts
// with the two built-in items, US and DE.
ScanJob* CreateScanJob(FileHandle setupFile, int32_t openError, const char* title, PassEventSink sink,
                       uint32_t replayBudget = 0);
// The worker's procedure (argument: the job). Its last event is EVENT_DONE
// with the pass's result, unless it was stopped.
void RunScanJob(void* job);
void FreeScanJob(ScanJob* job);
// The kept stream, moved out of a finished job (complete, or empty).
StreamCache TakeScanCache(ScanJob* job);
