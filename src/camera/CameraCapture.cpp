// The capture engine of CameraDevice: the ring geometry, the capture thread that reads frames into the
// ring, and the reader's side (newest frame, copy out of the window).
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "camera/CameraDevice.h"
#include "camera/FrameRing.h"
#include "platform/CameraProtocol.h"
#include "platform/DeviceIo.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

constexpr int kTransferGranule = 1024;  // the transfer length is a whole number of these, in pixels

// Best effort: a capture thread that falls behind drops frames at the camera.
void raiseThreadPriority()
{
#if defined(__linux__)
    setpriority(PRIO_PROCESS, unsigned(gettid()), -5);
#endif
}

}  // namespace

void CameraDevice::freeRing()
{
    for (uint8_t* buffer : m_Ring)
        std::free(buffer);
    m_Ring.clear();
    emptyRing();
}

void CameraDevice::emptyRing()
{
    m_Capture.ringCount = 0;
    m_Capture.ring = nullptr;
    m_Capture.indices.store(RingIndices{}.pack(), std::memory_order_release);
}

void CameraDevice::resetGeometry()
{
    // The window cannot change under a running capture: its ring and geometry stay until it stops.
    if (isCapturing())
        return;
    std::lock_guard lock(m_RingMutex);
    freeRing();
    m_LineLength = m_HorizontalOffset = m_ActiveWidth = 0;
    m_Lines = m_VerticalOffset = m_ActiveHeight = 0;
    m_TransferPixels = m_TransferLength = m_BufferBytes = 0;
}

int CameraDevice::SetGeometry(int lineLength, int horizontalOffset, int activeWidth, int lines, int verticalOffset,
                              int activeHeight, int bufferCount)
{
    if (isCapturing())
        return kAlreadyRunning;
    // Offsets are checked too: a negative one would read before the buffer.
    if (lineLength < 1 || activeWidth < 1 || horizontalOffset < 0 || int64_t(horizontalOffset) + activeWidth > lineLength)
        return kBadHorizontal;
    if (lines < 1 || activeHeight < 1 || verticalOffset < 0 || int64_t(verticalOffset) + activeHeight > lines)
        return kBadVertical;
    if (bufferCount < 2 || bufferCount > RingIndices::kMaxCount)
        return kBadBounds;

    std::lock_guard lock(m_RingMutex);
    freeRing();
    const int64_t pixels = (int64_t(verticalOffset) + activeHeight) * lineLength;
    const int64_t length = (pixels + kTransferGranule - 1) / kTransferGranule * kTransferGranule;
    m_LineLength = lineLength, m_HorizontalOffset = horizontalOffset, m_ActiveWidth = activeWidth;
    m_Lines = lines, m_VerticalOffset = verticalOffset, m_ActiveHeight = activeHeight;
    // A frame too large for the transfer's 32-bit sizes is as good as out of memory.
    if (length * 2 > INT_MAX) {
        m_TransferPixels = m_TransferLength = m_BufferBytes = 0;
        return kNoMemory;
    }
    m_TransferPixels = int(pixels);
    m_TransferLength = int(length);
    m_BufferBytes = int(length * 2);
    for (int i = 0; i < bufferCount; ++i) {
        auto* buffer = static_cast<uint8_t*>(std::calloc(size_t(m_BufferBytes), 1));
        if (!buffer) {
            freeRing();
            return kNoMemory;
        }
        m_Ring.push_back(buffer);
    }
    SendTransferSize();
    return kOk;
}

int CameraDevice::StartCapture()
{
    if (m_Capture.stop.load() == 0)
        return kAlreadyRunning;
    std::lock_guard lock(m_RingMutex);
    // Every start begins with an empty ring, a failed one too: frames of an earlier run are not offered
    // again as if they were new.
    emptyRing();
    if (m_Ring.empty())
        return kNoMemory;
    // A run that ended by itself (no device, failed read) still has its thread to collect.
    if (m_CaptureThread.joinable())
        m_CaptureThread.join();

    m_Capture.bytesPerFrame = m_TransferMode ? m_TransferLength * 2 : m_TransferLength;
    m_Capture.ringCount = int(m_Ring.size());
    m_Capture.ring = m_Ring.data();
    m_Capture.error = 0;
    m_Capture.readFailed = 0;
    {
        std::lock_guard ioLock(m_IoMutex);
        std::memcpy(m_Capture.devicePath, m_DevicePath, sizeof m_Capture.devicePath);
    }
    m_Capture.stop.store(0, std::memory_order_release);
    m_CaptureThread = std::thread(CaptureThreadProc, &m_Capture);
    return kOk;
}

