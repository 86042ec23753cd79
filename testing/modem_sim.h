#pragma once
// A Hayes modem on the master side of a pseudo-terminal: answers AT command
// lines (CR-terminated) with verbose result words, dials into a chosen result,
// and after CONNECT passes data to a handler until "+++" brings it back to
// command mode. As a real modem, it gives no result word to a line without
// "AT" (a bare "+++" in command mode among them). It records every byte it
// received.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vrt::testing {

class ModemSim {
public:
    enum class Dial { Connect, Busy, NoCarrier, NoAnswer, NoDialtone, Ok, Silent };

    // Turns the data received while online into an answer. It may leave
    // bytes of an incomplete frame in `pending` for the next call.
    using DataHandler = std::function<std::vector<uint8_t>(std::vector<uint8_t>& pending)>;

    struct Options {
        bool echo = true;                  // echo command lines; ATE0 / ATE1 switch it
        bool silent = false;               // answers nothing at all (a modem switched off)
        std::string unanswered{};          // a command line it neither echoes nor answers
        std::string quietAfter{};          // once it gets this command line it goes quiet for good
        Dial dial = Dial::Connect;         // the result of ATD...
        std::string connectText = "CONNECT 9600";
        int dialDelayMs = 0;               // before the dial result
        bool splitAnswers = false;         // each answer in two parts with a pause between
        int splitPauseMs = 30;
        bool chatter = false;              // sends noise without end, never a result word
        DataHandler data{};                // online data; null answers nothing
    };

    // A controller behind the line: answers each "VortanBus [ASCII] 5040h"
    // request with status 1 (success) and the request's own data.
    static DataHandler asciiController();

    ModemSim(int masterFd, Options options);
    ~ModemSim();
    ModemSim(const ModemSim&) = delete;
    ModemSim& operator=(const ModemSim&) = delete;

    // Every byte received so far.
    std::string received() const;
    // The command lines received in command mode, without their CR.
    std::vector<std::string> commands() const;
    // True between CONNECT and "+++".
    bool online() const;
    // Changes the behaviour from now on.
    void setOptions(const Options& options);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::string bytes;
    };

    void run();
    void onBytes(const uint8_t* bytes, size_t n);
    void onCommand(const std::string& line);
    void answer(const std::string& word, int delayMs = 0);
    void writeNow(const std::string& bytes);

    int fd_;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    Options options_;
    std::string received_;
    std::vector<std::string> commands_;
    std::string line_;
    std::vector<uint8_t> data_;
    std::vector<Pending> pending_;
    bool online_ = false;
    bool quiet_ = false;  // gone quiet after Options::quietAfter
    int plusRun_ = 0;
    bool escapeLine_ = false;
    std::thread thread_;
};

}  // namespace vrt::testing
