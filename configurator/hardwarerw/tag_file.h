#pragma once
// The ".tag" project file: INI text in Windows-1251 with the section [Main]
// and, per device, "<name>.Связь" (link settings) and "<name>.Переменные"
// (one key per tag).
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "hardwarerw/project_model.h"

namespace vrt::cfg {

// The INI layer's write error: "Unable to write to <file name>".
class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A tag whose value could not be read; the load left it out.
struct SkippedTag {
    std::string device;
    std::string tag;
    std::string value;
};

// Reads the file into `project`: its fields, and its devices appended to the
// project's (empty) device list, numbered, with their tags renumbered.
// 0 when the file was read; -1 when it is missing or cannot be read (each
// told to the user, the latter with the file's name; a file another program
// keeps busy is told as such) or when tags had values that do not parse: those tags are left out,
// listed in `skipped`, and everything else is still read. When a save of the
// file had not finished, its old contents are put back first, the user is
// told, and `restoredCopy` names the copy they came from.
int32_t LoadTagFile(TVrtNet& project, const std::string& fileName, std::vector<SkippedTag>* skipped = nullptr,
                    std::string* restoredCopy = nullptr);

// Writes the project into the file. [Main] and the link sections are written
// key by key over what the file holds, keeping every other key; each
// variables section is written whole, in tag order. The file keeps its owner,
// group, mode and links (platform/file_io.h). Raises EIniFileException when
// it cannot be written, saying when another program kept it busy and naming
// the copy of the old contents if one was kept.
void SaveTagFile(const TVrtNet& project, const std::string& fileName);

}  // namespace vrt::cfg
