// The emulated device's answers: formats, controls, buffers and streaming, and waiting for a frame.
#include "FakeDevice.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace fakev4l2 {

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

void Device::freeBuffers()
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

void Device::advance()
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
        const size_t tail = pix.bytesperline ? 0 : frameTail;
        b.bytesUsed = std::min(frame->size() + tail, size_t(pix.sizeimage));
        if (b.content != serial) {
            const size_t copied = std::min(frame->size(), b.bytesUsed);
            std::memcpy(memory + slot * index, frame->data(), copied);
            std::memset(memory + slot * index + copied, 0, b.bytesUsed - copied);
        }
        b.content = serial;
        b.queued = false;
        b.sequence = sequence++;
        done.push_back(index);
    }
}

bool Device::setFormat(v4l2_pix_format& want)
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

thread_local bool t_InsideDevice = false;

Device& device()
{
    static Device d;
    return d;
}

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
    DeviceLock lock(*this);
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
        lock.waitUntil(changed, until);
    }
}

} // namespace fakev4l2
