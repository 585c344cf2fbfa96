// The camera driver's wire contract: device names, control request codes, pipes and command blocks.
// Both sides use it: the camera code that sends, and the simulated driver that answers.
#pragma once

#include <cstdint>

namespace camproto {

// Device path format and the driver's base name: "\\.\VzmCapDev-0" for index 0.
inline constexpr char kPathFormat[] = "\\\\.\\%s-%d";
inline constexpr char kBaseName[] = "VzmCapDev";
inline constexpr int kMaxDevices = 8;

// Control requests. The pipe number goes in a 4-byte input buffer.
inline constexpr uint32_t kSendCommand = 0x222051;  // pipe 0, output buffer = the command block
inline constexpr uint32_t kReadReply = 0x22204E;    // pipe 1: read a reply; pipe 0: the frame request
inline constexpr uint32_t kReadFrame = 0x2220A9;    // pipe 2: one whole frame into the output buffer

inline constexpr uint32_t kCommandPipe = 0;
inline constexpr uint32_t kReplyPipe = 1;
inline constexpr uint32_t kFramePipe = 2;

inline constexpr uint32_t kBlockSize = 64;

// Command codes (byte 0 of a block).
inline constexpr uint8_t kFrameRequest = 2;
inline constexpr uint8_t kWriteRegister = 4;  // bytes 1-3: register, value high, value low
inline constexpr uint8_t kInitialise = 6;
inline constexpr uint8_t kTransferSize = 9;   // bytes 1-4: transfer length in pixels, little-endian
inline constexpr uint8_t kTransferMode = 10;  // byte 1: 1 = 16 bits per pixel, 0 = 8
inline constexpr uint8_t kReadRegister = 12;  // byte 1: register; two replies, the second holds the value
inline constexpr uint8_t kSetClock = 0x23;    // byte 1: 1 = half clock
inline constexpr uint8_t kGetClock = 0x24;    // two replies, byte 0 non-zero = half clock

// Frame layout produced by the camera: each line carries this many pixels besides the window's, and the
// window's pixels start at this offset in the line.
inline constexpr int kLineBlanking = 413;
inline constexpr int kLineOffset = 396;
// Extra lines of a frame (vertical blanking) that are not transferred.
inline constexpr int kFrameBlankLines = 20;

// Sensor size and the sensor's first active row and column.
inline constexpr int kSensorWidth = 2048;
inline constexpr int kSensorHeight = 1536;
inline constexpr int kRowStart = 20;
inline constexpr int kColumnStart = 32;

}  // namespace camproto
