// Device I/O: opening by path, dispatch of control requests, devices that go away, handles counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/DeviceIo.h"

namespace {

// Answers every request by echoing the code into the output buffer.
class EchoDriver : public DeviceDriver {
public:
    bool refuseOpen = false;
    std::atomic<int> requests{0};

    bool open() override { return !refuseOpen; }
    bool control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                 uint32_t& bytesReturned) override
    {
        ++requests;
        if (code == 0xDEAD || !in || inSize < 4 || !out || outSize < 4)
            return false;
        std::memcpy(out, &code, 4);
        bytesReturned = 4;
        return true;
    }
};

const char* const kPath = "\\\\.\\DeviceIoTest-0";

}  // namespace

TEST(DeviceIo, Open_UnknownPathFails_RegisteredPathOpens)
{
    EXPECT_EQ(DeviceIo::open("\\\\.\\NoSuchDevice-0"), nullptr);
    EXPECT_EQ(DeviceIo::open(nullptr), nullptr);

    auto driver = std::make_shared<EchoDriver>();
    DeviceIo::registerDevice(kPath, driver);
    DeviceHandle handle = DeviceIo::open(kPath);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(DeviceIo::openHandles(kPath), 1);
    DeviceIo::close(handle);
    EXPECT_EQ(DeviceIo::openHandles(kPath), 0);
    DeviceIo::close(nullptr);

    driver->refuseOpen = true;  // a device that does not answer
    EXPECT_EQ(DeviceIo::open(kPath), nullptr);
    EXPECT_EQ(DeviceIo::openHandles(kPath), 0);
    EXPECT_TRUE(DeviceIo::unregisterDevice(kPath));
    EXPECT_FALSE(DeviceIo::unregisterDevice(kPath));
}

TEST(DeviceIo, Control_ReachesDriver_FailureReturnsZeroBytes)
{
    auto driver = std::make_shared<EchoDriver>();
    DeviceIo::registerDevice(kPath, driver);
    DeviceHandle handle = DeviceIo::open(kPath);
    ASSERT_NE(handle, nullptr);

    uint32_t pipe = 0, out = 0, returned = 99;
    EXPECT_TRUE(DeviceIo::control(handle, 0x222051, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(out, 0x222051u);
    EXPECT_EQ(returned, 4u);

    returned = 99;
    EXPECT_FALSE(DeviceIo::control(handle, 0xDEAD, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_FALSE(DeviceIo::control(nullptr, 0x222051, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_TRUE(DeviceIo::control(handle, 0x222051, &pipe, 4, &out, 4, nullptr));

    DeviceIo::close(handle);
    DeviceIo::unregisterDevice(kPath);
}

TEST(DeviceIo, Unplugged_OpenHandlesGoDead_ReplacedDeviceToo)
{
    auto first = std::make_shared<EchoDriver>();
    DeviceIo::registerDevice(kPath, first);
    DeviceHandle handle = DeviceIo::open(kPath);
    ASSERT_NE(handle, nullptr);

    // Replaced: the old handle no longer reaches the old driver, new opens reach the new one.
    auto second = std::make_shared<EchoDriver>();
    DeviceIo::registerDevice(kPath, second);
    uint32_t pipe = 0, out = 0, returned = 0;
    EXPECT_FALSE(DeviceIo::control(handle, 1, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(first->requests.load(), 0);
    DeviceHandle fresh = DeviceIo::open(kPath);
    EXPECT_TRUE(DeviceIo::control(fresh, 1, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(second->requests.load(), 1);

    // Unplugged: the handle fails, closing it still works, nothing opens any more.
    DeviceIo::unregisterDevice(kPath);
    EXPECT_FALSE(DeviceIo::control(fresh, 1, &pipe, 4, &out, 4, &returned));
    EXPECT_EQ(DeviceIo::open(kPath), nullptr);
    DeviceIo::close(fresh);
    DeviceIo::close(handle);
}

TEST(DeviceIo, Concurrent_RequestsAndUnplug_NoRaceNoCrash)
{
    // Several threads open, send and close while another unplugs and plugs the device.
    auto driver = std::make_shared<EchoDriver>();
    DeviceIo::registerDevice(kPath, driver);
    std::atomic<bool> done{false};
    std::vector<std::thread> users;
    for (int t = 0; t < 3; ++t)
        users.emplace_back([&] {
            while (!done) {
                DeviceHandle handle = DeviceIo::open(kPath);
                uint32_t pipe = 0, out = 0, returned = 0;
                DeviceIo::control(handle, 1, &pipe, 4, &out, 4, &returned);
                DeviceIo::close(handle);
            }
        });
    for (int i = 0; i < 200; ++i) {
        DeviceIo::unregisterDevice(kPath);
        DeviceIo::registerDevice(kPath, driver);
    }
    done = true;
    for (auto& user : users)
        user.join();
    EXPECT_EQ(DeviceIo::openHandles(kPath), 0);
    DeviceIo::unregisterDevice(kPath);
}
