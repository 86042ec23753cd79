#include "vrtclmdm/modem_port.h"

#include <atomic>

#include "platform/serial.h"
#include "vrtcltrn/port_table.h"

namespace vrt::link {
namespace serial = vrt::platform::serial;

void TablePort::begin() { lease_.emplace(index_); }

PortRecord* TablePort::liveRecord() {
    if (index_ < 0 || index_ >= VRT_PORT_COUNT) return nullptr;
    if (lease_ && !lease_->valid()) return nullptr;
    PortRecord& r = PortTable[index_];
    return r.phase != 0 ? &r : nullptr;
}

bool TablePort::isOpen() { return liveRecord() != nullptr && _vrtCL_fComIsOpen(index_) > 0; }

void TablePort::clear() {
    if (liveRecord()) _vrtCL_fComClear(index_);
}

void TablePort::raiseDtr() {
    if (PortRecord* r = liveRecord()) serial::setDtr(r->hCom, true);
}

void TablePort::purge() {
    if (PortRecord* r = liveRecord()) serial::purge(r->hCom);
}

bool TablePort::write(const uint8_t* bytes, size_t n, size_t& written) {
    written = 0;
    PortRecord* r = liveRecord();
    if (!r) return false;
    const bool ok = serial::write(r->hCom, bytes, n, written);
    // FlushFileBuffers, bounded by the port's own write limit.
    serial::drain(r->hCom, r->timeouts.writeTotalConstant ? r->timeouts.writeTotalConstant : 1000);
    return ok;
}

bool TablePort::inputCount(uint32_t& count) {
    count = 0;
    PortRecord* r = liveRecord();
    if (!r) return false;
    const int n = serial::inputCount(r->hCom);
    if (n < 0) return false;
    count = uint32_t(n);
    return true;
}

bool TablePort::read(uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
                     const std::function<bool()>& keepWaiting) {
    got = 0;
    PortRecord* r = liveRecord();
    if (!r) return false;
    const serial::Handle h = r->hCom;
    // The handlers run between the waits may close or reopen the port: the
    // descriptor is then no longer this opening's.
    return serial::read(h, buf, size, got, sliceMs, [&] {
        if (keepWaiting && !keepWaiting()) return false;
        const PortRecord* now = liveRecord();
        return now && now->hCom == h;
    });
}

uint32_t TablePort::baud() {
    if (index_ < 0 || index_ >= VRT_PORT_COUNT) return 0;
    return PortTable[index_].dcb.baudRate;
}

bool TablePort::abortRequested() {
    // Hosts may set the flag from another thread: read it afresh every time
    // (the record is packed, so neither an atomic nor a volatile int fits it).
    std::atomic_signal_fence(std::memory_order_seq_cst);
    return index_ >= 0 && index_ < VRT_PORT_COUNT && PortTable[index_].abortEvent != 0;
}

void TablePort::requestAbort() { _vrtCL_fComSetEvent(index_, 1); }

void TablePort::clearAbort() {
    if (liveRecord()) PortTable[index_].abortEvent = 0;
}

}  // namespace vrt::link
