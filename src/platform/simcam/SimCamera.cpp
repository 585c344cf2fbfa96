// The simulated camera's side of the driver contract: request dispatch, command blocks, the sensor's
// register file, replies, and paced frame reads rendered from the mosaic.
#include "platform/simcam/SimCamera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>

#include "platform/CameraProtocol.h"

namespace {

// The sensor's register values after power-on or an initialise command.
constexpr std::pair<uint8_t, uint16_t> kPowerOnRegisters[] = {
    {0, 0x1601}, {1, 20},  {2, 32},   {3, 1535}, {4, 2047}, {5, 142},     {6, 25},      {7, 2},
    {9, 1561},   {30, 0x8000}, {41, 1}, {43, 14}, {44, 14}, {45, 14},    {46, 14},     {53, 14},
    {64, 6},     {74, 96},  {78, 12},  {93, 0x2D13}, {95, 0x231D}, {98, 0x498}, {248, 1},
};

// Registers of the sensor that the simulation acts on.
constexpr int kRegRowStart = 1, kRegColumnStart = 2, kRegHeight = 3, kRegWidth = 4;
constexpr int kRegShutter = 9, kRegReadMode = 32, kRegRowMode = 34, kRegColumnMode = 35;
constexpr int kRegGreen1Gain = 43;  // then blue 44, red 45, green-2 46: the order of the sensor sites
constexpr int kRegGlobalGain = 53;
constexpr uint16_t kMirrorRows = 0x8000, kMirrorShift = 0x0080;

// Exposure reference: default gains (14) and this shutter put the chart's white near 205.
constexpr int kReferenceShutter = 536;
constexpr double kReferenceScale = 0.9;

// Analog gain of a gain register: bits 0-5 in eighths, bit 6 doubles.
double analogGain(uint16_t reg)
{
    return (reg & 0x3F) / 8.0 * ((reg & 0x40) ? 2.0 : 1.0);
}

uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int64_t threadCpuNanos()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

}  // namespace

SimCamera::SimCamera() : m_Start(std::chrono::steady_clock::now())
{
    resetRegisters();
}

bool SimCamera::open()
{
    return !m_OpenFails.load();
}

bool SimCamera::control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                        uint32_t& bytesReturned)
{
    bytesReturned = 0;
    if (!in || inSize < 4)
        return false;
    const uint32_t pipe = readLe32(static_cast<const uint8_t*>(in));
    auto* buffer = static_cast<uint8_t*>(out);

    if (code == camproto::kReadFrame) {
        if (pipe != camproto::kFramePipe)
            return false;
        return readFrame(buffer, outSize, bytesReturned);
    }

    bool ok = false;
    if (buffer && outSize == camproto::kBlockSize) {
        if (code == camproto::kSendCommand && pipe == camproto::kCommandPipe)
            ok = command(buffer, code, pipe);
        else if (code == camproto::kReadReply && pipe == camproto::kCommandPipe)  // the frame request
            ok = command(buffer, code, pipe);
        else if (code == camproto::kReadReply && pipe == camproto::kReplyPipe)
            ok = readReply(buffer);
    }
    if (ok)
        bytesReturned = camproto::kBlockSize;
    return ok;
}

bool SimCamera::command(const uint8_t* block, uint32_t code, uint32_t pipe)
{
    std::lock_guard lock(m_Mutex);
    log(code, pipe, block);
    if (m_CommandsFail)
        return false;
    switch (block[0]) {
    case camproto::kFrameRequest:
        m_FrameRequests = std::min(m_FrameRequests + 1, 4);
        break;
    case camproto::kWriteRegister:
        m_Registers[block[1]] = uint16_t(block[2] << 8 | block[3]);
        break;
    case camproto::kInitialise:
        resetRegisters();
        break;
    case camproto::kTransferSize:
        m_TransferSize = readLe32(block + 1);
        break;
    case camproto::kTransferMode:
        m_TransferMode = block[1] ? 1 : 0;
        break;
    case camproto::kReadRegister: {
        const uint16_t value = m_Registers[block[1]];
        const uint8_t echo[2] = {block[0], block[1]};
        const uint8_t reply[2] = {uint8_t(value >> 8), uint8_t(value & 0xFF)};
        queueReply(echo, reply);
        break;
    }
    case camproto::kSetClock:
        // The camera re-enumerates: pending requests and replies are gone.
        m_HalfClock = block[1] != 0;
        m_Replies.clear();
        m_FrameRequests = 0;
        break;
    case camproto::kGetClock: {
        const uint8_t reply[2] = {uint8_t(m_HalfClock ? 1 : 0), 0};
        queueReply(reply, reply);
        break;
    }
    default:
        break;  // the camera ignores codes it does not know
    }
    return true;
}

