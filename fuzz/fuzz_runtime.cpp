// The platform layer's heap and threads for the fuzz targets. Under the
// address sanitizer, in this kind of virtual machine, mapping memory and
// starting threads cost more than a whole pass over an input, so:
//   - the heap keeps freed large blocks (the decoder's dictionary and
//     blocks, the kept stream, the pipeline's ring) for the next allocation
//     of their size class; a kept block is poisoned while it waits, so a use
//     after free is still reported;
//   - a finished thread waits for the next ThreadStart instead of ending, so
//     that the pipelined pass runs on a thread of its own as always, without
//     making one (280 microseconds) for every input.
#include <stdlib.h>
#include <string.h>

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <sanitizer/asan_interface.h>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr size_t kLarge = 64 * 1024;  // smaller blocks are the allocator's business
constexpr size_t kKeptPerClass = 8;
constexpr int kClasses = 40;

struct Header {
    size_t capacity;  // the size class: a power of two
    size_t size;      // what was asked for
};
constexpr size_t kHeaderSize = 64;  // keeps the block's alignment
static_assert(sizeof(Header) <= kHeaderSize, "the header fits");

std::mutex gLock;
std::vector<void*>* gKept = new std::vector<void*>[kClasses];  // never freed: threads may outlive exit

int ClassOf(size_t capacity) {
    int log = 0;
    while ((size_t{1} << log) < capacity) ++log;
    return log;
}

}  // namespace

void* MemAlloc(size_t size) {
    if (size == 0) return nullptr;
    if (size < kLarge) {
        void* block = malloc(kHeaderSize + size);
        if (!block) return nullptr;
        *static_cast<Header*>(block) = Header{0, size};
        return static_cast<char*>(block) + kHeaderSize;
    }
    size_t capacity = kLarge;
    while (capacity < size) capacity *= 2;
    int sizeClass = ClassOf(capacity);
    if (sizeClass >= kClasses) return nullptr;
    char* block = nullptr;
    {
        std::lock_guard<std::mutex> hold(gLock);
        if (!gKept[sizeClass].empty()) {
            block = static_cast<char*>(gKept[sizeClass].back());
            gKept[sizeClass].pop_back();
        }
    }
    if (block) {
        ASAN_UNPOISON_MEMORY_REGION(block + kHeaderSize, size);
        // As the sanitizer fills fresh blocks: code that reads before it
        // writes sees garbage, not zeros.
        memset(block + kHeaderSize, 0xBE, size < 4096 ? size : 4096);
    } else {
        block = static_cast<char*>(malloc(kHeaderSize + capacity));
        if (!block) return nullptr;
        // Beyond what was asked for counts as outside the block.
        ASAN_POISON_MEMORY_REGION(block + kHeaderSize + size, capacity - size);
    }
    *reinterpret_cast<Header*>(block) = Header{capacity, size};
    ASAN_POISON_MEMORY_REGION(block + kHeaderSize + size, capacity - size);
    return block + kHeaderSize;
}

void MemFree(void* memory) {
    if (!memory) return;
    char* block = static_cast<char*>(memory) - kHeaderSize;
    Header header = *reinterpret_cast<Header*>(block);
    if (header.capacity == 0) {
        free(block);
        return;
    }
    int sizeClass = ClassOf(header.capacity);
    std::lock_guard<std::mutex> hold(gLock);
    if (gKept[sizeClass].size() >= kKeptPerClass) {
        ASAN_UNPOISON_MEMORY_REGION(block + kHeaderSize, header.capacity);
        free(block);
        return;
    }
    ASAN_POISON_MEMORY_REGION(block + kHeaderSize, header.capacity);
    gKept[sizeClass].push_back(block);
}

namespace {

// A thread that runs one procedure after another.
struct Worker {
    std::mutex lock;
    std::condition_variable changed;
    void (*proc)(void*) = nullptr;
    void* argument = nullptr;
    bool done = false;
};

std::mutex gIdleLock;
std::vector<Worker*>* gIdle = new std::vector<Worker*>;  // never freed: the workers never end

void* WorkerMain(void* parameter) {
    Worker* worker = static_cast<Worker*>(parameter);
    std::unique_lock<std::mutex> hold(worker->lock);
    for (;;) {
        worker->changed.wait(hold, [worker] { return worker->proc != nullptr; });
        void (*proc)(void*) = worker->proc;
        void* argument = worker->argument;
        hold.unlock();
        proc(argument);
        hold.lock();
        worker->proc = nullptr;
        worker->done = true;
        worker->changed.notify_all();
    }
    return nullptr;
}

}  // namespace

ThreadHandle ThreadStart(void (*proc)(void*), void* argument) {
    Worker* worker = nullptr;
    {
        std::lock_guard<std::mutex> hold(gIdleLock);
        if (!gIdle->empty()) {
            worker = gIdle->back();
            gIdle->pop_back();
        }
    }
    if (!worker) {
        worker = new Worker;
        pthread_t thread;
        if (pthread_create(&thread, nullptr, WorkerMain, worker) != 0) {
            delete worker;
            return nullptr;
        }
        pthread_detach(thread);
    }
    std::lock_guard<std::mutex> hold(worker->lock);
    worker->proc = proc;
    worker->argument = argument;
    worker->done = false;
    worker->changed.notify_all();
    return worker;
}

void ThreadJoin(ThreadHandle thread) {
    Worker* worker = static_cast<Worker*>(thread);
    {
        std::unique_lock<std::mutex> hold(worker->lock);
        worker->changed.wait(hold, [worker] { return worker->done; });
    }
    std::lock_guard<std::mutex> hold(gIdleLock);
    gIdle->push_back(worker);
}
