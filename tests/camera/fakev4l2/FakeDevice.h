// The emulated video capture device's state and its answers to the capture requests, behind the
// interposed entry points of FakeV4l2.cpp. Every member is used under the mutex.
#pragma once

#include <dlfcn.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "FakeV4l2.h"

namespace fakev4l2 {

using Clock = std::chrono::steady_clock;

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using CloseFn = int (*)(int);
using MmapFn = void* (*)(void*, size_t, int, int, int, off_t);

inline CloseFn realClose()
{
    static const CloseFn f = next<CloseFn>("close");
    return f;
}
inline MmapFn realMmap()
{
    static const MmapFn f = next<MmapFn>("mmap");
    return f;
}

struct Format {
    uint32_t fourcc;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
};

struct Control {
    v4l2_queryctrl query;
    int32_t value;
    uint32_t menuMask;
};

struct Node {
    std::string path;
    uint32_t caps;
};

struct OpenNode {
    size_t node; // 0: the capture device
    bool dead;
};

struct Buffer {
    bool queued = false;
    size_t bytesUsed = 0;
    uint64_t content = 0; // serial of the frame it holds (a repeated frame is not copied again)
    uint32_t sequence = 0;
};

inline constexpr uint32_t kCaptureCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
inline constexpr uint32_t kMaxBuffers = 8;

uint32_t bytesPerPixel(uint32_t fourcc);

struct Device {
    std::mutex mutex;
    std::condition_variable changed;

    // Script.
    std::vector<Node> nodes { { FAKEV4L2_PATH, kCaptureCaps } };
    bool present = true;
    bool denied = false; // the paths are there but refuse this user (EACCES)
    std::vector<Format> formats;
    std::vector<uint32_t> refused;
    uint32_t padding = 0;
    uint32_t frameTail = 0; // compressed frames only
    std::vector<Control> controls;
    std::deque<std::vector<uint8_t>> pending;
    uint64_t nextSerial = 1;
    bool gated = false;
    int released = 0;
    std::chrono::microseconds repeatPeriod { 0 };
    int dequeueError = 0;

    // State.
    std::map<int, OpenNode> open;
    v4l2_pix_format pix {};
    int owner = -1; // the descriptor that holds the buffers
    int memfd = -1;
    uint8_t* memory = nullptr;
    size_t slot = 0; // bytes per buffer in the memory file, page-aligned
    std::vector<Buffer> buffers;
    std::deque<uint32_t> queued, done;
    bool streaming = false;
    std::vector<uint8_t> last;
    uint64_t lastSerial = 0;
    Clock::time_point nextRepeat {};
    uint32_t sequence = 0;
    int dequeued = 0;

    void freeBuffers();

    // Fills queued buffers with the frames that are due.
    void advance();

    const Format* format(uint32_t fourcc) const
    {
        for (const Format& f : formats)
            if (f.fourcc == fourcc)
                return &f;
        return nullptr;
    }
    Control* control(uint32_t id)
    {
        for (Control& c : controls)
            if (c.query.id == id)
                return &c;
        return nullptr;
    }

    bool setFormat(v4l2_pix_format& want);

    int ioctl(int fd, unsigned long request, void* arg);
    int poll(int fd, short events, int timeoutMs, short* revents);
};

Device& device();

// True while this thread holds the device's lock. A call that comes back in meanwhile (a sanitizer's
// report mapping files, say) goes straight on to the C library instead of waiting for itself.
extern thread_local bool t_InsideDevice;

// ThreadSanitizer does not watch locks taken inside its own blocking interceptors (poll runs the device
// there): the lock's hand-overs are told to it directly. Absent without the sanitizer.
extern "C" void __tsan_acquire(void* address) __attribute__((weak));
extern "C" void __tsan_release(void* address) __attribute__((weak));
inline void annotateAcquire(void* address)
{
    if (__tsan_acquire)
        __tsan_acquire(address);
}
inline void annotateRelease(void* address)
{
    if (__tsan_release)
        __tsan_release(address);
}

class DeviceLock {
public:
    explicit DeviceLock(Device& d)
        : held(d.mutex)
    {
        annotateAcquire(&d.mutex);
        t_InsideDevice = true;
    }
    ~DeviceLock()
    {
        t_InsideDevice = false;
        annotateRelease(held.mutex());
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Waits on the device's condition until the time given, the lock let go meanwhile.
    template <typename Time> void waitUntil(std::condition_variable& changed, Time until)
    {
        annotateRelease(held.mutex());
        changed.wait_until(held, until);
        annotateAcquire(held.mutex());
    }

    std::unique_lock<std::mutex> held;
};

// errno = error; -1.
int fail(int error);

} // namespace fakev4l2
