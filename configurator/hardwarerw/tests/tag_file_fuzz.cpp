// LoadTagFile over arbitrary file bytes: no crash, no hang, and whatever it
// read saves and reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "hardwarerw/message_sink.h"
#include "hardwarerw/tag_file.h"

namespace {

class SilentSink final : public vrt::cfg::MessageSink {
public:
    void errorBox(std::string_view, std::string_view) override {}
    void messageBox(std::string_view) override {}
    void requestQuit() override {}
};

// One folder per process, removed when the process ends.
struct Folder {
    std::string path;
    Folder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "fuzz_tag_file.XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        path = tmpl;
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& folder() {
    static const Folder f;
    return f.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentSink sink;
    vrt::cfg::SetMessageSink(&sink);
    const std::string in = folder() + "/in.tag";
    const std::string out = folder() + "/out.tag";
    std::ofstream(in, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));
    std::remove(out.c_str());

    vrt::cfg::TVrtNet project;
    vrt::cfg::LoadTagFile(project, in);
    try {
        vrt::cfg::SaveTagFile(project, out);
    } catch (const vrt::cfg::EIniFileException&) {
        std::abort();  // a fresh file in our own folder must be writable
    }
    vrt::cfg::TVrtNet again;
    if (vrt::cfg::LoadTagFile(again, out) != 0 && project.DeviceList().Count() > 0) std::abort();
    return 0;
}
