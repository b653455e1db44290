#include "passes/scan_job.h"

#include <new>

#include <string.h>

#include "payload/archive_pass.h"
#include "support/bounded_text.h"
#include "support/name_rule.h"

namespace {

ScanJob* Of(void* context) { return static_cast<ScanJob*>(context); }

void Send(ScanJob* job, PassEvent* event) { SendPassEvent(&job->sink, event, &job->stop); }

void CopyNarrow(const char* source, char* destination, size_t capacity) {
    size_t i = 0;
    for (; i + 1 < capacity && source[i]; ++i) destination[i] = source[i];
    destination[i] = 0;
}

PassEvent* WithHeader(PassEvent* event, const ArchiveReader* reader) {
    if (event && reader->state != READER_EXPECT_HEADER) {
        CopyNarrow(reader->productCode, event->productCode, sizeof event->productCode);
        CopyNarrow(reader->windowClass, event->windowClass, sizeof event->windowClass);
        CopyNarrow(reader->mainProgram, event->mainProgram, sizeof event->mainProgram);
    }
    return event;
}

// The header comes first in the stream, and the dialog needs its product code
// before anything the entries tell it: it is sent before the first entry's news.
void SendHeaderOnce(ScanJob* job) {
    if (job->headerSent || job->reader.state == READER_EXPECT_HEADER) return;
    job->headerSent = true;
    Send(job, WithHeader(NewPassEvent(EVENT_HEADER), &job->reader));
}

// The scan handler's view, kept by the worker: the title and the language
// codes are its own copies, so that it never has to ask a window.
void GetTitle(void* context, char* title, int capacity) {
    title[0] = 0;
    AppendBoundedA(Of(context)->title, title, capacity);
}

void SetTitle(void* context, const char* title) {
    ScanJob* job = Of(context);
    job->title[0] = 0;
    AppendBoundedA(title, job->title, DESCRIPTION_CAPACITY);
    Send(job, NewNarrowEvent(EVENT_TITLE, job->title));
}

void SetProductLabel(void* context, const char* text) { Send(Of(context), NewNarrowEvent(EVENT_PRODUCT_LABEL, text)); }

void SetPlatformLabel(void* context, const char* text) { Send(Of(context), NewNarrowEvent(EVENT_PLATFORM_LABEL, text)); }

int FindLanguage(void* context, LanguageCode code) {
    ScanJob* job = Of(context);
    for (int i = 0; i < job->languageCount; ++i)
        if (job->languages[i] == code) return i;
    return -1;
}

bool KeepLanguage(ScanJob* job, LanguageCode code) {
    if (job->languageCount == job->languageCapacity) {
        int capacity = job->languageCapacity * 2;
        LanguageCode* grown = static_cast<LanguageCode*>(MemAlloc(sizeof(LanguageCode) * static_cast<size_t>(capacity)));
        if (!grown) return false;
        memcpy(grown, job->languages, sizeof(LanguageCode) * static_cast<size_t>(job->languageCount));
        MemFree(job->languages);
        job->languages = grown;
        job->languageCapacity = capacity;
    }
    job->languages[job->languageCount++] = code;
    return true;
}

void AddLanguage(void* context, const WideChar* name, LanguageCode code) {
    ScanJob* job = Of(context);
    if (!KeepLanguage(job, code)) return;
    PassEvent* event = NewWideEvent(EVENT_LANGUAGE, name);
    if (event) event->value = static_cast<int32_t>(code);
    Send(job, event);
}

void Found(void* context, ScanFinding finding) {
    ScanJob* job = Of(context);
    PassEvent* event = nullptr;
    switch (finding) {
        case FOUND_PRODUCT_NAME: event = NewNarrowEvent(EVENT_PRODUCT_NAME, job->findings.productName); break;
        case FOUND_LANGUAGE_FILE_BASE:
            event = NewWideEvent(EVENT_LANGUAGE_FILE_BASE, job->findings.languageFileBase);
            break;
        case FOUND_PLATFORM_FOLDERS:
            event = NewPassEvent(EVENT_PLATFORM_FOLDERS);
            if (event) event->value = job->findings.platformFolders;
            break;
    }
    Send(job, event);
}

int32_t ScanEntry(WideChar* pathBuffer, const uint8_t* preview, uint32_t size, void* userData) {
    ScanJob* job = Of(userData);
    SendHeaderOnce(job);
    if (!preview) {
        const WideChar* name = pathBuffer + FileNameOffset(pathBuffer);
        if (!IsSafeName(name, WideLength(name))) job->badName = true;
    }
    return OnScanEntry(pathBuffer, preview, size, &job->view);
}

void Started(void* self, uint32_t total) { Of(self)->total = total; }

bool Advanced(void* self, const ArchiveReader*, uint32_t done) {
    ScanJob* job = Of(self);
    if (job->stop.load(std::memory_order_acquire)) return false;
    SendHeaderOnce(job);
    if (ProgressDue(&job->pacer, done, job->total, false)) {
        PassEvent* event = NewPassEvent(EVENT_PROGRESS);
        if (event) {
            event->done = done;
            event->total = job->total;
        }
        Send(job, event);
    }
    return true;
}

}  // namespace

