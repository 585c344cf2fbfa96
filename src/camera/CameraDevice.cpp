// CameraDevice: finding and opening the device, command blocks, the register table and registers, the
// capture window, and the parameter setters and getters. The capture engine is in CameraCapture.cpp.
#include "camera/CameraDevice.h"

#include <cstdio>
#include <cstring>

#include "platform/CameraProtocol.h"
#include "platform/Clock.h"
#include "platform/DeviceIo.h"

namespace {

// The register table: the sensor's starting value of every register the viewer may read and write.
constexpr std::pair<uint8_t, uint16_t> kRegisterTable[] = {
    {0, 0x1601}, {1, 20},  {2, 32},  {3, 1535}, {4, 2047}, {5, 142},     {6, 25},  {7, 2},       {8, 0},
    {9, 1561},   {11, 0},  {12, 0},  {13, 0},   {30, 0x8000}, {32, 0},   {33, 0},  {34, 0},      {35, 0},
    {41, 1},     {43, 14}, {44, 14}, {45, 14},  {46, 14},  {53, 14},     {63, 0},  {64, 6},      {73, 0},
    {74, 96},    {78, 12}, {93, 0x2D13}, {95, 0x231D}, {96, 0}, {97, 0}, {98, 0x498}, {99, 0}, {100, 0},
    {248, 1},
};

// Fixed values written at every open, in this order.
constexpr std::pair<uint8_t, uint16_t> kOpenWrites[] = {
    {43, 14}, {44, 14}, {45, 14}, {46, 14}, {53, 14}, {41, 1}, {63, 0}, {64, 6}, {74, 96}, {78, 12},
};

// Sleeps of the open sequence, milliseconds: the sensor needs them to settle.
constexpr uint32_t kInitialiseSettleMs = 100;
constexpr uint32_t kRegisterSettleMs = 30;

constexpr int kRegRowStart = 1, kRegColumnStart = 2, kRegHeight = 3, kRegWidth = 4;
constexpr int kRegHorizontalBlank = 5, kRegVerticalBlank = 6, kRegReset = 13, kRegReadMode1 = 30;
constexpr int kRegRowMode = 34, kRegColumnMode = 35;
constexpr uint16_t kReadMode1Bit8 = 0x0100;
constexpr uint16_t kMirrorRows = 0x8000, kMirrorShift = 0x0080;

std::atomic<void (*)(uint32_t)> g_sleepHook{nullptr};

}  // namespace

void CameraDevice::setSleepHook(void (*sleep)(uint32_t ms))
{
    g_sleepHook = sleep;
}

void CameraDevice::sleepMs(uint32_t ms)
{
    if (auto hook = g_sleepHook.load())
        hook(ms);
    else
        Sleep(ms);
}

CameraDevice::CameraDevice()
{
    std::snprintf(m_BaseName, sizeof m_BaseName, "%s", camproto::kBaseName);
    ProbeDevices();
    Open(0);
}

CameraDevice::~CameraDevice()
{
    StopCapture();
    std::lock_guard lock(m_RingMutex);
    freeRing();
}

void CameraDevice::ProbeDevices()
{
    std::lock_guard lock(m_IoMutex);
    for (int index = 0; index < kDeviceCount; ++index) {
        std::snprintf(m_DevicePath, sizeof m_DevicePath, camproto::kPathFormat, m_BaseName, index);
        DeviceHandle handle = DeviceIo::open(m_DevicePath);
        m_Present[size_t(index)] = handle ? 1 : 0;
        DeviceIo::close(handle);
    }
    // The path follows the current index: probing must not leave the requests aimed at the last index tried.
    m_CurrentIndex = 0;
    std::snprintf(m_DevicePath, sizeof m_DevicePath, camproto::kPathFormat, m_BaseName, 0);
}

int CameraDevice::IsPresent(int index) const
{
    return index >= 0 && index < kDeviceCount ? m_Present[size_t(index)] : 0;
}

int CameraDevice::SelectDevice(int index)
{
    if (index < 0 || index > kDeviceCount)
        return kBadIndex;
    std::lock_guard lock(m_IoMutex);
    m_CurrentIndex = index;
    std::snprintf(m_DevicePath, sizeof m_DevicePath, camproto::kPathFormat, m_BaseName, index);
    return kOk;
}