void SimCamera::queueReply(const uint8_t* first, const uint8_t* second)
{
    // Each exchange starts afresh: replies nobody read are dropped.
    m_Replies.clear();
    std::array<uint8_t, 64> reply{};
    std::memcpy(reply.data(), first, 2);
    m_Replies.push_back(reply);
    reply.fill(0);
    std::memcpy(reply.data(), second, 2);
    m_Replies.push_back(reply);
}

bool SimCamera::readReply(uint8_t* out)
{
    std::lock_guard lock(m_Mutex);
    const uint8_t none[64] = {};
    log(camproto::kReadReply, camproto::kReplyPipe, none);
    if (m_CommandsFail || m_Replies.empty())
        return false;
    std::memcpy(out, m_Replies.front().data(), camproto::kBlockSize);
    m_Replies.pop_front();
    return true;
}

bool SimCamera::readFrame(uint8_t* out, uint32_t outSize, uint32_t& bytesReturned)
{
    SensorReadout readout;
    FrameExposure exposure;
    double period = 0;
    bool sixteenBit = false, cut = false;
    {
        std::lock_guard lock(m_Mutex);
        const uint8_t none[64] = {};
        log(camproto::kReadFrame, camproto::kFramePipe, none);
        const uint64_t expected = uint64_t(m_TransferSize) * (m_TransferMode ? 2 : 1);
        if (!out || expected == 0 || outSize != expected || m_FrameRequests == 0)
            return false;
        --m_FrameRequests;
        if (m_Fault != FrameFault::None && m_FaultAfter-- == 0) {
            const FrameFault fault = m_Fault;
            m_Fault = FrameFault::None;
            if (fault == FrameFault::Fail)
                return false;
            cut = true;
        }
        readout = readoutLocked();
        exposure = exposureLocked();
        sixteenBit = m_TransferMode != 0;
        period = framePeriod(readout.activeWidth(), readout.activeHeight(), m_Registers[kRegShutter] & 0x3FFF,
                             m_HalfClock);
    }

    std::lock_guard frameLock(m_FrameMutex);
    const auto now = std::chrono::steady_clock::now();
    const uint64_t frame = m_Frames.load();
    if (m_Paced) {
        const auto step = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(period));
        if (m_NextFrame + step < now)  // the sensor ran on while nobody read: the next frame is one away
            m_NextFrame = now + step;
        std::this_thread::sleep_until(m_NextFrame);
        m_NextFrame += step;
        exposure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
    } else {
        exposure.seconds = double(frame) * period;  // scene time by frames: repeatable
    }
    exposure.frameIndex = frame;

    const int64_t cpuStart = threadCpuNanos();
    SimFocus focus = this->focus();
    if (const double sweep = m_SweepSeconds.load(); focus.tilted && sweep > 0) {
        // Steps of 1/128 of the range: the blurred chart is made again only when the knob has moved a step.
        const double phase = std::fmod(exposure.seconds, sweep) / sweep;
        focus.position = std::round((0.5 - 0.5 * std::cos(2 * std::acos(-1.0) * phase)) * 128) / 128;
    }
    m_Mosaic.prepare(readout, focus);
    m_Mosaic.render(out, outSize, sixteenBit, exposure);
    m_RenderCpuNanos += threadCpuNanos() - cpuStart;
    m_Frames.fetch_add(1);
    bytesReturned = cut ? outSize / 2 : outSize;
    return true;
}

void SimCamera::resetRegisters()
{
    m_Registers.fill(0);
    for (const auto& [reg, value] : kPowerOnRegisters)
        m_Registers[reg] = value;
    m_Replies.clear();
    m_FrameRequests = 0;
}

void SimCamera::log(uint32_t code, uint32_t pipe, const uint8_t* block)
{
    if (!m_Logging)
        return;
    Request request;
    request.code = code;
    request.pipe = pipe;
    std::memcpy(request.block.data(), block, request.block.size());
    m_Log.push_back(request);
}

void SimCamera::setLogging(bool on)
{
    std::lock_guard lock(m_Mutex);
    m_Logging = on;
}

std::vector<SimCamera::Request> SimCamera::takeLog()
{
    std::lock_guard lock(m_Mutex);
    return std::exchange(m_Log, {});
}

void SimCamera::injectFrameFault(FrameFault fault, int after)
{
    std::lock_guard lock(m_Mutex);
    m_Fault = fault;
    m_FaultAfter = std::max(after, 0);
}

uint16_t SimCamera::registerValue(int reg) const
{
    std::lock_guard lock(m_Mutex);
    return reg >= 0 && reg < 256 ? m_Registers[size_t(reg)] : 0;
}

bool SimCamera::halfClock() const
{
    std::lock_guard lock(m_Mutex);
    return m_HalfClock;
}

