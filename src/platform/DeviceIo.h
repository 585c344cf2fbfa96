// Device I/O by path: open a device, send it control requests with in and out buffers, close it. Devices
// are software drivers registered under a path (the camera's is "\\.\VzmCapDev-0"); this is how the
// camera code reaches its driver, and how tests put a driver of their own in its place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// A driver behind a device path. Requests can arrive from several threads at once: a driver guards its
// own state.
class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;

    // Asked when a handle is opened; false refuses the open (the device does not answer).
    virtual bool open() { return true; }

    // One control request. On success returns true and sets bytesReturned to the bytes placed in (or, for
    // requests that carry data in the output buffer, taken from) out.
    virtual bool control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                         uint32_t& bytesReturned) = 0;
};

struct DeviceHandleData;
// An open device; nullptr is the invalid handle.
using DeviceHandle = DeviceHandleData*;

class DeviceIo {
public:
    // Puts driver at path, replacing any driver there. Handles open on a replaced driver go dead.
    static void registerDevice(const std::string& path, std::shared_ptr<DeviceDriver> driver);
    // Takes the device away, as when it is unplugged: open handles go dead (every request on them fails)
    // and new opens fail. Returns false when nothing was registered at path.
    static bool unregisterDevice(const std::string& path);

    // nullptr when no device is registered at path or its driver refuses.
    static DeviceHandle open(const char* path);
    // False on a null or dead handle or when the driver fails the request; bytesReturned is 0 then.
    static bool control(DeviceHandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                        uint32_t outSize, uint32_t* bytesReturned);
    // Closing nullptr does nothing.
    static void close(DeviceHandle handle);

    // Handles currently open on the device at path (0 when none is registered there).
    static int openHandles(const std::string& path);
};
