#pragma once
// INI files in the private-profile format, byte-exact Windows-1251.
//
// Names of sections and keys match without regard to letter case (Latin and
// Cyrillic) and without their surrounding blanks; the first match wins (a
// repeated section or key is kept in the file but never read). A key present
// with an empty value differs from a missing key. Values read are trimmed of
// blanks and lose one pair of surrounding double quotes. Lines starting with
// ';' are comments; lines without '=' are kept but are no keys.
// A write replaces the key's line in place, appends a new key after the last
// non-blank line of its section and a new section at the end of the file;
// every other line is kept byte for byte. Line ends are kept as found (CRLF or
// LF); new lines get the file's style (CRLF for a new file).
// Values and names written never contain control characters: each becomes a
// blank, so a value can never split its line. Nothing here throws.
//
// Loading indexes sections and keys once, so reading or writing a key costs the
// same in a file of ten keys as in one of a hundred thousand. The file's bytes
// are kept once, its lines as offsets into them; only lines written since
// loading are texts of their own.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_io.h"

namespace vrt::platform {

// One file held in memory: many reads and writes, one save.
class ProfileFile {
public:
    ProfileFile();
    // Loads `path` when it exists; a missing file is an empty profile.
    explicit ProfileFile(std::string path);

    const std::string& path() const { return path_; }
    // True when the file existed and was read at construction.
    bool existed() const { return existed_; }
    // True when the file exists but could not be read (no permission, a
    // folder, a FIFO or anything else that is not a regular file, which is
    // never waited on, a file another program kept busy, or one a save left
    // unfinished that could not be put back). Such a profile reads as empty
    // and refuses to save, so the unread contents are never overwritten.
    bool readFailed() const { return readFailed_; }
    // What the last load or save met besides its result: a busy file, or the
    // copy of an unfinished save put back first (see platform/file_io.h).
    const FileNotes& notes() const { return notes_; }

    // The value of `key` in `section`, or nullopt when either is missing.
    std::optional<std::string> read(std::string_view section, std::string_view key) const;
    // The value, or `fallback` when the key is missing.
    std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;
    // The keys of a section in file order (duplicates included once, first spelling).
    std::vector<std::string> keys(std::string_view section) const;
    // The section names in file order (a repeated section once, first spelling).
    std::vector<std::string> sections() const;
    bool hasSection(std::string_view section) const;

    // Sets `key` in `section` (in memory). An empty section or key name (after
    // trimming) writes nothing.
    void write(std::string_view section, std::string_view key, std::string_view value);
    // Replaces the whole body of `section` with these keys in this order,
    // creating the section at the end when it is missing. Blank lines that
    // closed the old body stay, so the gap before the next section is kept.
    void replaceSection(std::string_view section, const std::vector<std::pair<std::string, std::string>>& entries);

    // Writes the file, keeping its owner, group, mode and links (see
    // platform/file_io.h). False when it cannot be written; the old contents
    // are then in the file, or in the file keptCopy() names.
    // A file its user may not write is refused, and so is a file with no
    // write bit at all, whoever the user (root too), and anything that is not
    // a regular file. A symbolic link stays: the file it names is written, or
    // created when it does not exist.
    bool save() const;
    // After a failed save: the copy of the old contents, when the file itself
    // could not be made whole again; else empty.
    const std::string& keptCopy() const { return keptCopy_; }
    // The whole file as it would be saved.
    std::string text() const;

private:
    enum class Eol : uint8_t { None, Lf, CrLf };
    // A line is either one of the file as loaded (its number) or one written
    // since (kAdded | its place among its section's added lines).
    static constexpr size_t kAdded = size_t(1) << (sizeof(size_t) * 8 - 1);
    static constexpr size_t kNone = ~size_t(0);
    // A section's lines, in file order: the header, the loaded lines
    // [first, split), the added ones, then the loaded lines from split to the
    // next loaded header, which are blank (new keys go before them).
    // Keys and lines written, of a section that has any.
    struct Detail {
        std::unordered_map<std::string, size_t> keyIndex;  // folded key -> first line holding it
        std::vector<std::string> added;                     // without line ends; each ends in the file's style
    };
    struct Section {
        size_t header = kNone;  // kNone for the lines before the first header; kAdded | n for newHeaders_[n]
        size_t first = 0, split = 0;
        std::unique_ptr<Detail> detail;  // only the first section of a name gets one
    };
    static const std::vector<std::string>& added(const Section& s);
    static Detail& detail(Section& s);

    void parse();
    bool isNew(const Section& s) const { return s.header != kNone && (s.header & kAdded); }
    size_t lineCount() const { return starts_.size() - 1; }
    size_t loadedEnd(size_t section) const;
    std::string_view loadedText(size_t line) const;
    Eol loadedEol(size_t line) const;
    std::string_view lineText(const Section& s, size_t line) const;
    std::string_view headerText(const Section& s) const;
    void terminate(size_t loadedLine);
    std::optional<size_t> findSection(std::string_view name) const;
    size_t sectionForWrite(const std::string& name);
    Eol newEol() const { return crlf_ ? Eol::CrLf : Eol::Lf; }
    void putLoaded(std::string& out, size_t from, size_t to) const;

    std::string path_;
    bool existed_ = false;
    bool readFailed_ = false;
    bool crlf_ = true;
    std::string data_;                                  // the file as loaded
    std::vector<size_t> starts_{0};                     // where each loaded line starts, then data_.size()
    Eol finalEol_ = Eol::None;                          // given to the last loaded line when it had none
    std::unordered_map<size_t, std::string> edited_;    // loaded line -> its text since written
    std::vector<std::string> newHeaders_;               // "[name]" of sections added since loading
    std::deque<Section> sections_;                      // [0]: lines before the first header
    std::unordered_map<std::string, size_t> sectionIndex_;  // folded name -> first section holding it
    mutable std::string keptCopy_;
    mutable FileNotes notes_;
};

// One-shot forms in the style of the original API: each reads the file anew.
// Returns the value or `fallback`.
std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view fallback);
// Sets one key and saves at once; false when the file cannot be written.
bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace vrt::platform
