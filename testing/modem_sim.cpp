#include "testing/modem_sim.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

#include "testing/controller_sim.h"

namespace vrt::testing {
namespace {

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

ModemSim::DataHandler ModemSim::asciiController() {
    return [](std::vector<uint8_t>& pending) {
        std::vector<uint8_t> out;
        for (;;) {
            const auto start = std::find(pending.begin(), pending.end(), uint8_t(':'));
            if (start == pending.end()) {
                pending.clear();
                return out;
            }
            const auto lf = std::find(start, pending.end(), uint8_t('\n'));
            if (lf == pending.end()) return out;  // incomplete: wait for the rest
            // ':' pairs of 0x50+high and 0x40+low, the LRC pair, CR LF.
            std::vector<uint8_t> payload;
            for (auto p = start + 1; p + 1 < lf && *p != '\r'; p += 2)
                payload.push_back(uint8_t(((*p - 0x50) << 4) | ((*(p + 1) - 0x40) & 0x0F)));
            pending.erase(pending.begin(), lf + 1);
            if (payload.size() < 3) continue;
            payload.pop_back();  // the LRC
            std::vector<uint8_t> reply = payload;
            reply[1] = uint8_t(0x10 | (payload[1] & 0x0F));
            const auto framed = ControllerSim::frame(WireProtocol::VrtAscii, reply);
            out.insert(out.end(), framed.begin(), framed.end());
        }
    };
}

ModemSim::ModemSim(int masterFd, Options options) : fd_(masterFd), options_(std::move(options)) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    thread_ = std::thread([this] { run(); });
}

ModemSim::~ModemSim() {
    const char stop = 'x';
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &stop, 1);
    thread_.join();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string ModemSim::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> ModemSim::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

bool ModemSim::online() const {
    std::lock_guard lock(mutex_);
    return online_;
}

void ModemSim::setOptions(const Options& options) {
    std::lock_guard lock(mutex_);
    options_ = options;
}

void ModemSim::run() {
    auto nextChatter = Clock::now();
    for (;;) {
        int timeout = 5;
        {
            std::lock_guard lock(mutex_);
            const auto now = Clock::now();
            // Due answers go out in the order they were scheduled.
            while (!pending_.empty() && pending_.front().due <= now) {
                writeNow(pending_.front().bytes);
                pending_.erase(pending_.begin());
            }
            if (options_.chatter && !online_ && now >= nextChatter) {
                writeNow("~#~");
                nextChatter = now + std::chrono::milliseconds(3);
            }
        }
        pollfd fds[2] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        const int r = ::poll(fds, 2, timeout);
        if (r < 0 && errno != EINTR) return;
        if (fds[1].revents) return;
        if (r > 0 && (fds[0].revents & POLLIN)) {
            uint8_t buf[512];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                std::lock_guard lock(mutex_);
                onBytes(buf, size_t(n));
            }
        } else if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
            // The slave side is not open: nothing to serve until it is.
            ::poll(fds + 1, 1, 5);
            if (fds[1].revents) return;
        }
    }
}

void ModemSim::onBytes(const uint8_t* bytes, size_t n) {
    received_.append(reinterpret_cast<const char*>(bytes), n);
    for (size_t i = 0; i < n; ++i) {
        const char c = char(bytes[i]);
        if (online_) {
            plusRun_ = c == '+' ? plusRun_ + 1 : 0;
            data_.push_back(bytes[i]);
            if (plusRun_ == 3) {
                // Escape to command mode; the '+' bytes are not data, and the
                // rest of their line is swallowed.
                data_.clear();
                online_ = false;
                plusRun_ = 0;
                line_ = "+++";
                escapeLine_ = true;
                if (!quiet_) answer("OK");
            }
            continue;
        }
        if (c == '\r') {
            const std::string line = line_;
            line_.clear();
            onCommand(line);
        } else if (c != '\n') {
            line_.push_back(c);
        }
    }
    if (online_ && !data_.empty() && options_.data) {
        const std::vector<uint8_t> reply = options_.data(data_);
        if (!reply.empty()) writeNow(std::string(reply.begin(), reply.end()));
    }
}

void ModemSim::onCommand(const std::string& line) {
    commands_.push_back(line);
    if (escapeLine_) {
        escapeLine_ = false;
        return;
    }
    if (!options_.quietAfter.empty() && line == options_.quietAfter) quiet_ = true;
    if (quiet_ || options_.silent || (!options_.unanswered.empty() && line == options_.unanswered)) return;
    if (options_.echo) writeNow(line + "\r");
    const std::string u = upper(line);
    // A modem looks for "AT" and takes no other line for a command.
    if (u.find("AT") == std::string::npos) return;
    if (u.rfind("AT", 0) == 0) {
        if (u.find("E0") != std::string::npos) options_.echo = false;
        if (u.find("E1") != std::string::npos) options_.echo = true;
    }
    if (u.rfind("ATD", 0) == 0) {
        switch (options_.dial) {
            case Dial::Connect:
                answer(options_.connectText, options_.dialDelayMs);
                online_ = true;
                plusRun_ = 0;
                data_.clear();
                return;
            case Dial::Busy: answer("BUSY", options_.dialDelayMs); return;
            case Dial::NoCarrier: answer("NO CARRIER", options_.dialDelayMs); return;
            case Dial::NoAnswer: answer("NO ANSWER", options_.dialDelayMs); return;
            case Dial::NoDialtone: answer("NO DIALTONE", options_.dialDelayMs); return;
            case Dial::Ok: answer("OK", options_.dialDelayMs); return;
            case Dial::Silent: return;
        }
    }
    answer("OK");
}

void ModemSim::answer(const std::string& word, int delayMs) {
    if (options_.silent) return;
    const std::string text = "\r\n" + word + "\r\n";
    const auto due = Clock::now() + std::chrono::milliseconds(delayMs);
    if (options_.splitAnswers) {
        const size_t half = text.size() / 2;
        pending_.push_back({due, text.substr(0, half)});
        pending_.push_back({due + std::chrono::milliseconds(options_.splitPauseMs), text.substr(half)});
    } else if (delayMs > 0 || !pending_.empty()) {
        pending_.push_back({due, text});
    } else {
        writeNow(text);
    }
}

void ModemSim::writeNow(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return;
        }
        done += size_t(n);
    }
}

}  // namespace vrt::testing
