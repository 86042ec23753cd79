#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/cp1251.h"

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

bool readWhole(const std::string& path, std::string& out, bool& missing) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT || errno == ENOTDIR;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.clear();
    out.reserve(size_t(st.st_size));
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// The file a save writes: a link is followed, through a chain of links, to
// the file it names, which need not exist yet; nullopt for a loop or an
// unreadable link.
std::optional<std::string> followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size()) return std::nullopt;
        target.resize(size_t(n));
        if (target.front() != '/') {
            const size_t slash = path.rfind('/');
            if (slash != std::string::npos) target = path.substr(0, slash + 1) + target;
        }
        path = std::move(target);
    }
    return std::nullopt;
}

// Whether the user may write the existing file `st` describes. Besides what
// the system allows, a file without any write bit counts as read-only for
// everyone, root included (whom the system lets write anything), as the
// read-only attribute does on the original platform.
bool mayWrite(const std::string& path, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace

ProfileFile::ProfileFile() { sections_.emplace_back(); }

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
    sections_.emplace_back();
    if (path_.empty()) return;
    std::string data;
    bool missing = false;
    if (readWhole(path_, data, missing)) {
        existed_ = true;
        parse(data);
    } else if (!missing) {
        readFailed_ = true;
    }
}

void ProfileFile::parse(std::string_view data) {
    bool styleKnown = false;
    size_t pos = 0;
    while (pos < data.size()) {
        const size_t nl = data.find('\n', pos);
        Line line;
        if (nl == std::string_view::npos) {
            line.text.assign(data.substr(pos));
            pos = data.size();
        } else {
            size_t end = nl;
            line.eol = Eol::Lf;
            if (end > pos && data[end - 1] == '\r') {
                --end;
                line.eol = Eol::CrLf;
            }
            if (!styleKnown) {
                crlf_ = line.eol == Eol::CrLf;
                styleKnown = true;
            }
            line.text.assign(data.substr(pos, end - pos));
            pos = nl + 1;
        }
        if (const auto name = headerName(line.text)) {
            Section s;
            s.name.assign(*name);
            s.header = std::move(line);
            sectionIndex_.try_emplace(fold(s.name), sections_.size());
            sections_.push_back(std::move(s));
        } else {
            Section& s = sections_.back();
            s.body.push_back(std::move(line));
            if (sections_.size() > 1) indexKey(s, s.body.size() - 1);
        }
    }
}