uint32_t SimCamera::transferSize() const
{
    std::lock_guard lock(m_Mutex);
    return m_TransferSize;
}

int SimCamera::transferMode() const
{
    std::lock_guard lock(m_Mutex);
    return m_TransferMode;
}

SensorReadout SimCamera::readout() const
{
    std::lock_guard lock(m_Mutex);
    return readoutLocked();
}

double SimCamera::framePeriodSeconds() const
{
    std::lock_guard lock(m_Mutex);
    const SensorReadout r = readoutLocked();
    return framePeriod(r.activeWidth(), r.activeHeight(), m_Registers[kRegShutter] & 0x3FFF, m_HalfClock);
}

double SimCamera::framePeriod(int activeWidth, int activeHeight, int shutterRows, bool halfClock)
{
    const double lines = std::max(activeHeight + camproto::kFrameBlankLines, shutterRows);
    const double clock = halfClock ? kHalfPixelClockHz : kPixelClockHz;
    return lines * (activeWidth + camproto::kLineBlanking) / clock;
}

SensorReadout SimCamera::readoutLocked() const
{
    // Registers may hold anything a client wrote: keep the window on the sensor.
    SensorReadout r;
    r.x = std::clamp(int(m_Registers[kRegColumnStart]) - camproto::kColumnStart, 0, camproto::kSensorWidth - 1);
    r.y = std::clamp(int(m_Registers[kRegRowStart]) - camproto::kRowStart, 0, camproto::kSensorHeight - 1);
    r.width = std::clamp(int(m_Registers[kRegWidth]) + 1, 1, camproto::kSensorWidth - r.x);
    r.height = std::clamp(int(m_Registers[kRegHeight]) + 1, 1, camproto::kSensorHeight - r.y);
    r.rowSkip = (m_Registers[kRegRowMode] & 7) + 1;
    r.columnSkip = (m_Registers[kRegColumnMode] & 7) + 1;
    r.mirror = (m_Registers[kRegReadMode] & kMirrorRows) != 0;
    r.mirrorShift = (m_Registers[kRegReadMode] & kMirrorShift) != 0;
    return r;
}

FrameExposure SimCamera::exposureLocked() const
{
    FrameExposure e;
    const double reference = analogGain(14) * analogGain(14);
    const double global = analogGain(m_Registers[kRegGlobalGain]);
    const double shutter = double(m_Registers[kRegShutter] & 0x3FFF) / kReferenceShutter;
    double colourSum = 0;
    for (int site = 0; site < 4; ++site) {
        const double colour = analogGain(m_Registers[size_t(kRegGreen1Gain + site)]);
        colourSum += colour;
        e.siteGain[site] = global * colour / reference * shutter * kReferenceScale;
    }
    const double analog = global * colourSum / 4 / reference;
    e.noiseLevel = !m_Noise ? -1 : analog < 1.2 ? 0 : analog < 2.5 ? 1 : analog < 5 ? 2 : 3;
    e.motion = m_Motion;
    return e;
}

void SimCamera::setFocus(double position)
{
    m_FocusPosition = std::clamp(position, 0.0, 1.0);
    m_Tilted = true;
}

void SimCamera::clearFocus()
{
    m_Tilted = false;
    m_SweepSeconds = 0.0;
}

void SimCamera::setFocusSweep(double periodSeconds)
{
    m_SweepSeconds = std::max(periodSeconds, 0.0);
    m_Tilted = true;
}

bool SimCamera::applyFocusSetting(const std::string& text)
{
    constexpr double kDefaultSweepSeconds = 12.0;
    char* end = nullptr;
    if (text == "sweep") {
        setFocusSweep(kDefaultSweepSeconds);
        return true;
    }
    if (text.rfind("sweep:", 0) == 0) {
        const double seconds = std::strtod(text.c_str() + 6, &end);
        if (end == text.c_str() + 6 || *end != '\0' || !(seconds >= 1.0 && seconds <= 3600.0))
            return false;
        setFocusSweep(seconds);
        return true;
    }
    const double position = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(position >= 0.0 && position <= 1.0))
        return false;
    setFocus(position);
    return true;
}

SimFocus SimCamera::focus() const
{
    return { m_Tilted.load(), m_FocusPosition.load() };
}

std::shared_ptr<SimCamera> installSimulatedCamera(int index)
{
    char path[64];
    std::snprintf(path, sizeof path, camproto::kPathFormat, camproto::kBaseName, index);
    auto camera = std::make_shared<SimCamera>();
    DeviceIo::registerDevice(path, camera);
    return camera;
}

void uninstallSimulatedCamera(int index)
{
    char path[64];
    std::snprintf(path, sizeof path, camproto::kPathFormat, camproto::kBaseName, index);
    DeviceIo::unregisterDevice(path);
}
