// The emulated video capture device's entry points: the interposed C library calls, which hand the
// emulated nodes to the device and everything else to the C library, and the test's script calls.
// Inside, only the real (next) functions are called, never the interposed ones, so the lock is never
// taken twice.
#include "FakeV4l2.h"
#include "FakeDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace {

using namespace fakev4l2;

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using IoctlFn = int (*)(int, unsigned long, ...);
using PollFn = int (*)(pollfd*, nfds_t, int);

// Emulated descriptors open now: while there are none, every call goes straight on.
std::atomic<int> g_Open { 0 };

// Opens an emulated node, or returns -2 when path is not one.
int openFake(const char* path, int flags)
{
    if (!path || t_InsideDevice || std::strncmp(path, "/dev/video", 10) != 0)
        return -2;
    Device& d = device();
    DeviceLock lock(d);
    for (size_t i = 0; i < d.nodes.size(); ++i) {
        if (d.nodes[i].path != path)
            continue;
        if (!d.present)
            return fail(ENOENT);
        if (d.denied)
            return fail(EACCES);
        const int fd = eventfd(0, EFD_CLOEXEC | ((flags & O_NONBLOCK) ? EFD_NONBLOCK : 0));
        if (fd < 0)
            return -1;
        d.open[fd] = { i, false };
        g_Open.fetch_add(1);
        return fd;
    }
    return -2;
}

bool isFake(int fd)
{
    if (g_Open.load() == 0 || t_InsideDevice)
        return false;
    Device& d = device();
    DeviceLock lock(d);
    return d.open.count(fd) != 0;
}

// Runs a change of the script under the lock and wakes whoever waits on the device.
template <typename F> auto script(F change)
{
    Device& d = device();
    DeviceLock lock(d);
    d.changed.notify_all();
    return change(d);
}

int modeArgument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, int) : 0;
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeArgument(flags, args);
    va_end(args);
    const int fake = openFake(path, flags);
    static const OpenFn f = next<OpenFn>("open");
    return fake != -2 ? fake : f(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeArgument(flags, args);
    va_end(args);
    const int fake = openFake(path, flags);
    static const OpenAtFn f = next<OpenAtFn>("openat");
    return fake != -2 ? fake : f(dir, path, flags, mode);
}

// With 64-bit file offsets these are the same calls under other names.
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
int openat64(int dir, const char* path, int flags, ...) __attribute__((alias("openat")));