void ProfileFile::indexKey(Section& s, size_t lineNo) {
    const std::string_view name = keyName(s.body[lineNo].text);
    if (!name.empty()) s.keyIndex.try_emplace(cp1251::upper(name), lineNo);
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const {
    const auto it = sectionIndex_.find(fold(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> ProfileFile::read(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s) return std::nullopt;
    const auto it = s->keyIndex.find(fold(key));
    if (it == s->keyIndex.end()) return std::nullopt;
    return valueOf(s->body[it->second].text);
}

std::string ProfileFile::read(std::string_view section, std::string_view key, std::string_view fallback) const {
    auto v = read(section, key);
    return v ? std::move(*v) : std::string(fallback);
}

std::vector<std::string> ProfileFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    const Section* s = findSection(section);
    if (!s) return out;
    out.reserve(s->keyIndex.size());
    for (size_t i = 0; i < s->body.size(); ++i) {
        const std::string_view name = keyName(s->body[i].text);
        if (name.empty()) continue;
        const auto it = s->keyIndex.find(cp1251::upper(name));
        if (it != s->keyIndex.end() && it->second == i) out.emplace_back(name);
    }
    return out;
}

std::vector<std::string> ProfileFile::sections() const {
    std::vector<std::string> out;
    for (size_t i = 1; i < sections_.size(); ++i) {
        const auto it = sectionIndex_.find(fold(sections_[i].name));
        if (it != sectionIndex_.end() && it->second == i) out.push_back(sections_[i].name);
    }
    return out;
}

bool ProfileFile::hasSection(std::string_view section) const { return findSection(section) != nullptr; }

// The file must end with a line end before anything is appended to it.
void ProfileFile::terminateLastLine() {
    Section& last = sections_.back();
    Line* line = !last.body.empty() ? &last.body.back() : (sections_.size() > 1 ? &last.header : nullptr);
    if (line && line->eol == Eol::None) line->eol = newEol();
}

// A new section's header keeps the name as given, blanks included; it is
// matched without them like every other name.
ProfileFile::Section& ProfileFile::sectionForWrite(const std::string& name) {
    const auto [it, added] = sectionIndex_.try_emplace(fold(name), sections_.size());
    if (!added) return sections_[it->second];
    terminateLastLine();
    Section s;
    s.name.assign(trim(name));
    s.header.text = "[" + name + "]";
    s.header.eol = newEol();
    sections_.push_back(std::move(s));
    return sections_.back();
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    const std::string secName = clean(section);
    const std::string keyText(trim(clean(key)));
    if (trim(secName).empty() || keyText.empty()) return;
    const std::string folded = cp1251::upper(keyText);

    Section& s = sectionForWrite(secName);
    const auto it = s.keyIndex.find(folded);
    if (it != s.keyIndex.end()) {
        std::string& text = s.body[it->second].text;
        text.resize(text.find('=') + 1);  // keep the key as spelt, with its indentation
        text += clean(value);
        return;
    }
    // After the last non-blank line: blank lines closing the section stay last,
    // and no key line moves, so the index stays valid.
    size_t at = s.body.size();
    while (at > 0 && trim(s.body[at - 1].text).empty()) --at;
    Line& before = at > 0 ? s.body[at - 1] : s.header;
    if (before.eol == Eol::None) before.eol = newEol();
    Line line{keyText + "=" + clean(value), newEol()};
    s.body.insert(s.body.begin() + std::ptrdiff_t(at), std::move(line));
    s.keyIndex.emplace(folded, at);
}

void ProfileFile::replaceSection(std::string_view section,
                                 const std::vector<std::pair<std::string, std::string>>& entries) {
    const std::string secName = clean(section);
    if (trim(secName).empty()) return;
    Section& s = sectionForWrite(secName);
    if (s.header.eol == Eol::None) s.header.eol = newEol();

    size_t tail = s.body.size();
    while (tail > 0 && trim(s.body[tail - 1].text).empty()) --tail;
    std::vector<Line> body;
    body.reserve(entries.size() + (s.body.size() - tail));
    s.keyIndex.clear();
    s.keyIndex.reserve(entries.size());
    for (const auto& [key, value] : entries) {
        std::string keyText(trim(clean(key)));
        if (keyText.empty()) continue;
        s.keyIndex.try_emplace(cp1251::upper(keyText), body.size());
        body.push_back(Line{keyText + "=" + clean(value), newEol()});
    }
    for (size_t i = tail; i < s.body.size(); ++i) body.push_back(std::move(s.body[i]));
    s.body = std::move(body);
}

std::string ProfileFile::text() const {
    size_t size = 0;
    for (const Section& s : sections_) {
        size += s.header.text.size() + 2;
        for (const Line& l : s.body) size += l.text.size() + 2;
    }
    std::string out;
    out.reserve(size);
    const auto put = [&out](const Line& l) {
        out += l.text;
        if (l.eol == Eol::CrLf) out += "\r\n";
        else if (l.eol == Eol::Lf) out += '\n';
    };
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) put(sections_[i].header);
        for (const Line& l : sections_[i].body) put(l);
    }
    return out;
}

bool ProfileFile::save() const {
    if (path_.empty() || readFailed_) return false;

    // A link is followed, so the file it names is written (created when it
    // does not exist yet), the temporary file beside it, and the link stays.
    const std::optional<std::string> resolved = followLinks(path_);
    if (!resolved) return false;
    const std::string& target = *resolved;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return false;
    // Replacing by rename needs only the folder's permission; the file's own
    // is asked here, so a file its user may not write stays as it is.
    if (exists && (!S_ISREG(st.st_mode) || !mayWrite(target, st))) return false;

    static std::atomic<unsigned> counter{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = writeAll(fd, text());
    if (ok && exists) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
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
