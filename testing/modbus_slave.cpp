#include "testing/modbus_slave.h"

#include <modbus/modbus.h>
#include <stdexcept>
#include <unistd.h>

namespace vrt::testing {

ModbusSlave::ModbusSlave(int fd, int slaveId, const std::vector<uint16_t>& registers) {
    // The device name is never opened: the context works on our descriptor.
    ctx_ = modbus_new_rtu("/dev/null", 19200, 'E', 8, 1);
    if (!ctx_) throw std::runtime_error("modbus_new_rtu failed");
    map_ = modbus_mapping_new(0, 0, int(registers.size()), 0);
    if (!map_) {
        modbus_free(ctx_);
        throw std::runtime_error("modbus_mapping_new failed");
    }
    for (size_t i = 0; i < registers.size(); ++i) map_->tab_registers[i] = registers[i];
    modbus_set_slave(ctx_, slaveId);
    modbus_set_socket(ctx_, dup(fd));
    // Short waits for the next request so the thread notices a stop quickly.
    modbus_set_indication_timeout(ctx_, 0, 50000);
    thread_ = std::thread([this] { run(); });
}

ModbusSlave::~ModbusSlave() {
    stopping_ = true;
    thread_.join();
    const int s = modbus_get_socket(ctx_);
    modbus_set_socket(ctx_, -1);  // modbus_close would rewrite the pty's settings
    if (s >= 0) ::close(s);
    modbus_mapping_free(map_);
    modbus_free(ctx_);
}

void ModbusSlave::run() {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stopping_) {
        const int rc = modbus_receive(ctx_, query);
        if (rc > 0 && modbus_reply(ctx_, query, rc, map_) > 0) ++replies_;
    }
}

}  // namespace vrt::testing
