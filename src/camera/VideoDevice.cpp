// The video capture device: format choice, memory-mapped streaming on a capture thread that keeps only the
// newest filled buffer, and the picture controls.
#include "camera/VideoDevice.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "camera/VideoDecoder.h"
#include "imaging/DibImage.h"

namespace {

constexpr int kPollMs = 20; // how long stopping may wait for the capture thread
constexpr int kMaxFormats = 64; // enumeration limits, against a device that never says "no more"
constexpr int kMaxSizes = 256;
constexpr int kDeviceNodes = 64;
constexpr int kMinBuffers = 3; // one held as the newest, one being decoded, one at least with the device

int openNode(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

int rawIoctl(int fd, unsigned long request, void* arg)
{
    int r;
    do
        r = ::ioctl(fd, request, arg);
    while (r < 0 && errno == EINTR);
    return r;
}

// A video capture node that streams; the card name when it is one.
bool isCaptureNode(int fd, std::string* card)
{
    v4l2_capability cap {};
    if (rawIoctl(fd, VIDIOC_QUERYCAP, &cap) < 0)
        return false;
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING))
        return false;
    const char* name = reinterpret_cast<const char*>(cap.card);
    *card = std::string(name, strnlen(name, sizeof cap.card));
    return true;
}

struct SizeChoice {
    uint32_t fourcc;
    uint32_t width, height;
    int rank;
};

// The largest size up to the limits on a stepwise range: min + k step, or 0 when none fits.
uint32_t largestStep(uint32_t min, uint32_t max, uint32_t step, uint32_t limit)
{
    if (min > limit || min == 0)
        return 0;
    const uint32_t top = std::min(max, limit);
    step = std::max<uint32_t>(step, 1);
    return min + (top - min) / step * step;
}

bool onStep(uint32_t value, uint32_t min, uint32_t max, uint32_t step)
{
    return value >= min && value <= max && (value - min) % std::max<uint32_t>(step, 1) == 0;
}

// The device's control ids, in Control order; exposure has two, the absolute one first.
constexpr uint32_t kControlIds[][2] = {
    { V4L2_CID_GAIN, 0 },
    { V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE },
    { V4L2_CID_WHITE_BALANCE_TEMPERATURE, 0 },
    { V4L2_CID_RED_BALANCE, 0 },
    { V4L2_CID_BLUE_BALANCE, 0 },
    { V4L2_CID_BRIGHTNESS, 0 },
    { V4L2_CID_CONTRAST, 0 },
    { V4L2_CID_EXPOSURE_AUTO, 0 },
    { V4L2_CID_AUTO_WHITE_BALANCE, 0 },
    { V4L2_CID_AUTOGAIN, 0 },
};
static_assert(std::size(kControlIds) == size_t(VideoDevice::Control::Count));

// The device's automatic exposure modes, most automatic first.
constexpr int32_t kAutoExposureModes[]
    = { V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY, V4L2_EXPOSURE_SHUTTER_PRIORITY };

} // namespace

std::vector<VideoDeviceInfo> VideoDevice::List()
{
    std::vector<VideoDeviceInfo> found;
    for (int i = 0; i < kDeviceNodes; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "/dev/video%d", i);
        const int fd = openNode(path);
        if (fd < 0)
            continue;
        std::string card;
        if (isCaptureNode(fd, &card))
            found.push_back({ path, card });
        ::close(fd);
    }
    return found;
}

std::vector<std::string> VideoDevice::Denied()
{
    std::vector<std::string> denied;
    for (int i = 0; i < kDeviceNodes; ++i) {
        char path[32];
        std::snprintf(path, sizeof path, "/dev/video%d", i);
        const int fd = openNode(path);
        if (fd >= 0)
            ::close(fd);
        else if (errno == EACCES || errno == EPERM)
            denied.push_back(path);
    }
    return denied;
}

VideoDevice::VideoDevice()
    : m_Decoder(std::make_unique<VideoDecoder>())
{
}

VideoDevice::~VideoDevice()
{
    Close();
}

int VideoDevice::Open(const std::string& path, int wantWidth, int wantHeight)
{
    Close();
    const int fd = openNode(path);
    if (fd < 0)
        return kNoHandle;
    std::string card;
    if (!isCaptureNode(fd, &card)) {
        ::close(fd);
        return kUnsupported;
    }
    m_Fd = fd;
    m_Path = path;
    m_Card = card;
    const int chosen = chooseFormat(wantWidth, wantHeight);
    if (chosen != kOk) {
        Close();
        return chosen;
    }
    readControls();
    return kOk;
}

void VideoDevice::Close()
{
    StopCapture();
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = -1;
    m_Path.clear();
    m_Card.clear();
    m_Width = m_Height = 0;
    m_Fourcc = m_BytesPerLine = 0;
    m_Controls = {};
    m_Gone = false;
}

