#pragma once
// What the modem dialogue needs of its serial port. The library's own port
// goes through the live table record of the port index (TablePort); tests
// put a fake in its place.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "vrtclnk.h"
#include "vrtcltrn/port_ops.h"

namespace vrt::link {

class ModemPort {
public:
    virtual ~ModemPort() = default;
    // A modem function starts: the port as it is open now is the one it talks to.
    virtual void begin() {}
    virtual bool isOpen() = 0;                 // open, and still the opening of begin()
    virtual void clear() = 0;                  // _vrtCL_fComClear
    virtual void raiseDtr() = 0;
    virtual void purge() = 0;                  // both queues, pending transfers
    // One synchronous write and a flush; false on a device error.
    virtual bool write(const uint8_t* bytes, size_t n, size_t& written) = 0;
    // Bytes waiting in the input queue; false when the device cannot tell.
    virtual bool inputCount(uint32_t& count) = 0;
    // One read under the port's read time-outs; false on a device error.
    // `keepWaiting` runs between its waits, at least every `sliceMs` (it
    // pumps messages and watches for an abort); false ends the read at once
    // with what has arrived.
    virtual bool read(uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
                      const std::function<bool()>& keepWaiting) = 0;
    virtual uint32_t baud() = 0;               // baud rate in force (dcb)
    virtual bool abortRequested() = 0;         // the port's abortEvent
    virtual void requestAbort() = 0;           // _vrtCL_fComSetEvent(port, 1)
    virtual void clearAbort() = 0;
};

// The port of PortTable[index]: every call looks at the live record and at the
// lease taken by begin(), so a close or reopen of the port in the middle of a
// dialogue is seen at the next step and no stale descriptor is ever used.
class TablePort final : public ModemPort {
public:
    explicit TablePort(int32_t index) : index_(index) {}
    void begin() override;
    bool isOpen() override;
    void clear() override;
    void raiseDtr() override;
    void purge() override;
    bool write(const uint8_t* bytes, size_t n, size_t& written) override;
    bool inputCount(uint32_t& count) override;
    bool read(uint8_t* buf, size_t size, size_t& got, uint32_t sliceMs,
              const std::function<bool()>& keepWaiting) override;
    uint32_t baud() override;
    bool abortRequested() override;
    void requestAbort() override;
    void clearAbort() override;

private:
    PortRecord* liveRecord();  // the open record of the leased opening, or null

    int32_t index_;
    std::optional<PortLease> lease_;
};

}  // namespace vrt::link
