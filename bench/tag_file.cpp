// Time per tag to save and to load ".tag" projects of 1 000, 10 000 and
// 100 000 tags (devices of 500 tags), and how the 100 000 figure compares
// with the 1 000 figure (1.0 is linear). Then the peak memory of reading a
// 40 MB file of blank lines, as an INI file and as a ".tag" file.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hardwarerw/message_sink.h"
#include "hardwarerw/tag_file.h"
#include "platform/profile.h"

namespace {

using namespace vrt::cfg;
using Clock = std::chrono::steady_clock;

constexpr int kTagsPerDevice = 500;

void fill(TVrtNet& project, int tags) {
    project.ProjectName = "bench";
    for (int d = 0; d * kTagsPerDevice < tags; ++d) {
        auto* device = new TDevice;
        device->Name.assign("Device" + std::to_string(d));
        SetDeviceDefaults(*device);
        for (int t = 0; t < kTagsPerDevice && d * kTagsPerDevice + t < tags; ++t) {
            TTagOPC* tag = NewTag();
            tag->Name.assign("Tag" + std::to_string(t));
            tag->NumVar = t;
            tag->VarType = t % 2 ? 'F' : 'L';
            tag->RW = uint8_t(t % 2);
            tag->WriteMode = uint8_t(t % 3);
            device->AddTag(NewTagCell(tag));
        }
        InsertDevice(project.DeviceList(), NewDeviceCell(device));
    }
    RenumberDevices(project.DeviceList());
    for (int d = 0; d < project.DeviceList().Count(); ++d) RenumberTags(*project.DeviceList().Device(d));
}

template <class F>
double bestSeconds(int runs, F&& f) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

// The peak resident memory, in MB, of a child process that runs `body`.
template <class F>
long peakMegabytes(F&& body) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long mb = usage.ru_maxrss / 1024;
        (void)!::write(fds[1], &mb, sizeof mb);
        ::_exit(0);
    }
    ::close(fds[1]);
    long mb = -1;
    if (::read(fds[0], &mb, sizeof mb) != sizeof mb) mb = -1;
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return mb;
}

struct Figures {
    int tags;
    double save, load;  // seconds for the whole project
};

}  // namespace

int main() {
    const std::string folder = (std::filesystem::temp_directory_path() / ("bench_tag_file." + std::to_string(getpid()))).string();
    std::filesystem::create_directories(folder);

    // Before anything else, so the children start small.
    constexpr size_t kBlankBytes = 40u << 20;
    const std::string blank = folder + "/blank.tag";
    {
        std::FILE* f = std::fopen(blank.c_str(), "wb");
        const std::string lines(kBlankBytes, '\n');
        if (!f || std::fwrite(lines.data(), 1, lines.size(), f) != lines.size() || std::fclose(f) != 0) std::abort();
    }
    const long iniPeak = peakMegabytes([&] { vrt::platform::ProfileFile ini(blank); });
    const long tagPeak = peakMegabytes([&] {
        TVrtNet project;
        LoadTagFile(project, blank);
    });

    std::vector<Figures> figures;
    for (const int tags : {1000, 10000, 100000}) {
        const int runs = tags >= 100000 ? 10 : tags >= 10000 ? 50 : 200;
        TVrtNet project;
        fill(project, tags);
        const std::string file = folder + "/p" + std::to_string(tags) + ".tag";
        // Save over an existing file, as a user's Save does.
        SaveTagFile(project, file);
        const double save = bestSeconds(runs, [&] { SaveTagFile(project, file); });
        // Opening only: each loaded project is released outside the timing.
        double load = 1e30;
        for (int i = 0; i < runs; ++i) {
            auto loaded = std::make_unique<TVrtNet>();
            const auto start = Clock::now();
            if (LoadTagFile(*loaded, file) != 0) std::abort();
            load = std::min(load, std::chrono::duration<double>(Clock::now() - start).count());
        }
        figures.push_back({tags, save, load});
    }
    std::filesystem::remove_all(folder);

    std::printf("%8s %12s %12s %14s %14s\n", "tags", "save ms", "load ms", "save us/tag", "load us/tag");
    for (const Figures& f : figures)
        std::printf("%8d %12.2f %12.2f %14.3f %14.3f\n", f.tags, f.save * 1e3, f.load * 1e3, f.save * 1e6 / f.tags,
                    f.load * 1e6 / f.tags);
    const Figures& small = figures.front();
    const Figures& large = figures.back();
    const double saveRatio = (large.save / large.tags) / (small.save / small.tags);
    const double loadRatio = (large.load / large.tags) / (small.load / small.tags);
    std::printf("per-tag ratio 100000/1000: save %.2f, load %.2f (goal <= 1.5)\n", saveRatio, loadRatio);
    std::printf("100000 tags: save %.3f s, load %.3f s (goal < 1 s each)\n", large.save, large.load);
    std::printf("40 MB of blank lines: peak %ld MB read as INI, %ld MB as .tag (goal < 600 MB)\n", iniPeak, tagPeak);
    return 0;
}
