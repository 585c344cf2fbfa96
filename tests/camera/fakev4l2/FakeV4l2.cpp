// The emulated video capture device: the interposed C library entry points and the device's script.
// Internally only the real (next) functions are called, never the interposed ones, so the lock is never
// taken twice.
#include "FakeV4l2.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

template <typename F> F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using OpenAtFn = int (*)(int, const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);
using MmapFn = void* (*)(void*, size_t, int, int, int, off_t);
using PollFn = int (*)(pollfd*, nfds_t, int);

CloseFn realClose()
{
    static const CloseFn f = next<CloseFn>("close");
    return f;
}
MmapFn realMmap()
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

constexpr uint32_t kCaptureCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
constexpr uint32_t kMaxBuffers = 8;

uint32_t bytesPerPixel(uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return 2;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return 3;
    case V4L2_PIX_FMT_MJPEG:
        return 0;
    default:
        return 1;
    }
}

struct Device {
    std::mutex mutex;
    std::condition_variable changed;

    // Script.
    std::vector<Node> nodes { { FAKEV4L2_PATH, kCaptureCaps } };
    bool present = true;
    std::vector<Format> formats;
    std::vector<uint32_t> refused;
    uint32_t padding = 0;
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

    void freeBuffers()
    {
        if (memory)
            munmap(memory, slot * buffers.size());
        if (memfd >= 0)
            realClose()(memfd);
        memory = nullptr;
        memfd = -1;
        buffers.clear();
        queued.clear();
        done.clear();
        streaming = false;
        owner = -1;
    }

    // Fills queued buffers with the frames that are due.
    void advance()
    {
        while (streaming && !queued.empty()) {
            const std::vector<uint8_t>* frame = nullptr;
            uint64_t serial = 0;
            if (!pending.empty() && (!gated || released > 0)) {
                last = std::move(pending.front());
                pending.pop_front();
                lastSerial = serial = nextSerial++;
                released -= gated ? 1 : 0;
                frame = &last;
                nextRepeat = Clock::now() + repeatPeriod;
            } else if (repeatPeriod.count() > 0 && lastSerial && Clock::now() >= nextRepeat) {
                frame = &last;
                serial = lastSerial;
                nextRepeat = Clock::now() + repeatPeriod;
            } else {
                break;
            }
            const uint32_t index = queued.front();
            queued.pop_front();
            Buffer& b = buffers[index];
            b.bytesUsed = std::min(frame->size(), size_t(pix.sizeimage));
            if (b.content != serial)
                std::memcpy(memory + slot * index, frame->data(), b.bytesUsed);
            b.content = serial;
            b.queued = false;
            b.sequence = sequence++;
            done.push_back(index);
        }
    }

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

    bool setFormat(v4l2_pix_format& want)
    {
        auto allowed
            = [this](uint32_t fourcc) { return std::find(refused.begin(), refused.end(), fourcc) == refused.end(); };
        const Format* f = format(want.pixelformat);
        if (!f || !allowed(f->fourcc)) {
            f = nullptr;
            for (const Format& other : formats)
                if (allowed(other.fourcc)) {
                    f = &other;
                    break;
                }
        }
        if (!f || f->sizes.empty())
            return false;
        auto size = f->sizes.front();
        for (auto s : f->sizes)
            if (s.first == want.width && s.second == want.height)
                size = s;
        v4l2_pix_format p {};
        p.pixelformat = f->fourcc;
        p.width = size.first;
        p.height = size.second;
        p.field = V4L2_FIELD_NONE;
        const uint32_t bpp = bytesPerPixel(f->fourcc);
        p.bytesperline = bpp ? p.width * bpp + padding : 0;
        p.sizeimage = bpp ? p.bytesperline * p.height : std::max<uint32_t>(p.width * p.height * 3, 1 << 16);
        pix = p;
        want = p;
        return true;
    }

    int ioctl(int fd, unsigned long request, void* arg);
    int poll(int fd, short events, int timeoutMs, short* revents);
};

Device& device()
{
    static Device d;
    return d;
}

// Emulated descriptors open now: while there are none, every call goes straight on.
std::atomic<int> g_Open { 0 };

int fail(int error)
{
    errno = error;
    return -1;
}