int CameraDevice::Open(int index)
{
    resetGeometry();
    m_TransferMode = 0;
    if (SelectDevice(index) != kOk)
        return kBadIndex;
    SetTransferMode(0);
    sendCommand(camproto::kInitialise);
    // At the first open the table is still empty and this sends nothing; at a re-open it does.
    WriteRegister(kRegReset, 0);
    sleepMs(kInitialiseSettleMs);
    fillRegisterTable();
    for (const auto& [reg, value] : kOpenWrites) {
        WriteRegister(reg, value);
        sleepMs(kRegisterSettleMs);
    }
    SetWindow(0, 0, kSensorWidth, kSensorHeight, 0);
    SetMirror(0);
    uint16_t readMode = 0;
    ReadRegister(kRegReadMode1, &readMode);
    WriteRegister(kRegReadMode1, uint16_t(readMode & ~kReadMode1Bit8));
    return kOk;
}

void CameraDevice::fillRegisterTable()
{
    std::lock_guard lock(m_IoMutex);
    m_Registers.fill(RegisterInfo{});
    for (const auto& [reg, value] : kRegisterTable)
        m_Registers[reg] = RegisterInfo{value, 1, 1};
}

CameraDevice::RegisterInfo CameraDevice::registerInfo(int reg) const
{
    std::lock_guard lock(m_IoMutex);
    return reg >= 0 && reg < 256 ? m_Registers[size_t(reg)] : RegisterInfo{};
}

int CameraDevice::transact(const uint8_t* block, uint8_t* reply)
{
    std::lock_guard lock(m_IoMutex);
    DeviceHandle handle = DeviceIo::open(m_DevicePath);
    if (!handle)
        return kNoHandle;
    const uint32_t commandPipe = camproto::kCommandPipe, replyPipe = camproto::kReplyPipe;
    // The driver takes the block through the output buffer of the request.
    uint8_t out[camproto::kBlockSize];
    std::memcpy(out, block, sizeof out);
    uint32_t returned = 0;
    bool ok = DeviceIo::control(handle, camproto::kSendCommand, &commandPipe, sizeof commandPipe, out, sizeof out,
                                &returned) &&
              returned == camproto::kBlockSize;
    if (ok && reply) {
        // Two replies come back; the second carries the answer and decides.
        uint8_t first[camproto::kBlockSize] = {};
        DeviceIo::control(handle, camproto::kReadReply, &replyPipe, sizeof replyPipe, first, sizeof first, &returned);
        ok = DeviceIo::control(handle, camproto::kReadReply, &replyPipe, sizeof replyPipe, reply,
                               camproto::kBlockSize, &returned) &&
             returned == camproto::kBlockSize;
    }
    DeviceIo::close(handle);
    return ok ? kOk : kTransferFailed;
}

int CameraDevice::sendCommand(uint8_t code, uint8_t byte1)
{
    uint8_t block[camproto::kBlockSize] = {code, byte1};
    return transact(block, nullptr);
}

int CameraDevice::SetTransferMode(int mode)
{
    m_TransferMode = mode;
    sendCommand(camproto::kTransferMode, mode ? 1 : 0);
    return 1;
}

int CameraDevice::SendTransferSize()
{
    const uint32_t length = uint32_t(m_TransferLength);
    uint8_t block[camproto::kBlockSize] = {camproto::kTransferSize, uint8_t(length & 0xFF), uint8_t(length >> 8 & 0xFF),
                                           uint8_t(length >> 16 & 0xFF), uint8_t(length >> 24)};
    transact(block, nullptr);
    return 1;
}

int CameraDevice::WriteRegister(int reg, uint16_t value)
{
    if (!registerInfo(reg).writable)
        return 0;
    uint8_t block[camproto::kBlockSize] = {camproto::kWriteRegister, uint8_t(reg), uint8_t(value >> 8),
                                           uint8_t(value & 0xFF)};
    return transact(block, nullptr) == kOk ? 1 : 0;
}

int CameraDevice::ReadRegister(int reg, uint16_t* value)
{
    if (!value || !registerInfo(reg).readable)
        return 0;
    uint8_t block[camproto::kBlockSize] = {camproto::kReadRegister, uint8_t(reg)};
    uint8_t reply[camproto::kBlockSize] = {};
    if (transact(block, reply) != kOk) {
        *value = 0;
        return 0;
    }
    *value = uint16_t(reply[0] << 8 | reply[1]);
    return 1;
}

