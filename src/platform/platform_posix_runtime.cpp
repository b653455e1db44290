// The POSIX backend's heap and threads: the C library's and pthreads.
#include <pthread.h>
#include <stdlib.h>

#include "platform/platform.h"

void* MemAlloc(size_t size) { return size ? malloc(size) : nullptr; }
void MemFree(void* block) { free(block); }

namespace {

struct ThreadStartup {
    void (*proc)(void*);
    void* argument;
};

void* ThreadMain(void* parameter) {
    ThreadStartup startup = *static_cast<ThreadStartup*>(parameter);
    free(parameter);
    startup.proc(startup.argument);
    return nullptr;
}

}  // namespace

ThreadHandle ThreadStart(void (*proc)(void*), void* argument) {
    ThreadStartup* startup = static_cast<ThreadStartup*>(malloc(sizeof(ThreadStartup)));
    pthread_t* thread = static_cast<pthread_t*>(malloc(sizeof(pthread_t)));
    if (startup && thread) {
        *startup = ThreadStartup{proc, argument};
        if (pthread_create(thread, nullptr, ThreadMain, startup) == 0) return thread;
    }
    free(startup);
    free(thread);
    return nullptr;
}

void ThreadJoin(ThreadHandle thread) {
    pthread_t* handle = static_cast<pthread_t*>(thread);
    pthread_join(*handle, nullptr);
    free(handle);
}
