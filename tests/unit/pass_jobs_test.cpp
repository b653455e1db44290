// The passes as worker jobs: what crosses from the worker to the receiving
// thread, in which order, and who frees it. The worker runs on a real thread
// and the receiver is this test's thread; the native build runs these under
// ThreadSanitizer too (the tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>

#include "core/installer_state.h"
#include "passes/extract_job.h"
#include "passes/scan_job.h"
#include "payload/archive_pass.h"
#include "test_support.h"

namespace {

// The receiving side of a sink: a queue of events, as a window's message
// queue is. It can be told to refuse events, as a full queue does.
class Inbox {
public:
    PassEventSink Sink() { return PassEventSink{this, Post}; }

    // The next event, waiting up to ten seconds; null when none came.
    PassEvent* Next() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ready_.wait_for(lock, std::chrono::seconds(10), [&] { return !events_.empty(); })) return nullptr;
        PassEvent* event = events_.front();
        events_.pop_front();
        return event;
    }
    // The next event if one is queued, without waiting.
    PassEvent* TryNext() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (events_.empty()) return nullptr;
        PassEvent* event = events_.front();
        events_.pop_front();
        return event;
    }
    void Refuse(int count) { refusals_ = count; }
    int refused() const { return refused_; }
    ~Inbox() {
        for (PassEvent* event : events_) FreePassEvent(event);
    }

private:
    static bool Post(void* self, PassEvent* event) {
        Inbox* inbox = static_cast<Inbox*>(self);
        if (inbox->refusals_.load() != 0) {
            if (inbox->refusals_.load() > 0) inbox->refusals_.fetch_sub(1);
            inbox->refused_.fetch_add(1);
            return false;
        }
        std::lock_guard<std::mutex> lock(inbox->mutex_);
        inbox->events_.push_back(event);
        inbox->ready_.notify_one();
        return true;
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PassEvent*> events_;
    std::atomic<int> refusals_{0};  // negative: refuse for ever
    std::atomic<int> refused_{0};
};

struct Received {
    PassEventKind kind;
    int32_t value;
    std::string text;  // narrow texts as they are; wide ones in UTF-8
};

std::string TextOf(PassEvent* event) {
    switch (event->kind) {
        case EVENT_TITLE: case EVENT_PRODUCT_LABEL: case EVENT_PLATFORM_LABEL: case EVENT_PRODUCT_NAME:
            return event->Narrow();
        case EVENT_LANGUAGE_FILE_BASE: case EVENT_LANGUAGE: case EVENT_PROGRESS: return Utf8(event->Wide());
        case EVENT_HEADER: case EVENT_DONE: return std::string(event->productCode) + "|" + event->windowClass;
        default: return "";
    }
}

// Takes events until EVENT_DONE, freeing each as the dialog does.
std::vector<Received> ReceiveAll(Inbox* inbox, std::vector<uint32_t>* progress = nullptr) {
    std::vector<Received> received;
    while (PassEvent* event = inbox->Next()) {
        received.push_back(Received{event->kind, event->value, TextOf(event)});
        if (event->kind == EVENT_PROGRESS && progress) progress->push_back(event->done);
        bool done = event->kind == EVENT_DONE;
        FreePassEvent(event);
        if (done) break;
    }
    return received;
}

int CountOf(const std::vector<Received>& events, PassEventKind kind) {
    int n = 0;
    for (const Received& e : events) n += e.kind == kind;
    return n;
}