int CameraDevice::SetWindow(int x, int y, int width, int height, int skip)
{
    // Subtracted, not added: a window read from a settings file must not overflow into range.
    if (x < 0 || y < 0 || width < 4 || height < 3 || width > kSensorWidth - x || height > kSensorHeight - y ||
        skip < 0 || skip > 3)
        return kBadBounds;
    const int divisor = 1 << skip;
    // A skipped window without a pixel has no geometry: refused like any other bound.
    if (width / divisor < 1 || height / divisor < 1)
        return kBadBounds;
    // The ring is laid out for the running capture's window: the sensor keeps that window until it stops.
    if (isCapturing())
        return kAlreadyRunning;
    uint16_t rowMode = 0, columnMode = 0;
    ReadRegister(kRegRowMode, &rowMode);
    ReadRegister(kRegColumnMode, &columnMode);
    // Bits 0-2 select the skip pattern; bits 4-5 are always cleared.
    static constexpr uint16_t kKeep[4] = {0xFFC8, 0xFFC9, 0xFFCB, 0xFFCF};
    static constexpr uint16_t kSet[4] = {0, 1, 3, 7};
    rowMode = uint16_t((rowMode & kKeep[skip]) | kSet[skip]);
    columnMode = uint16_t((columnMode & kKeep[skip]) | kSet[skip]);
    m_WindowX = x, m_WindowY = y, m_WindowWidth = width, m_WindowHeight = height;

    SetGeometry(width / divisor + camproto::kLineBlanking, camproto::kLineOffset, width / divisor,
                height / divisor + camproto::kFrameBlankLines, 0, height / divisor, kRingBuffers);

    WriteRegister(kRegRowStart, uint16_t(y + camproto::kRowStart));
    WriteRegister(kRegColumnStart, uint16_t(x + camproto::kColumnStart));
    WriteRegister(kRegHeight, uint16_t(height - 1));
    WriteRegister(kRegWidth, uint16_t(width - 1));
    WriteRegister(kRegHorizontalBlank, 42);
    WriteRegister(kRegVerticalBlank, 48);
    WriteRegister(kRegRowMode, rowMode);
    WriteRegister(kRegColumnMode, columnMode);
    return kOk;
}

int CameraDevice::SetMirror(int on)
{
    uint16_t value = 0;
    ReadRegister(kRegMirror, &value);
    if (on == 1) {
        value |= kMirrorRows;
        // The companion bit keeps the colour pattern's phase when the mirrored readout starts on the
        // window's last row.
        if (m_WindowHeight % 2 == 0)
            value |= kMirrorShift;
        else
            value &= uint16_t(~kMirrorShift);
    } else {
        value &= uint16_t(~(kMirrorRows | kMirrorShift));
    }
    WriteRegister(kRegMirror, value);
    return kOk;
}

int CameraDevice::SetClock(int on)
{
    const int sent = sendCommand(camproto::kSetClock, on ? 1 : 0);
    Open(m_CurrentIndex);
    return sent != kNoHandle ? 1 : 0;
}

int CameraDevice::GetClock(int* on)
{
    uint8_t block[camproto::kBlockSize] = {camproto::kGetClock};
    uint8_t reply[camproto::kBlockSize] = {};
    const bool ok = transact(block, reply) == kOk;
    if (on)
        *on = ok && reply[0] != 0 ? 1 : 0;
    return ok ? 1 : 0;
}

namespace {

bool isColorGainRegister(int reg)
{
    return reg >= CameraDevice::kRegGreen1Gain && reg <= CameraDevice::kRegGreen2Gain;
}

}  // namespace

int CameraDevice::SetColorGain(int reg, uint8_t value)
{
    return isColorGainRegister(reg) ? WriteRegister(reg, value) : 0;
}

int CameraDevice::GetColorGain(int reg, uint8_t* value)
{
    if (!isColorGainRegister(reg) || !value)
        return 0;
    uint16_t v = 0;
    const int result = ReadRegister(reg, &v);
    *value = uint8_t(v & 0x7F);
    return result;
}

int CameraDevice::GetColorGainMin(int reg, uint8_t* value)
{
    if (!isColorGainRegister(reg) || !value)
        return 0;
    *value = 0;
    return 1;
}

int CameraDevice::GetColorGainMax(int reg, uint8_t* value)
{
    if (!isColorGainRegister(reg) || !value)
        return 0;
    *value = 127;
    return 1;
}

int CameraDevice::SetGlobalGain(uint8_t value)
{
    return WriteRegister(kRegGlobalGain, uint16_t(value & 0x7F));
}

uint8_t CameraDevice::GetGlobalGain()
{
    uint8_t v = 0;
    GetGlobalGain(&v);
    return v;
}

int CameraDevice::GetGlobalGain(uint8_t* value)
{
    uint16_t v = 0;
    if (!value || !ReadRegister(kRegGlobalGain, &v))
        return 0;
    *value = uint8_t(v & 0x7F);
    return 1;
}

int CameraDevice::SetShutter(uint16_t value)
{
    return WriteRegister(kRegShutter, uint16_t(value & 0x3FFF));
}

int CameraDevice::GetShutter(uint16_t* value)
{
    return ReadRegister(kRegShutter, value);
}
