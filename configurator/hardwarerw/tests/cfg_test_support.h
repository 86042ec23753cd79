#pragma once
// Shared by the configurator core's tests: a message sink that records, and
// small builders for projects.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "hardwarerw/message_sink.h"
#include "hardwarerw/project_model.h"
#include "platform/tests/temp_dir.h"

namespace vrt::cfg::test {

using vrt::test::readFile;
using vrt::test::TempDir;
using vrt::test::writeFile;

// Runs `body` as an ordinary user: in a child that drops root when the
// tests run as root, else here. True when `body` returned true.
template <class F>
bool AsOrdinaryUser(F body) {
    if (::geteuid() != 0) return body();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Installed for its lifetime; records every message and quit request.
class RecordingSink final : public MessageSink {
public:
    struct Entry {
        std::string kind;  // "error" or "message"
        std::string text;
        std::string caption;
    };
    RecordingSink() : previous_(SetMessageSink(this)) {}
    ~RecordingSink() override { SetMessageSink(previous_); }

    void errorBox(std::string_view text, std::string_view caption) override {
        entries.push_back({"error", std::string(text), std::string(caption)});
    }
    void messageBox(std::string_view text) override { entries.push_back({"message", std::string(text), {}}); }
    void requestQuit() override { ++quits; }

    std::vector<Entry> entries;
    int quits = 0;

private:
    MessageSink* previous_;
};

inline TTagOPC* AddTag(TDevice& device, const std::string& name, int32_t numVar = 0, char type = 'L',
                       uint8_t rw = 0, uint8_t writeMode = 0) {
    TTagOPC* tag = NewTag();
    tag->Name.assign(name);
    tag->NumVar = numVar;
    tag->VarType = type;
    tag->RW = rw;
    tag->WriteMode = writeMode;
    device.AddTag(NewTagCell(tag));
    return tag;
}

inline TDevice& AddDevice(TVrtNet& project, const std::string& name, bool defaults = true) {
    auto* device = new TDevice;
    device->Name.assign(name);
    if (defaults) SetDeviceDefaults(*device);
    InsertDevice(project.DeviceList(), NewDeviceCell(device));
    return *device;
}

// Every link setting of a device, in file key order, as one comparable text.
inline std::string LinkFields(const TDevice& d) {
    std::string out;
    const auto put = [&](const char* key, long v) { out += std::string(key) + "=" + std::to_string(v) + " "; };
    put("ComNum", d.ComNum), put("Speed", d.Speed), put("Chetnost", d.Chetnost), put("StopBit", d.StopBit);
    put("DataBit", d.DataBit), put("SpecMode", d.SpecMode), put("BlockSize", d.BlockSize), put("RepNum", d.RepNum);
    put("RepPause", d.RepPause), put("ProtocolNum", d.ProtocolNum), put("OPCSpecMode", d.OPCSpecMode);
    put("tMax", d.tMax), put("tMin", d.tMin), put("UseModem", d.UseModem), put("NumDial", d.NumDial);
    out += "PhoneNum=" + d.PhoneNum.str() + " ";
    put("NetNumber", d.NetNumber), put("BlockMode", d.BlockMode);
    return out;
}

// Every field of a tag the configurator reads or derives.
inline std::string TagFields(const TTagOPC& t) {
    return t.Name.str() + " " + t.Path.str() + " " + std::to_string(t.ID) + " " + std::to_string(t.Index) + " " +
           std::to_string(t.NumVar) + " " + std::string(1, t.VarType) + " " + std::to_string(t.RW) + " " +
           std::to_string(t.WriteMode);
}

inline std::vector<std::string> TagNames(const TDevice& device) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < device.TagCount(); ++i) out.push_back(device.Tag(i)->Name.str());
    return out;
}

}  // namespace vrt::cfg::test
