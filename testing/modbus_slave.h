#pragma once
// A MODBUS RTU slave made with libmodbus, serving holding registers on the
// master side of a pseudo-terminal from its own thread: a real, independent
// peer for the library's MODBUS requests.
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

typedef struct _modbus modbus_t;
typedef struct _modbus_mapping_t modbus_mapping_t;

namespace vrt::testing {

class ModbusSlave {
public:
    // Serves `registers` as holding registers 0..n-1 under `slaveId` on `fd`
    // (the fd is not owned; the slave works on a duplicate).
    ModbusSlave(int fd, int slaveId, const std::vector<uint16_t>& registers);
    ~ModbusSlave();
    ModbusSlave(const ModbusSlave&) = delete;
    ModbusSlave& operator=(const ModbusSlave&) = delete;

    // Requests answered so far (exceptions included).
    int replies() const { return replies_; }

private:
    void run();

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::atomic<bool> stopping_{false};
    std::atomic<int> replies_{0};
    std::thread thread_;
};

}  // namespace vrt::testing
