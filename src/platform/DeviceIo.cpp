// The registry of devices by path and the handles opened on them.
#include "platform/DeviceIo.h"

#include <atomic>
#include <map>
#include <mutex>

namespace {

// One registration. A handle keeps its entry alive, so a driver that is taken away while handles are
// open stays valid memory; the removed flag makes those handles fail instead of reaching it.
struct Entry {
    std::shared_ptr<DeviceDriver> driver;
    std::atomic<bool> removed{false};
    std::atomic<int> handles{0};
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Entry>> devices;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

std::shared_ptr<Entry> find(const std::string& path)
{
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.devices.find(path);
    return it == reg.devices.end() ? nullptr : it->second;
}

}  // namespace

struct DeviceHandleData {
    std::shared_ptr<Entry> entry;
};

void DeviceIo::registerDevice(const std::string& path, std::shared_ptr<DeviceDriver> driver)
{
    auto entry = std::make_shared<Entry>();
    entry->driver = std::move(driver);
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto& slot = reg.devices[path];
    if (slot)
        slot->removed = true;
    slot = std::move(entry);
}

bool DeviceIo::unregisterDevice(const std::string& path)
{
    Registry& reg = registry();
    std::lock_guard lock(reg.mutex);
    auto it = reg.devices.find(path);
    if (it == reg.devices.end())
        return false;
    it->second->removed = true;
    reg.devices.erase(it);
    return true;
}

DeviceHandle DeviceIo::open(const char* path)
{
    if (!path)
        return nullptr;
    std::shared_ptr<Entry> entry = find(path);
    if (!entry || !entry->driver || !entry->driver->open())
        return nullptr;
    entry->handles.fetch_add(1);
    return new DeviceHandleData{std::move(entry)};
}

bool DeviceIo::control(DeviceHandle handle, uint32_t code, const void* in, uint32_t inSize, void* out,
                       uint32_t outSize, uint32_t* bytesReturned)
{
    uint32_t returned = 0;
    bool ok = false;
    if (handle && !handle->entry->removed.load()) {
        ok = handle->entry->driver->control(code, in, inSize, out, outSize, returned);
        if (!ok)
            returned = 0;
    }
    if (bytesReturned)
        *bytesReturned = returned;
    return ok;
}

void DeviceIo::close(DeviceHandle handle)
{
    if (!handle)
        return;
    handle->entry->handles.fetch_sub(1);
    delete handle;
}

int DeviceIo::openHandles(const std::string& path)
{
    std::shared_ptr<Entry> entry = find(path);
    return entry ? entry->handles.load() : 0;
}
