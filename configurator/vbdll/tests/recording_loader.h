#pragma once
// A loader that records every path and name asked for and "finds" only the
// paths it was told about.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "vbdll/library_loader.h"

namespace vrt::cfg::test {

class RecordingLoader final : public LibraryLoader {
public:
    void* open(const std::string& path) override {
        opened.push_back(path);
        return present.count(path) ? &handle : nullptr;
    }
    void* symbol(void* h, const char* name) override {
        looked.push_back(name);
        if (h != &handle || !exported.count(name)) return nullptr;
        return &addresses[name];  // one distinct address per name
    }

    std::set<std::string> present;
    std::set<std::string> exported;
    std::vector<std::string> opened;
    std::vector<std::string> looked;
    int handle = 0;
    std::map<std::string, int> addresses;
};

}  // namespace vrt::cfg::test