int close(int fd)
{
    if (isFake(fd)) {
        Device& d = device();
        DeviceLock lock(d);
        if (d.owner == fd)
            d.freeBuffers();
        d.open.erase(fd);
        g_Open.fetch_sub(1);
        d.changed.notify_all();
    }
    return realClose()(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept
{
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (isFake(fd)) {
        Device& d = device();
        DeviceLock lock(d);
        return d.open.count(fd) ? d.ioctl(fd, request, arg) : fail(EBADF);
    }
    static const IoctlFn f = next<IoctlFn>("ioctl");
    return f(fd, request, arg);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept
{
    if (isFake(fd)) {
        // The client's view of a buffer: the same pages of the memory file the device writes.
        Device& d = device();
        DeviceLock lock(d);
        const auto it = d.open.find(fd);
        if (it == d.open.end() || it->second.dead || d.owner != fd || d.slot == 0 || offset < 0
            || size_t(offset) % d.slot != 0 || size_t(offset) / d.slot >= d.buffers.size() || length > d.slot) {
            errno = EINVAL;
            return MAP_FAILED;
        }
        return realMmap()(address, length, protection, flags, d.memfd, offset);
    }
    return realMmap()(address, length, protection, flags, fd, offset);
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept
    __attribute__((alias("mmap")));

// The C library declares the descriptors as written only, so reading them looks uninitialised to the
// compiler; poll reads them, of course.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
int poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    if (count == 1 && fds && isFake(fds[0].fd))
        return device().poll(fds[0].fd, fds[0].events, timeoutMs, &fds[0].revents);
    static const PollFn f = next<PollFn>("poll");
    return f(fds, count, timeoutMs);
}
#pragma GCC diagnostic pop

void fakev4l2_reset(void)
{
    // Descriptors still open go dead but keep their buffers until they are closed.
    script([](Device& d) {
        for (auto& [fd, node] : d.open)
            node.dead = true;
        d.nodes.resize(1);
        d.present = true;
        d.denied = false;
        d.formats.clear();
        d.refused.clear();
        d.padding = 0;
        d.frameTail = 0;
        d.controls.clear();
        d.pending.clear();
        d.gated = false;
        d.released = 0;
        d.repeatPeriod = {};
        d.dequeueError = 0;
        d.pix = {};
        d.last.clear();
        d.lastSerial = 0;
        d.dequeued = 0;
    });
}

void fakev4l2_add_node(const char* path, uint32_t capabilities)
{
    script([&](Device& d) { d.nodes.push_back({ path, capabilities }); });
}

void fakev4l2_add_format(uint32_t fourcc, uint32_t width, uint32_t height)
{
    script([&](Device& d) {
        auto it = std::find_if(
            d.formats.begin(), d.formats.end(), [fourcc](const Format& f) { return f.fourcc == fourcc; });
        if (it == d.formats.end())
            it = d.formats.insert(d.formats.end(), Format { fourcc, {} });
        it->sizes.emplace_back(width, height);
    });
}

void fakev4l2_refuse_format(uint32_t fourcc)
{
    script([&](Device& d) { d.refused.push_back(fourcc); });
}

void fakev4l2_set_padding(uint32_t bytes)
{
    script([&](Device& d) { d.padding = bytes; });
}

void fakev4l2_set_frame_tail(uint32_t bytes)
{
    script([&](Device& d) { d.frameTail = bytes; });
}

void fakev4l2_add_control(
    uint32_t id, uint32_t type, int32_t minimum, int32_t maximum, int32_t step, int32_t def, uint32_t menuMask)
{
    v4l2_queryctrl q {};
    q.id = id;
    q.type = type;
    q.minimum = minimum;
    q.maximum = maximum;
    q.step = step;
    q.default_value = def;
    script([&](Device& d) { d.controls.push_back({ q, def, menuMask }); });
}

int32_t fakev4l2_control(uint32_t id)
{
    return script([&](Device& d) {
        const Control* c = d.control(id);
        return c ? c->value : 0;
    });
}

void fakev4l2_push_frame(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    script([&](Device& d) { d.pending.emplace_back(bytes, bytes + size); });
}

void fakev4l2_set_gated(int gated)
{
    script([&](Device& d) { d.gated = gated != 0; });
}

void fakev4l2_release(int frames)
{
    script([&](Device& d) { d.released += frames; });
}

void fakev4l2_repeat(int periodMicros)
{
    script([&](Device& d) { d.repeatPeriod = std::chrono::microseconds(std::max(periodMicros, 0)); });
}

void fakev4l2_fail_dequeue(int error)
{
    script([&](Device& d) { d.dequeueError = error; });
}

void fakev4l2_vanish(void)
{
    script([](Device& d) {
        d.present = false;
        for (auto& [fd, node] : d.open)
            node.dead = true;
    });
}

void fakev4l2_replug(void)
{
    script([](Device& d) { d.present = true; });
}

void fakev4l2_deny(int denied)
{
    script([denied](Device& d) { d.denied = denied != 0; });
}

int fakev4l2_wait_dequeued(int count, int timeoutMs)
{
    Device& d = device();
    DeviceLock lock(d);
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (d.dequeued < count && Clock::now() < end)
        lock.waitUntil(d.changed, end);
    return d.dequeued >= count;
}

int fakev4l2_dequeued(void)
{
    return script([](Device& d) { return d.dequeued; });
}

int fakev4l2_queued(void)
{
    return script([](Device& d) { return int(d.queued.size() + d.done.size()); });
}

int fakev4l2_open_count(void)
{
    return g_Open.load();
}

} // extern "C"
