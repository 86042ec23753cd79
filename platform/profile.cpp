#include "platform/profile.h"

#include <cstring>

#include "platform/cp1251.h"
#include "platform/file_io.h"

namespace vrt::platform {
namespace {

bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// The form names are compared in.
std::string fold(std::string_view name) { return cp1251::upper(trim(name)); }

// Control characters would end or split a line; they become blanks.
std::string clean(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return out;
}

// "[name]" (the name up to the last ']', which only a comment may follow), else
// nullopt. So a key line such as "[A]=1" stays a key and cannot open a section.
std::optional<std::string_view> headerName(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const size_t close = t.rfind(']');
    if (close == std::string_view::npos || close == 0) return std::nullopt;
    const std::string_view after = trim(t.substr(close + 1));
    if (!after.empty() && after.front() != ';') return std::nullopt;
    return trim(t.substr(1, close - 1));
}

// The key name of a key line, or empty for comments and other lines.
std::string_view keyName(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return {};
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    return trim(t.substr(0, eq));
}

std::string valueOf(std::string_view line) {
    const size_t eq = line.find('=');
    std::string_view v = trim(line.substr(eq + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

}  // namespace

const std::vector<std::string>& ProfileFile::added(const Section& s) {
    static const std::vector<std::string> none;
    return s.detail ? s.detail->added : none;
}

ProfileFile::Detail& ProfileFile::detail(Section& s) {
    if (!s.detail) s.detail = std::make_unique<Detail>();
    return *s.detail;
}

ProfileFile::ProfileFile() { sections_.emplace_back(); }

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
    sections_.emplace_back();
    if (path_.empty()) return;
    switch (ReadRegularFile(path_, data_, &notes_)) {
        case ReadResult::Read:
            existed_ = true;
            parse();
            break;
        case ReadResult::Missing:
            break;
        case ReadResult::Failed:
            data_.clear();
            readFailed_ = true;
            break;
    }
}

void ProfileFile::parse() {
    const char* const bytes = data_.data();
    const size_t size = data_.size();
    size_t lines = 0;
    for (const char* p = bytes; (p = static_cast<const char*>(std::memchr(p, '\n', size_t(bytes + size - p))));
         ++p)
        ++lines;
    starts_.clear();
    starts_.reserve(lines + 2);

    bool styleKnown = false;
    bool indexing = false;  // only the first section of a name is ever read or written
    size_t pos = 0;
    while (pos < size) {
        const size_t lineNo = starts_.size();
        starts_.push_back(pos);
        const void* nl = std::memchr(bytes + pos, '\n', size - pos);
        size_t end = nl ? size_t(static_cast<const char*>(nl) - bytes) : size;
        const size_t next = nl ? end + 1 : size;
        if (nl && end > pos && bytes[end - 1] == '\r') --end;
        if (nl && !styleKnown) {
            crlf_ = end < next - 1;
            styleKnown = true;
        }
        const std::string_view text(bytes + pos, end - pos);
        pos = next;
        if (const auto name = headerName(text)) {
            const auto [it, added] = sectionIndex_.try_emplace(fold(*name), sections_.size());
            indexing = added;
            sections_.push_back(Section{lineNo, lineNo + 1, lineNo + 1, nullptr});
            continue;
        }
        Section& s = sections_.back();
        if (!trim(text).empty()) s.split = lineNo + 1;
        if (!indexing) continue;
        const std::string_view key = keyName(text);
        if (!key.empty()) detail(s).keyIndex.try_emplace(cp1251::upper(key), lineNo);
    }
    starts_.push_back(size);
}

size_t ProfileFile::loadedEnd(size_t section) const {
    if (isNew(sections_[section])) return sections_[section].first;
    const size_t next = section + 1;
    return next < sections_.size() && !isNew(sections_[next]) ? sections_[next].header : lineCount();
}

std::string_view ProfileFile::loadedText(size_t line) const {
    const size_t b = starts_[line];
    size_t e = starts_[line + 1];
    if (e > b && data_[e - 1] == '\n') {
        --e;
        if (e > b && data_[e - 1] == '\r') --e;
    }
    return std::string_view(data_).substr(b, e - b);
}

ProfileFile::Eol ProfileFile::loadedEol(size_t line) const {
    const size_t b = starts_[line], e = starts_[line + 1];
    if (e == b || data_[e - 1] != '\n') return finalEol_;  // only the last line can lack one
    return e - b >= 2 && data_[e - 2] == '\r' ? Eol::CrLf : Eol::Lf;
}

std::string_view ProfileFile::lineText(const Section& s, size_t line) const {
    if (line & kAdded) return s.detail->added[line & ~kAdded];
    if (!edited_.empty())
        if (const auto it = edited_.find(line); it != edited_.end()) return it->second;
    return loadedText(line);
}

std::string_view ProfileFile::headerText(const Section& s) const {
    return isNew(s) ? std::string_view(newHeaders_[s.header & ~kAdded]) : loadedText(s.header);
}

// The last loaded line gets a line end when something is put after it.
void ProfileFile::terminate(size_t loadedLine) {
    if (loadedLine + 1 == lineCount() && loadedEol(loadedLine) == Eol::None) finalEol_ = newEol();
}

std::optional<size_t> ProfileFile::findSection(std::string_view name) const {
    const auto it = sectionIndex_.find(fold(name));
    if (it == sectionIndex_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    const auto s = findSection(section);
    if (!s) return std::nullopt;
    const Section& sec = sections_[*s];
    if (!sec.detail) return std::nullopt;
    const auto it = sec.detail->keyIndex.find(fold(key));
    if (it == sec.detail->keyIndex.end()) return std::nullopt;
    return valueOf(lineText(sec, it->second));
}

std::string ProfileFile::read(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto v = read(section, key);
    return v ? std::move(*v) : std::string(fallback);
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    const auto si = findSection(section);
    if (!si) return out;
    const Section& s = sections_[*si];
    if (!s.detail) return out;
    const auto& index = s.detail->keyIndex;
    out.reserve(index.size());
    const auto take = [&](size_t line) {
        const std::string_view name = keyName(lineText(s, line));
        if (name.empty()) return;
        const auto it = index.find(cp1251::upper(name));
        if (it != index.end() && it->second == line) out.emplace_back(name);
    };
    for (size_t i = s.first; i < s.split; ++i) take(i);
    for (size_t i = 0; i < s.detail->added.size(); ++i) take(kAdded | i);
    return out;
}

std::vector<std::string> ProfileFile::sections() const {
    std::vector<std::string> out;
    for (size_t i = 1; i < sections_.size(); ++i) {
        const std::string_view name = *headerName(headerText(sections_[i]));
        const auto it = sectionIndex_.find(fold(name));
        if (it != sectionIndex_.end() && it->second == i) out.emplace_back(name);
    }
    return out;
}

bool ProfileFile::hasSection(std::string_view section) const { return findSection(section).has_value(); }

// A new section's header keeps the name as given, blanks included; it is
// matched without them like every other name.
size_t ProfileFile::sectionForWrite(const std::string& name) {
    const auto [it, added] = sectionIndex_.try_emplace(fold(name), sections_.size());
    if (!added) return it->second;
    if (lineCount() > 0) terminate(lineCount() - 1);  // the file must end with a line end before anything is appended
    sections_.push_back(Section{kAdded | newHeaders_.size(), 0, 0, std::make_unique<Detail>()});
    newHeaders_.push_back("[" + name + "]");
    return it->second;
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string secName = clean(section);
    std::string keyText(trim(clean(key)));
    if (trim(secName).empty() || keyText.empty()) return;

    Section& s = sections_[sectionForWrite(secName)];
    Detail& d = detail(s);
    std::string folded = cp1251::upper(keyText);
    if (const auto it = d.keyIndex.find(folded); it != d.keyIndex.end()) {
        const size_t line = it->second;
        std::string text(lineText(s, line));
        text.resize(text.find('=') + 1);  // keep the key as spelt, with its indentation
        text += clean(value);
        if (line & kAdded) d.added[line & ~kAdded] = std::move(text);
        else edited_[line] = std::move(text);
        return;
    }
    // After the last non-blank line: blank lines closing the section stay last,
    // and no key line moves, so the index stays valid.
    if (d.added.empty()) terminate(s.split > s.first ? s.split - 1 : s.header);
    d.keyIndex.emplace(std::move(folded), kAdded | d.added.size());
    d.added.push_back(keyText + "=" + clean(value));
}

void ProfileFile::replaceSection(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string secName = clean(section);
    if (trim(secName).empty()) return;
    Section& s = sections_[sectionForWrite(secName)];
    if (!isNew(s)) terminate(s.header);
    Detail& d = detail(s);
    s.first = s.split;
    d.added.clear();
    d.added.reserve(entries.size());
    d.keyIndex.clear();
    d.keyIndex.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        std::string keyText(trim(clean(key)));
        if (keyText.empty()) continue;
        d.keyIndex.try_emplace(cp1251::upper(keyText), kAdded | d.added.size());
        d.added.push_back(keyText + "=" + clean(value));
    }
}

namespace {
void putEol(std::string& out, bool crlf) { out += crlf ? "\r\n" : "\n"; }
}  // namespace

// Loaded lines [from, to), as loaded but for the texts written since.
void ProfileFile::putLoaded(std::string& out, size_t from, size_t to) const {
    if (from >= to) return;
    size_t chunk = from;  // first line not yet put
    const auto flush = [&](size_t upTo) { out.append(data_, starts_[chunk], starts_[upTo] - starts_[chunk]); };
    if (!edited_.empty()) {
        for (size_t i = from; i < to; ++i) {
            const auto it = edited_.find(i);
            if (it == edited_.end()) continue;
            flush(i);
            out += it->second;
            if (const Eol eol = loadedEol(i); eol != Eol::None) putEol(out, eol == Eol::CrLf);
            chunk = i + 1;
        }
    }
    flush(to);
    if (chunk < to && to == lineCount() && finalEol_ != Eol::None) putEol(out, finalEol_ == Eol::CrLf);
}

std::string ProfileFile::text() const {
    size_t size = data_.size() + 2;
    for (const std::string& h : newHeaders_) size += h.size() + 2;
    for (const auto& [line, text] : edited_) size += text.size();
    for (const Section& s : sections_)
        for (const std::string& l : added(s)) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < sections_.size(); ++i) {
        const Section& s = sections_[i];
        if (isNew(s)) {
            out += newHeaders_[s.header & ~kAdded];
            putEol(out, crlf_);
        } else if (i > 0) {
            putLoaded(out, s.header, s.header + 1);
        }
        putLoaded(out, s.first, s.split);
        for (const std::string& l : added(s)) {
            out += l;
            putEol(out, crlf_);
        }
        putLoaded(out, s.split, loadedEnd(i));
    }
    return out;
}

bool ProfileFile::save() const {
    keptCopy_.clear();
    if (path_.empty() || readFailed_) return false;
    return SaveWholeFile(path_, text(), &keptCopy_, &notes_);
}

std::string ReadProfileString(const std::string& file, std::string_view section, std::string_view key,
                              std::string_view fallback) {
    return ProfileFile(file).read(section, key, fallback);
}

bool WriteProfileString(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    ProfileFile profile(file);
    if (profile.readFailed()) return false;
    profile.write(section, key, value);
    return profile.save();
}

}  // namespace vrt::platform