ScanJob* CreateScanJob(FileHandle setupFile, int32_t openError, const char* title, PassEventSink sink,
                       uint32_t replayBudget) {
    void* block = MemAlloc(sizeof(ScanJob));
    LanguageCode* languages = static_cast<LanguageCode*>(MemAlloc(sizeof(LanguageCode) * 8));
    PassEvent* doneEvent = NewPassEvent(EVENT_DONE);
    if (!block || !languages || !doneEvent) {
        MemFree(block);
        MemFree(languages);
        FreePassEvent(doneEvent);
        return nullptr;
    }
    memset(block, 0, sizeof(ScanJob));
    ScanJob* job = new (block) ScanJob;
    job->stop.store(false);
    job->setupFile = setupFile;
    job->openError = openError;
    job->cache.budget = replayBudget;
    AppendBoundedA(title, job->title, DESCRIPTION_CAPACITY);
    job->sink = sink;
    job->languages = languages;
    job->languageCapacity = 8;
    job->doneEvent = doneEvent;
    job->languages[job->languageCount++] = LANGUAGE_US;
    job->languages[job->languageCount++] = LANGUAGE_DE;
    job->view = ScanView{job,          &job->findings, GetTitle,    SetTitle, SetProductLabel,
                         SetPlatformLabel, FindLanguage, AddLanguage, Found};
    return job;
}

void RunScanJob(void* argument) {
    ScanJob* job = Of(argument);
    PassObserver observer = {job, Started, Advanced};
    PassOptions options = {};
    options.observer = &observer;
    options.keep = &job->cache;
    int32_t result = job->openError ? job->openError : ERROR_CODE_ACCESS_DENIED;
    if (job->setupFile != NO_FILE) result = RunPass(&job->reader, job->setupFile, ScanEntry, job, &options);
    if (result == PASS_STOPPED && job->stop.load(std::memory_order_acquire)) return;
    if (result == 0 && job->badName) result = PASS_BROKEN;
    if (result != 0) ReleaseStreamCache(&job->cache);
    PassEvent* done = WithHeader(job->doneEvent, &job->reader);
    job->doneEvent = nullptr;
    done->value = result;
    done->done = done->total = job->total;
    Send(job, done);
}

StreamCache TakeScanCache(ScanJob* job) {
    StreamCache cache = job->cache;
    if (!cache.complete) ReleaseStreamCache(&cache);
    job->cache = StreamCache{job->cache.budget, nullptr, 0, 0, false};
    return cache;
}

void FreeScanJob(ScanJob* job) {
    if (!job) return;
    MemFree(job->languages);
    FreePassEvent(job->doneEvent);
    ReleaseStreamCache(&job->cache);
    job->~ScanJob();
    MemFree(job);
}