class PassJobs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateInstallerState(), nullptr); }
    void TearDown() override { ReleaseInstallerState(); }

    static TestArchive Product(size_t bigSize = 1000) {
        TestArchive archive;
        archive.header.productCode = "NVJ";
        archive.header.windowClass = "NvjMain";
        archive.Add("64\\s.dll", {1})
            .Add("FILE_ID.DIZ", {'J', 'o', 'b', ' ', 'V', 'e', 'r', 's', 'i', 'o', 'n', ' ', '1', '\r', '\n', 'f', 'o',
                                 'r', ' ', '6', '4', ' ', 'b', 'i', 't', ' ', 'W', 'i', 'n', 'd', 'o', 'w', 's', '\r', '\n'})
            .Add("Job_FR.LNG", {'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', '=', 'F', 'r', 'a', 'n', 'c', 'a', 'i', 's'})
            .Add("Job_DE.LNG", {'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', '=', 'D', 'e', 'u', 't', 's', 'c', 'h'})
            .Add("64\\big.bin", Sequence(bigSize, 9));
        return archive;
    }

    fs::path Write(const Bytes& setup) {
        fs::path path = dir / "Setup.exe";
        WriteBytes(path, setup);
        return path;
    }

    // A scan of the setup file, held open as the installer holds its own.
    ScanJob* NewScan(const fs::path& setup, Inbox* inbox) {
        Held(setup);
        return CreateScanJob(held_, 0, "Setup", inbox->Sink());
    }
    FileHandle Held(const fs::path& setup) {
        if (held_ != NO_FILE) FileClose(held_);
        held_ = FileOpenRead(Wide(setup).c_str());
        return held_;
    }
    ~PassJobs() override {
        if (held_ != NO_FILE) FileClose(held_);
    }

    TempDir dir;
    FileHandle held_ = NO_FILE;
};

TEST_F(PassJobs, TheScanTellsEverythingInOrderAndEndsWithDone) {
    Inbox inbox;
    ScanJob* job = NewScan(Write(MakeSetup(Product(300000).Stream())), &inbox);
    ASSERT_NE(job, nullptr);
    ThreadHandle worker = ThreadStart(RunScanJob, job);
    ASSERT_NE(worker, nullptr);
    std::vector<uint32_t> progress;
    std::vector<Received> events = ReceiveAll(&inbox, &progress);
    ThreadJoin(worker);
    FreeScanJob(job);

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().kind, EVENT_HEADER) << "the product code comes before anything the entries tell";
    EXPECT_EQ(events.front().text, "NVJ|NvjMain");
    EXPECT_EQ(events.back().kind, EVENT_DONE);
    EXPECT_EQ(events.back().value, 0);
    EXPECT_EQ(events.back().text, "NVJ|NvjMain");
    EXPECT_EQ(CountOf(events, EVENT_HEADER), 1);
    EXPECT_EQ(CountOf(events, EVENT_PLATFORM_FOLDERS), 1);
    std::vector<std::string> shown;
    for (const Received& e : events)
        if (e.kind != EVENT_PROGRESS && e.kind != EVENT_HEADER && e.kind != EVENT_DONE) shown.push_back(e.text);
    EXPECT_EQ(shown, (std::vector<std::string>{"", "Setup Job 1", "Job 1", "64 bit ", "Job", "Job", "Francais"}));
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(PassJobs, ABrokenPackageEndsWithItsResult) {
    TestArchive archive = Product();
    archive.checksumOffset = 1;
    Inbox inbox;
    ScanJob* job = NewScan(Write(MakeSetup(archive.Stream())), &inbox);
    ThreadHandle worker = ThreadStart(RunScanJob, job);
    std::vector<Received> events = ReceiveAll(&inbox);
    ThreadJoin(worker);
    FreeScanJob(job);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, EVENT_DONE);
    EXPECT_EQ(events.back().value, PASS_BROKEN);
}

TEST_F(PassJobs, ANameTheInstallerWouldNotWriteMakesThePackageBroken) {
    for (const char* name : {"64\\CON", "x\\a:b.txt", "trail."}) {
        SCOPED_TRACE(name);
        TestArchive archive = Product();
        archive.Add(name, {1});
        Inbox inbox;
        ScanJob* job = NewScan(Write(MakeSetup(archive.Stream())), &inbox);
        ThreadHandle worker = ThreadStart(RunScanJob, job);
        std::vector<Received> events = ReceiveAll(&inbox);
        ThreadJoin(worker);
        FreeScanJob(job);
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, EVENT_DONE);
        EXPECT_EQ(events.back().value, PASS_BROKEN);
    }
}

TEST_F(PassJobs, ASetupFileThatCouldNotBeOpenedEndsTheScanWithItsCode) {
    Inbox inbox;
    ScanJob* job = CreateScanJob(NO_FILE, 32, "Setup", inbox.Sink());
    ThreadHandle worker = ThreadStart(RunScanJob, job);
    std::vector<Received> events = ReceiveAll(&inbox);
    ThreadJoin(worker);
    FreeScanJob(job);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, EVENT_DONE);
    EXPECT_EQ(events[0].value, 32);
}

