#include "passes/extract_job.h"


namespace {

ExtractJob* Of(void* self) { return static_cast<ExtractJob*>(self); }

// The filter's status line: the file about to be written, kept until the
// next progress event carries it.
void ShowStatus(void* self, const WideChar* path) {
    ExtractJob* job = Of(self);
    CopyBounded(path, job->currentFile, PATH_CAPACITY);
    job->fileChanged = true;
}

const ExtractView kJobView = {ShowStatus};

void Started(void* self, uint32_t total) { Of(self)->total = total; }

bool Advanced(void* self, const ArchiveReader*, uint32_t done) {
    ExtractJob* job = Of(self);
    if (job->stop.load(std::memory_order_acquire)) return false;
    if (!ProgressDue(&job->pacer, done, job->total, job->fileChanged)) return true;
    job->fileChanged = false;
    PassEvent* event = NewWideEvent(EVENT_PROGRESS, job->currentFile);
    if (event) {
        event->done = done;
        event->total = job->total;
    }
    SendPassEvent(&job->sink, event, &job->stop);
    return true;
}

}  // namespace

void PrepareExtractJob(ExtractJob* job, FileHandle setupFile, PassEventSink sink) {
    job->setupFile = setupFile;
    job->sink = sink;
    job->stop.store(false);
    job->context.dialog = job;
    job->context.view = &kJobView;
}

int32_t RunExtractJob(ExtractJob* job) {
    PassObserver observer = {job, Started, Advanced};
    PassOptions options = {};
    options.observer = &observer;
    options.pipelined = true;
    options.replay = job->replay && job->replay->complete ? job->replay : nullptr;
    return RunPass(&job->reader, job->setupFile, OnExtractEntry, &job->context, &options);
}
