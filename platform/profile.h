#pragma once
// INI files in the private-profile format, byte-exact Windows-1251.
//
// Names of sections and keys match without regard to letter case (Latin and
// Cyrillic); the first match wins. A key present with an empty value differs
// from a missing key. Values read are trimmed of blanks and lose one pair of
// surrounding double quotes. A write replaces the key's line in place, appends
// a new key at the end of its section and a new section at the end of the
// file; every other line is kept byte for byte. Line ends are kept as found
// (CRLF or LF); new lines get the file's style (CRLF for a new file).
// Values written never contain control characters: each becomes a blank, so a
// value can never split its line. Nothing here throws.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vrt::platform {

// One file held in memory: many reads and writes, one save.
class ProfileFile {
public:
    ProfileFile() = default;
    // Loads `path` when it exists; a missing file is an empty profile.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return path_; }
    // True when the file existed and was read at construction.
    bool existed() const { return existed_; }

    // The value of `key` in `section`, or nullopt when either is missing.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    // The value, or `fallback` when the key is missing.
    std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The keys of a section in file order (duplicates included once, first spelling).
    std::vector<std::string> keys(std::string_view section) const;
    // The section names in file order.
    std::vector<std::string> sections() const;
    bool hasSection(std::string_view section) const;

    // Sets `key` in `section` (in memory).
    void write(std::string_view section, std::string_view key, std::string_view value);
    // Replaces the whole body of `section` with these keys in this order,
    // creating the section at the end when it is missing.
    void replaceSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);

    // Writes the file atomically (temp file in the same folder, then rename).
    // False when it cannot be written; the old file is then left as it was.
    bool save() const;
    // The whole file as it would be saved.
    std::string text() const;

private:
    struct Line;
    std::string path_;
    bool existed_ = false;
    std::vector<std::string> lines_;  // without line ends
    bool crlf_ = true;
    bool finalNewline_ = true;
};

// One-shot forms in the style of the original API: each reads the file anew.
// Returns the value or `fallback`.
std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view fallback);
// Sets one key and saves at once; false when the file cannot be written.
bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace vrt::platform