int VideoDevice::chooseFormat(int wantWidth, int wantHeight)
{
    const bool wanted = wantWidth > 0 && wantHeight > 0;
    std::vector<SizeChoice> choices;
    for (uint32_t i = 0; i < kMaxFormats; ++i) {
        v4l2_fmtdesc desc {};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(VIDIOC_ENUM_FMT, &desc) < 0)
            break;
        const VideoFormat* format = videoFormat(desc.pixelformat);
        if (!format)
            continue;
        size_t before = choices.size();
        for (uint32_t k = 0; k < kMaxSizes; ++k) {
            v4l2_frmsizeenum size {};
            size.index = k;
            size.pixel_format = desc.pixelformat;
            if (xioctl(VIDIOC_ENUM_FRAMESIZES, &size) < 0)
                break;
            if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
                choices.push_back({ desc.pixelformat, size.discrete.width, size.discrete.height, format->rank });
                continue;
            }
            const v4l2_frmsize_stepwise& s = size.stepwise;
            if (wanted && onStep(uint32_t(wantWidth), s.min_width, s.max_width, s.step_width)
                && onStep(uint32_t(wantHeight), s.min_height, s.max_height, s.step_height))
                choices.push_back({ desc.pixelformat, uint32_t(wantWidth), uint32_t(wantHeight), format->rank });
            const uint32_t w = largestStep(s.min_width, s.max_width, s.step_width, kMaxWidth);
            const uint32_t h = largestStep(s.min_height, s.max_height, s.step_height, kMaxHeight);
            if (w && h)
                choices.push_back({ desc.pixelformat, w, h, format->rank });
            break; // a range is the only entry
        }
        // No sizes listed: ask for the largest and take what the device makes of it.
        if (choices.size() == before)
            choices.push_back({ desc.pixelformat, kMaxWidth, kMaxHeight, format->rank });
    }
    if (m_Gone)
        return kNoHandle;

    auto fits = [](const SizeChoice& c) {
        return c.width > 0 && c.height > 0 && c.width <= kMaxWidth && c.height <= kMaxHeight;
    };
    auto isWanted = [&](const SizeChoice& c) {
        return wanted && c.width == uint32_t(wantWidth) && c.height == uint32_t(wantHeight);
    };
    // The wanted size when some format offers it, else the largest that fits; the better format on a tie.
    std::stable_sort(choices.begin(), choices.end(), [&](const SizeChoice& a, const SizeChoice& b) {
        if (isWanted(a) != isWanted(b))
            return isWanted(a);
        const uint64_t areaA = uint64_t(a.width) * a.height, areaB = uint64_t(b.width) * b.height;
        return areaA != areaB ? areaA > areaB : a.rank < b.rank;
    });
    for (const SizeChoice& c : choices) {
        if (!isWanted(c) && !fits(c))
            continue;
        v4l2_format fmt {};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        fmt.fmt.pix.width = c.width;
        fmt.fmt.pix.height = c.height;
        fmt.fmt.pix.pixelformat = c.fourcc;
        fmt.fmt.pix.field = V4L2_FIELD_NONE;
        if (xioctl(VIDIOC_S_FMT, &fmt) < 0) {
            if (m_Gone)
                return kNoHandle;
            continue;
        }
        // A device may answer with another format or size than asked: take it only when it is still ours.
        const v4l2_pix_format& pix = fmt.fmt.pix;
        const SizeChoice got { pix.pixelformat, pix.width, pix.height, 0 };
        const bool asked = pix.width == c.width && pix.height == c.height && isWanted(c);
        if (pix.pixelformat != c.fourcc || !(fits(got) || asked))
            continue;
        const VideoFormat* format = videoFormat(pix.pixelformat);
        m_Fourcc = pix.pixelformat;
        m_Width = int(pix.width);
        m_Height = int(pix.height);
        m_BytesPerLine = std::max(pix.bytesperline, pix.width * uint32_t(format->bytesPerPixel));
        m_Pixels = format->pixels;
        m_BayerMode = std::max(0, bayerModeFor(m_Fourcc, m_Height));
        return kOk;
    }
    return kUnsupported;
}

