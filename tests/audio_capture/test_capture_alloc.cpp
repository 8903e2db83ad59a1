// Capturing allocates nothing: neither the capture thread nor the owner's thread (wave-in layer,
// message delivery, recorder ring, analyser) once the device runs. This binary counts every
// malloc of the process, so it is built without sanitizers only.

#include <gtest/gtest.h>
#include <pthread.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cstddef>

#include "alsa_env.h"
#include "fft.h"
#include "recorder.h"

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> ownerAllocations{0}, otherAllocations{0};
pthread_t owner;

void count() {
    if (!counting.load(std::memory_order_relaxed)) return;
    if (pthread_equal(pthread_self(), owner))
        ownerAllocations.fetch_add(1, std::memory_order_relaxed);
    else
        otherAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(std::size_t n) {
    count();
    return __libc_malloc(n);
}
void* calloc(std::size_t n, std::size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t n) {
    count();
    return __libc_realloc(p, n);
}
void* memalign(std::size_t alignment, std::size_t n) {
    count();
    return __libc_memalign(alignment, n);
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    count();
    return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    count();
    *out = __libc_memalign(alignment, n);
    return *out != nullptr ? 0 : 12;
}
void free(void* p) {
    __libc_free(p);
}
}

TEST(CaptureAllocations, NoneWhileCapturing) {
    owner = pthread_self();
    useToneConfig();
    TRecorder r;
    r.setAutoStart(false);
    r.setBufSize(4069);
    TFFT fft;
    fft.setSource(&r);
    fft.setBufSize(16380);

    QEventLoop loop;
    int buffers = 0;
    r.OnSample = [&](TComponent*) {
        ++buffers;
        if (buffers == 4) counting = true;  // every buffer has gone round once by now
        if (buffers == 24) {
            counting = false;
            loop.quit();
        }
    };
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    r.Start();
    loop.exec();
    r.Stop();
    r.Release();
    ASSERT_GE(buffers, 24);
    EXPECT_EQ(otherAllocations.load(), 0);
    EXPECT_EQ(ownerAllocations.load(), 0);

    // The hook does see allocations.
    counting = true;
    void* volatile p = malloc(16);
    counting = false;
    free(p);
    EXPECT_EQ(ownerAllocations.load(), 1);
}
