#pragma once
// A controller on the far side of a pseudo-terminal, run on its own thread:
// it takes requests in "VortanBus [ASCII] 5040h", "VortanBus [RTU]" or
// "MODBUS [RTU]" framing and answers them as its behaviour says. It frames
// and unframes on its own (it shares no code with the library), and records
// everything it received.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vrt::testing {

enum class WireProtocol { VrtAscii = 0, VrtRtu = 1, ModbusRtu = 2 };

using Bytes = std::vector<uint8_t>;

struct SimBehaviour {
    int status = 1;              // VortanBus status nibble of the answer (1 = success)
    int modbusException = 0;     // MODBUS: non-zero answers an exception with this code
    int delayMs = 0;             // pause between a request and its answer
    bool silent = false;         // never answers
    int silentRequests = 0;      // the next this-many requests get no answer
    Bytes garbage{};             // non-empty: sent in place of the answer frame
    size_t splitAt = 0;          // non-zero: the answer frame goes out in two parts...
    int splitGapMs = 0;          // ...this far apart
    bool echo = false;           // the request's own bytes go back before the answer
    bool echoOnly = false;       // the request's own bytes are the only answer
    int answerAddress = -1;      // the answer's byte 0 (else the request's address)
    int answerCommand = -1;      // the answer's byte 1 as is (else built from the request)
    Bytes data{};                // answer data after byte 1 (else the request's data)
    // When set, builds the whole answer payload from the request payload.
    std::function<Bytes(const Bytes& request)> answer{};
};

class ControllerSim {
public:
    // Works the master side `fd` of a pseudo-terminal (not owned).
    ControllerSim(int fd, WireProtocol protocol, SimBehaviour behaviour = {});
    ~ControllerSim();
    ControllerSim(const ControllerSim&) = delete;
    ControllerSim& operator=(const ControllerSim&) = delete;

    void setBehaviour(SimBehaviour behaviour);

    // Payloads of the well-formed requests, in arrival order.
    std::vector<Bytes> requests() const;
    size_t requestCount() const;
    // Every byte received.
    Bytes received() const;
    // Waits until `count` requests have arrived, at most `timeoutMs`.
    bool waitForRequests(size_t count, int timeoutMs) const;
    void clearRecords();

    // The simulator's own framing.
    static Bytes frame(WireProtocol protocol, const Bytes& payload);
    static uint16_t crc16(const uint8_t* bytes, size_t len);

private:
    void run();
    void takeAsciiFrames();
    void takeRtuFrame();
    void answer(const Bytes& request, const Bytes& rawFrame);
    void sendAll(const Bytes& bytes);
    bool pause(int ms);  // false when stopping

    int fd_;
    WireProtocol protocol_;
    int stopFd_ = -1;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    SimBehaviour behaviour_;
    std::vector<Bytes> requests_;
    Bytes received_;
    Bytes pending_;  // bytes of a frame not complete yet
    std::thread thread_;
};

}  // namespace vrt::testing