void VideoDevice::readControls()
{
    for (size_t c = 0; c < m_Controls.size(); ++c) {
        DeviceControl& control = m_Controls[c];
        control = {};
        for (uint32_t id : kControlIds[c]) {
            v4l2_queryctrl q {};
            q.id = id;
            if (!id || xioctl(VIDIOC_QUERYCTRL, &q) < 0 || (q.flags & V4L2_CTRL_FLAG_DISABLED) || q.minimum > q.maximum)
                continue;
            if (q.type != V4L2_CTRL_TYPE_INTEGER && q.type != V4L2_CTRL_TYPE_BOOLEAN && q.type != V4L2_CTRL_TYPE_MENU)
                continue;
            control.id = id;
            control.range = { true, q.minimum, q.maximum, std::max(q.step, 1),
                std::clamp(q.default_value, q.minimum, q.maximum) };
            if (Control(c) == Control::AutoExposure)
                control.range = { true, 0, 1, 1, q.default_value != V4L2_EXPOSURE_MANUAL };
            break;
        }
    }
}

VideoDevice::ControlRange VideoDevice::range(Control c) const
{
    return size_t(c) < m_Controls.size() ? m_Controls[size_t(c)].range : ControlRange {};
}

int VideoDevice::GetControl(Control c, int32_t* value)
{
    if (m_Gone)
        return kGone;
    if (size_t(c) >= m_Controls.size() || !m_Controls[size_t(c)].id || !value)
        return kUnsupported;
    v4l2_control ctrl {};
    ctrl.id = m_Controls[size_t(c)].id;
    if (xioctl(VIDIOC_G_CTRL, &ctrl) < 0)
        return m_Gone ? kGone : kTransferFailed;
    *value = c == Control::AutoExposure ? int32_t(ctrl.value != V4L2_EXPOSURE_MANUAL) : ctrl.value;
    return kOk;
}

int VideoDevice::SetControl(Control c, int32_t value)
{
    if (m_Gone)
        return kGone;
    if (size_t(c) >= m_Controls.size() || !m_Controls[size_t(c)].id)
        return kUnsupported;
    const DeviceControl& control = m_Controls[size_t(c)];
    const ControlRange& r = control.range;
    v4l2_control ctrl {};
    ctrl.id = control.id;
    if (c == Control::AutoExposure) {
        // Manual, or the first automatic mode the device takes.
        if (value <= 0) {
            ctrl.value = V4L2_EXPOSURE_MANUAL;
            return xioctl(VIDIOC_S_CTRL, &ctrl) == 0 ? kOk : m_Gone ? kGone : kTransferFailed;
        }
        for (int32_t mode : kAutoExposureModes) {
            ctrl.value = mode;
            if (xioctl(VIDIOC_S_CTRL, &ctrl) == 0)
                return kOk;
            if (m_Gone)
                return kGone;
        }
        return kTransferFailed;
    }
    // Onto the range, then onto the nearest step from the minimum that stays inside it.
    const int64_t clamped = std::clamp<int64_t>(value, r.min, r.max);
    int64_t snapped = r.min + (clamped - r.min + r.step / 2) / r.step * r.step;
    if (snapped > r.max)
        snapped -= r.step;
    ctrl.value = int32_t(snapped);
    if (xioctl(VIDIOC_S_CTRL, &ctrl) < 0)
        return m_Gone ? kGone : kTransferFailed;
    return kOk;
}

int VideoDevice::StartCapture()
{
    if (m_Fd < 0)
        return kNoHandle;
    if (m_Gone)
        return kGone;
    if (m_Thread.joinable())
        return kAlreadyRunning;
    std::lock_guard read(m_ReadMutex);
    auto fail = [this] {
        freeBuffers();
        return m_Gone ? kGone : kFrameReadFailed;
    };
    v4l2_requestbuffers req {};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (xioctl(VIDIOC_REQBUFS, &req) < 0 || req.count < kMinBuffers)
        return fail();
    for (uint32_t i = 0; i < std::min<uint32_t>(req.count, kBufferCount * 2); ++i) {
        v4l2_buffer b {};
        b.index = i;
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (xioctl(VIDIOC_QUERYBUF, &b) < 0 || b.length == 0)
            return fail();
        void* p = ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, m_Fd, b.m.offset);
        if (p == MAP_FAILED)
            return fail();
        m_Buffers.push_back({ static_cast<uint8_t*>(p), b.length });
    }
    for (size_t i = 0; i < m_Buffers.size(); ++i) {
        v4l2_buffer b {};
        b.index = uint32_t(i);
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (xioctl(VIDIOC_QBUF, &b) < 0)
            return fail();
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (xioctl(VIDIOC_STREAMON, &type) < 0)
        return fail();
    m_Stop = false;
    {
        std::lock_guard frame(m_FrameMutex);
        m_Newest = -1;
    }
    m_Thread = std::thread([this] { captureLoop(); });
    m_Capturing = true;
    return kOk;
}

int VideoDevice::StopCapture()
{
    m_Capturing = false;
    if (m_Thread.joinable()) {
        m_Stop = true;
        m_Thread.join();
    }
    std::lock_guard read(m_ReadMutex);
    freeBuffers();
    return m_Fd >= 0 ? kOk : kNoHandle;
}

