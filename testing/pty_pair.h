#pragma once
// A pseudo-terminal pair for serial tests: the library opens the slave side
// through VRT_COMn as if it were a COM port; a simulator works the master side.
#include <cstdint>
#include <string>
#include <vector>

namespace vrt::testing {

class PtyPair {
public:
    PtyPair();                 // opens a raw pair; throws std::runtime_error on failure
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Points COM<n> (1..4) at this pair's slave side through VRT_COM<n>.
    void bindCom(int n) const;

    // Writes all bytes to the master side.
    void write(const std::vector<uint8_t>& bytes) const;
    // Reads what arrives on the master side until `quietMs` pass without a
    // byte or `totalMs` pass in all.
    std::vector<uint8_t> read(int quietMs, int totalMs) const;
    // Closes the master side, as a device that goes away: the slave hangs up.
    void hangUp();

private:
    int master_ = -1;
    int slaveKeep_ = -1;   // kept open so the slave side never hangs up
    std::string slavePath_;
};

}  // namespace vrt::testing