int Device::ioctl(int fd, unsigned long request, void* arg)
{
    const OpenNode& node = open.at(fd);
    if (node.dead)
        return fail(ENODEV);
    if (request == VIDIOC_QUERYCAP) {
        auto* cap = static_cast<v4l2_capability*>(arg);
        *cap = {};
        std::strncpy(reinterpret_cast<char*>(cap->driver), "fakev4l2", sizeof cap->driver);
        std::strncpy(reinterpret_cast<char*>(cap->card), node.node ? "Fake Node" : "Fake Camera", sizeof cap->card);
        cap->device_caps = nodes[node.node].caps;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    if (node.node != 0)
        return fail(ENOTTY);
    switch (request) {
    case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= formats.size())
            return fail(EINVAL);
        d->pixelformat = formats[d->index].fourcc;
        d->flags = d->pixelformat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* s = static_cast<v4l2_frmsizeenum*>(arg);
        const Format* f = format(s->pixel_format);
        if (!f || s->index >= f->sizes.size())
            return fail(EINVAL);
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete.width = f->sizes[s->index].first;
        s->discrete.height = f->sizes[s->index].second;
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return fail(EINVAL);
        if (request == VIDIOC_G_FMT) {
            f->fmt.pix = pix;
            return 0;
        }
        if (!buffers.empty())
            return fail(EBUSY);
        return setFormat(f->fmt.pix) ? 0 : fail(EINVAL);
    }
    case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        const Control* c = control(q->id);
        if (!c)
            return fail(EINVAL);
        *q = c->query;
        return 0;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
        auto* v = static_cast<v4l2_control*>(arg);
        Control* c = control(v->id);
        if (!c)
            return fail(EINVAL);
        if (request == VIDIOC_G_CTRL) {
            v->value = c->value;
            return 0;
        }
        if (v->value < c->query.minimum || v->value > c->query.maximum)
            return fail(ERANGE);
        if (c->query.type == V4L2_CTRL_TYPE_MENU && !(c->menuMask & (1u << v->value)))
            return fail(EINVAL);
        c->value = v->value;
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(arg);
        if (r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r->memory != V4L2_MEMORY_MMAP)
            return fail(EINVAL);
        if (streaming || (owner >= 0 && owner != fd))
            return fail(EBUSY);
        freeBuffers();
        if (r->count == 0)
            return 0;
        r->count = std::min(r->count, kMaxBuffers);
        slot = (size_t(pix.sizeimage) + 4095) / 4096 * 4096;
        memfd = memfd_create("fakev4l2", MFD_CLOEXEC);
        if (memfd < 0 || ftruncate(memfd, off_t(slot * r->count)) < 0)
            return fail(ENOMEM);
        void* p = realMmap()(nullptr, slot * r->count, PROT_READ | PROT_WRITE, MAP_SHARED, memfd, 0);
        if (p == MAP_FAILED)
            return fail(ENOMEM);
        memory = static_cast<uint8_t*>(p);
        buffers.assign(r->count, Buffer {});
        owner = fd;
        return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(arg);
        if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP || owner != fd)
            return fail(EINVAL);
        if (request == VIDIOC_DQBUF) {
            if (!streaming)
                return fail(EINVAL);
            if (dequeueError) {
                const int error = dequeueError;
                dequeueError = 0;
                return fail(error);
            }
            advance();
            if (done.empty())
                return fail(EAGAIN);
            b->index = done.front();
            done.pop_front();
            ++dequeued;
            changed.notify_all();
        } else if (b->index >= buffers.size()) {
            return fail(EINVAL);
        }
        Buffer& buf = buffers[b->index];
        if (request == VIDIOC_QBUF) {
            if (buf.queued || std::find(done.begin(), done.end(), b->index) != done.end())
                return fail(EINVAL);
            buf.queued = true;
            queued.push_back(b->index);
            changed.notify_all();
        }
        b->length = pix.sizeimage;
        b->m.offset = uint32_t(slot * b->index);
        b->bytesused = uint32_t(buf.bytesUsed);
        b->sequence = buf.sequence;
        b->flags = buf.queued ? V4L2_BUF_FLAG_QUEUED : 0;
        return 0;
    }
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (owner != fd)
            return fail(EINVAL);
        streaming = request == VIDIOC_STREAMON;
        if (!streaming) {
            for (Buffer& b : buffers)
                b.queued = false;
            queued.clear();
            done.clear();
        }
        changed.notify_all();
        return 0;
    default:
        return fail(ENOTTY);
    }
}

int Device::poll(int fd, short events, int timeoutMs, short* revents)
{
    std::unique_lock lock(mutex);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        const auto it = open.find(fd);
        if (it == open.end() || it->second.dead || !streaming || owner != fd) {
            *revents = POLLERR | (it != open.end() && it->second.dead ? POLLHUP : 0);
            return 1;
        }
        advance();
        if (!done.empty() || dequeueError) {
            *revents = short(events & (POLLIN | POLLRDNORM));
            return 1;
        }
        if (timeoutMs == 0 || (timeoutMs > 0 && Clock::now() >= deadline))
            return 0;
        auto until = timeoutMs > 0 ? deadline : Clock::now() + std::chrono::hours(1);
        if (repeatPeriod.count() > 0 && lastSerial)
            until = std::min(until, nextRepeat);
        changed.wait_until(lock, until);
    }
}