TEST_F(PassJobs, AFullQueueDelaysEventsButLosesNone) {
    Inbox inbox;
    inbox.Refuse(25);
    ScanJob* job = NewScan(Write(MakeSetup(Product().Stream())), &inbox);
    ThreadHandle worker = ThreadStart(RunScanJob, job);
    std::vector<Received> events = ReceiveAll(&inbox);
    ThreadJoin(worker);
    FreeScanJob(job);
    EXPECT_EQ(inbox.refused(), 25);
    EXPECT_EQ(events.front().kind, EVENT_HEADER);
    EXPECT_EQ(events.back().kind, EVENT_DONE);
    EXPECT_EQ(CountOf(events, EVENT_LANGUAGE), 1);
}

TEST_F(PassJobs, AStoppedScanEndsPromptlyAndLeavesNothingBehind) {
    // Stopped while running, and stopped while the receiver takes nothing: the
    // worker ends without EVENT_DONE and frees what it could not deliver.
    fs::path setup = Write(MakeSetup(Product(8 << 20).Stream()));
    for (bool refuseAll : {false, true}) {
        SCOPED_TRACE(refuseAll ? "nothing taken" : "taking events");
        Inbox inbox;
        if (refuseAll) inbox.Refuse(-1);
        ScanJob* job = NewScan(setup, &inbox);
        ThreadHandle worker = ThreadStart(RunScanJob, job);
        if (!refuseAll) {
            PassEvent* first = inbox.Next();
            ASSERT_NE(first, nullptr);
            FreePassEvent(first);
        } else {
            while (inbox.refused() == 0) SleepMilliseconds(1);
        }
        uint64_t start = MonotonicMilliseconds();
        job->stop.store(true);
        ThreadJoin(worker);
        EXPECT_LT(MonotonicMilliseconds() - start, 5000u) << "the worker stops within a block";
        FreeScanJob(job);
        // What was delivered before the stop is the receiver's to free; no DONE.
        while (PassEvent* event = inbox.TryNext()) {
            EXPECT_NE(event->kind, EVENT_DONE);
            FreePassEvent(event);
        }
    }
}

TEST_F(PassJobs, TheExtractJobWritesAndReportsTheFilesItWrites) {
    Inbox inbox;
    fs::path setup = Write(MakeSetup(Product(300000).Stream()));
    void* block = MemAlloc(sizeof(ExtractJob));
    memset(block, 0, sizeof(ExtractJob));
    ExtractJob* job = new (block) ExtractJob;
    PrepareExtractJob(job, Held(setup), inbox.Sink());
    fs::path out = dir / "out";
    fs::create_directories(out);
    WideString folder = Wide(out);
    std::copy(folder.begin(), folder.end(), job->context.destinationFolder);
    job->context.platformFolder[0] = '6';
    job->context.platformFolder[1] = '4';
    std::atomic<int32_t> result{1};
    struct Run {
        ExtractJob* job;
        std::atomic<int32_t>* result;
        static void Go(void* self) {
            Run* run = static_cast<Run*>(self);
            run->result->store(RunExtractJob(run->job));
        }
    } run{job, &result};
    ThreadHandle worker = ThreadStart(Run::Go, &run);
    ThreadJoin(worker);
    EXPECT_EQ(result.load(), 0);
    // Everything has been sent by the time the worker is joined.
    std::vector<std::string> shown;
    std::vector<uint32_t> done;
    while (PassEvent* event = inbox.TryNext()) {
        EXPECT_EQ(event->kind, EVENT_PROGRESS);
        shown.push_back(Utf8(event->Wide()));
        done.push_back(event->done);
        FreePassEvent(event);
    }
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), job->total);
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().find("big.bin"), std::string::npos) << shown.back();
    EXPECT_EQ(ReadBytes(out / "big.bin"), Sequence(300000, 9));
    job->~ExtractJob();
    MemFree(block);
}

}  // namespace
