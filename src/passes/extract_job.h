// The extract pass as a job for a worker thread: it writes the chosen files
// and tells the dialog's thread how far it is, as EVENT_PROGRESS events that
// carry the file being written.
//
// Hand-over: the dialog's thread fills the job (the setup file, the sink and
// the InstallContext with everything the filter needs: destination, platform
// folder, language checks, language file stem, main program) before the
// worker starts. From then on it belongs to the worker until the dialog's
// thread has joined it.
#pragma once

#include <atomic>

#include "passes/extract_handler.h"
#include "passes/pass_events.h"
#include "payload/archive_pass.h"
#include "payload/archive_reader.h"
#include "support/bounded_text.h"

struct ExtractJob {
    // Set before the worker starts, read-only after.
    FileHandle setupFile;  // held open by the installer
    // The stream as the check kept it, to replay instead of decoding (lent
    // by the dialog's thread, which does not touch it while the worker
    // runs); without it, the pass decodes beside the reader.
    const StreamCache* replay;
    PassEventSink sink;
    // Set by the dialog's thread only when it must end at once; an install is
    // otherwise never stopped half-way.
    std::atomic<bool> stop;
    // The worker's own while it runs.
    InstallContext context;
    ArchiveReader reader;
    WideChar currentFile[PATH_CAPACITY];
    bool fileChanged;
    uint32_t total;
    ProgressPacer pacer;
};

// Makes job (zeroed, owned by the caller) ready: the setup file, the sink,
// the view that reports progress. The caller fills the rest of the context.
void PrepareExtractJob(ExtractJob* job, FileHandle setupFile, PassEventSink sink);
// Runs the extract pass, sending progress; returns the pass's result. The
// archive header the pass read stays in job->reader.
int32_t RunExtractJob(ExtractJob* job);