// Opens an emulated node, or returns -2 when path is not one.
int openFake(const char* path, int flags)
{
    if (!path || std::strncmp(path, "/dev/video", 10) != 0)
        return -2;
    Device& d = device();
    std::lock_guard lock(d.mutex);
    for (size_t i = 0; i < d.nodes.size(); ++i) {
        if (d.nodes[i].path != path)
            continue;
        if (!d.present)
            return fail(ENOENT);
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
    if (g_Open.load() == 0)
        return false;
    Device& d = device();
    std::lock_guard lock(d.mutex);
    return d.open.count(fd) != 0;
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

int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeArgument(flags, args);
    va_end(args);
    const int fake = openFake(path, flags);
    static const OpenFn f = next<OpenFn>("open64");
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

int openat64(int dir, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const int mode = modeArgument(flags, args);
    va_end(args);
    const int fake = openFake(path, flags);
    static const OpenAtFn f = next<OpenAtFn>("openat64");
    return fake != -2 ? fake : f(dir, path, flags, mode);
}

int close(int fd)
{
    if (isFake(fd)) {
        Device& d = device();
        std::lock_guard lock(d.mutex);
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
        std::lock_guard lock(d.mutex);
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
        std::lock_guard lock(d.mutex);
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
{
    return mmap(address, length, protection, flags, fd, offset);
}

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
    Device& d = device();
    std::lock_guard lock(d.mutex);
    for (auto& [fd, node] : d.open)
        node.dead = true;
    d.nodes.resize(1);
    d.present = true;
    d.formats.clear();
    d.refused.clear();
    d.padding = 0;
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
    d.changed.notify_all();
}

void fakev4l2_add_node(const char* path, uint32_t capabilities)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.nodes.push_back({ path, capabilities });
}

void fakev4l2_add_format(uint32_t fourcc, uint32_t width, uint32_t height)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    auto it
        = std::find_if(d.formats.begin(), d.formats.end(), [fourcc](const Format& f) { return f.fourcc == fourcc; });
    if (it == d.formats.end())
        it = d.formats.insert(d.formats.end(), Format { fourcc, {} });
    it->sizes.emplace_back(width, height);
}

void fakev4l2_refuse_format(uint32_t fourcc)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.refused.push_back(fourcc);
}

void fakev4l2_set_padding(uint32_t bytes)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.padding = bytes;
}

void fakev4l2_add_control(
    uint32_t id, uint32_t type, int32_t minimum, int32_t maximum, int32_t step, int32_t def, uint32_t menuMask)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    v4l2_queryctrl q {};
    q.id = id;
    q.type = type;
    q.minimum = minimum;
    q.maximum = maximum;
    q.step = step;
    q.default_value = def;
    d.controls.push_back({ q, def, menuMask });
}

int32_t fakev4l2_control(uint32_t id)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    const Control* c = d.control(id);
    return c ? c->value : 0;
}

void fakev4l2_push_frame(const void* data, size_t size)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    const auto* bytes = static_cast<const uint8_t*>(data);
    d.pending.emplace_back(bytes, bytes + size);
    d.changed.notify_all();
}

void fakev4l2_set_gated(int gated)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.gated = gated != 0;
}

void fakev4l2_release(int frames)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.released += frames;
    d.changed.notify_all();
}

void fakev4l2_repeat(int periodMicros)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.repeatPeriod = std::chrono::microseconds(std::max(periodMicros, 0));
    d.changed.notify_all();
}

void fakev4l2_fail_dequeue(int error)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.dequeueError = error;
    d.changed.notify_all();
}

void fakev4l2_vanish(void)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.present = false;
    for (auto& [fd, node] : d.open)
        node.dead = true;
    d.changed.notify_all();
}

void fakev4l2_replug(void)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    d.present = true;
}

int fakev4l2_wait_dequeued(int count, int timeoutMs)
{
    Device& d = device();
    std::unique_lock lock(d.mutex);
    return d.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return d.dequeued >= count; });
}

int fakev4l2_dequeued(void)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    return d.dequeued;
}

int fakev4l2_queued(void)
{
    Device& d = device();
    std::lock_guard lock(d.mutex);
    return int(d.queued.size() + d.done.size());
}

int fakev4l2_open_count(void)
{
    return g_Open.load();
}

} // extern "C"