int CameraDevice::CaptureThreadProc(CaptureBlock* block)
{
    raiseThreadPriority();
    int error = kOk;
    DeviceHandle handle = DeviceIo::open(block->devicePath);
    if (!handle) {
        error = kNoHandle;
    } else {
        const uint32_t requestPipe = camproto::kCommandPipe, framePipe = camproto::kFramePipe;
        const uint32_t frameBytes = uint32_t(block->bytesPerFrame);
        int write = 0;
        while (block->stop.load(std::memory_order_acquire) != 1 && error == kOk) {
            uint8_t request[camproto::kBlockSize] = {camproto::kFrameRequest};
            uint32_t returned = 0;
            DeviceIo::control(handle, camproto::kReadReply, &requestPipe, sizeof requestPipe, request, sizeof request,
                              &returned);
            const bool ok = DeviceIo::control(handle, camproto::kReadFrame, &framePipe, sizeof framePipe,
                                              block->ring[write], frameBytes, &returned);
            if (!ok || returned != frameBytes) {
                // The buffer holds a broken frame: leave it unpublished, so the picture stays on the last
                // good one.
                error = kFrameReadFailed;
                break;
            }
            // One step publishes the frame just completed as the newest and picks the next buffer.
            uint64_t word = block->indices.load(std::memory_order_acquire);
            RingIndices next;
            do
                next = ringComplete(RingIndices::unpack(word), block->ringCount);
            while (!block->indices.compare_exchange_weak(word, next.pack(), std::memory_order_acq_rel,
                                                         std::memory_order_acquire));
            write = next.write;
        }
        DeviceIo::close(handle);
    }
    block->error = error;
    block->readFailed = error == kFrameReadFailed ? 1 : 0;
    // Last: whoever sees stop = 1 also sees the error and readFailed above.
    block->stop.store(1, std::memory_order_release);
    return 0;
}

int CameraDevice::StopCapture()
{
    if (m_Capture.stop.load(std::memory_order_acquire) == 1 && m_Capture.readFailed.load() == 0) {
        if (m_CaptureThread.joinable())
            m_CaptureThread.join();  // it has ended by itself: nothing to wait for
        return kOk;
    }
    m_Capture.stop.store(1, std::memory_order_release);
    // The thread finishes its current frame read first.
    if (m_CaptureThread.joinable())
        m_CaptureThread.join();
    const int error = m_Capture.error.load();
    m_Capture.readFailed = 0;
    return error;
}

int CameraDevice::IsFrameReady()
{
    std::lock_guard lock(m_RingMutex);
    if (m_Capture.ringCount < 1)
        return 0;
    uint64_t word = m_Capture.indices.load(std::memory_order_acquire);
    RingIndices state;
    do {
        state = RingIndices::unpack(word);
        if (!ringTakeNewest(state))
            return 0;
    } while (!m_Capture.indices.compare_exchange_weak(word, state.pack(), std::memory_order_acq_rel,
                                                      std::memory_order_acquire));
    return 1;
}

int CameraDevice::GetImage(uint8_t* dst, int dstWidth, int dstHeight, int dstStride)
{
    if (!dst || dstWidth < 1 || dstHeight < 1 || dstStride < dstWidth)
        return kNullBuffer;
    std::lock_guard lock(m_RingMutex);
    const int count = m_Capture.ringCount;
    if (m_Ring.empty() || count < 1 || count > int(m_Ring.size()))
        return kNoMemory;
    uint64_t word = m_Capture.indices.load(std::memory_order_acquire);
    const int read = RingIndices::unpack(word).read;
    // Only a buffer taken by IsFrameReady is complete; while the reader holds it the writer steps over it, so
    // the copy below is never overwritten.
    if (read == RingIndices::kNone || read >= count)
        return kNoFrame;
    const uint8_t* src = m_Ring[size_t(read)] + size_t(m_VerticalOffset) * size_t(m_LineLength) + size_t(m_HorizontalOffset);
    const int rows = std::min(m_ActiveHeight, dstHeight);
    const size_t columns = size_t(std::min(m_ActiveWidth, dstWidth));
    for (int row = 0; row < rows; ++row)
        std::memcpy(dst + size_t(row) * size_t(dstStride), src + size_t(row) * size_t(m_LineLength), columns);
    // Let go of the buffer. Release: the writer that sees it free also sees the copy finished.
    RingIndices state;
    do {
        state = RingIndices::unpack(word);
        state.read = RingIndices::kNone;
    } while (!m_Capture.indices.compare_exchange_weak(word, state.pack(), std::memory_order_acq_rel,
                                                      std::memory_order_acquire));
    return kOk;
}