void VideoDevice::freeBuffers()
{
    if (m_Buffers.empty())
        return;
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    xioctl(VIDIOC_STREAMOFF, &type);
    for (const Buffer& b : m_Buffers)
        ::munmap(b.data, b.length);
    m_Buffers.clear();
    v4l2_requestbuffers req {};
    req.count = 0;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    xioctl(VIDIOC_REQBUFS, &req);
    std::lock_guard frame(m_FrameMutex);
    m_Newest = -1;
}

void VideoDevice::queue(int index)
{
    v4l2_buffer b {};
    b.index = uint32_t(index);
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    xioctl(VIDIOC_QBUF, &b);
}

int VideoDevice::xioctl(unsigned long request, void* arg)
{
    const int r = rawIoctl(m_Fd, request, arg);
    if (r < 0 && errno == ENODEV)
        m_Gone = true;
    return r;
}

void VideoDevice::captureLoop()
{
    while (!m_Stop) {
        pollfd p { m_Fd, POLLIN, 0 };
        const int r = ::poll(&p, 1, kPollMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)))
            break; // the device went away (or stopped streaming under us)
        if (r == 0 || !(p.revents & POLLIN))
            continue;
        v4l2_buffer b {};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if (xioctl(VIDIOC_DQBUF, &b) < 0) {
            if (errno == EAGAIN)
                continue;
            break;
        }
        if (b.index >= m_Buffers.size())
            break; // not a buffer we gave: nothing about this device can be trusted any more
        if (b.flags & V4L2_BUF_FLAG_ERROR) {
            queue(int(b.index)); // a frame the device itself calls damaged
            continue;
        }
        int older;
        {
            std::lock_guard frame(m_FrameMutex);
            older = m_Newest;
            m_Newest = int(b.index);
            m_NewestBytes = std::min<size_t>(b.bytesused, m_Buffers[b.index].length);
        }
        if (older >= 0)
            queue(older);
    }
    if (!m_Stop)
        m_Gone = true;
}

bool VideoDevice::IsFrameReady()
{
    if (m_Gone)
        return false;
    std::lock_guard frame(m_FrameMutex);
    return m_Newest >= 0;
}

int VideoDevice::GetImage(DibImage& dst)
{
    std::lock_guard read(m_ReadMutex);
    if (m_Gone)
        return kGone;
    if (m_Fd < 0)
        return kNoHandle;
    int index;
    size_t bytes;
    {
        std::lock_guard frame(m_FrameMutex);
        index = m_Newest;
        bytes = m_NewestBytes;
        m_Newest = -1;
    }
    if (index < 0 || size_t(index) >= m_Buffers.size())
        return kNoFrame;
    const uint16_t bits = m_Pixels == Pixels::Colour ? 24 : 8;
    bool ok = true;
    if (dst.width() != m_Width || dst.height() != m_Height || dst.bitsPerPixel() != bits) {
        ok = dst.Create(m_Width, m_Height, bits) != 0;
        if (ok && bits == 8)
            dst.SetColorTable(0, nullptr, 0, 256);
    }
    const uint8_t* frame = m_Buffers[size_t(index)].data;
    ok = ok && m_Decoder->Decode(m_Fourcc, frame, bytes, m_BytesPerLine, dst);
    const int result = ok ? kOk : noteRefusal(frame, bytes) ? kWrongSize : kFrameReadFailed;
    queue(index);
    return result;
}

bool VideoDevice::noteRefusal(const uint8_t* frame, size_t bytes)
{
    m_Refusal = {};
    const VideoFormat* format = videoFormat(m_Fourcc);
    if (!format)
        return false;
    if (format->bytesPerPixel == 0) {
        int width = 0, height = 0;
        if (!jpegFrameSize(frame, bytes, &width, &height) || (width == m_Width && height == m_Height))
            return false; // broken rather than of another size
        m_Refusal.width = width;
        m_Refusal.height = height;
        return true;
    }
    const size_t needed = size_t(m_BytesPerLine) * size_t(m_Height - 1) + size_t(m_Width) * size_t(format->bytesPerPixel);
    if (bytes >= needed)
        return false;
    m_Refusal.bytes = bytes;
    m_Refusal.needed = needed;
    return true;
}

bool VideoDevice::AdoptFrameSize(int width, int height)
{
    std::lock_guard read(m_ReadMutex);
    const VideoFormat* format = videoFormat(m_Fourcc);
    if (!format || format->bytesPerPixel != 0 || width <= 0 || height <= 0 || width > kMaxWidth || height > kMaxHeight)
        return false;
    m_Width = width;
    m_Height = height;
    return true;
}
