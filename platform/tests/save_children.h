#pragma once
// Saves and loads run as other users, or killed, in forked children.
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace vrt::test {

inline size_t filesIn(const std::string& folder) {
    return size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Runs `body` in a child that an alarm ends after a few seconds, so a call
// that waits for ever fails the test instead of hanging it. True when `body`
// returned true.
template <class F>
bool InChild(F body, uid_t uid = 0, gid_t gid = 0, std::vector<gid_t> groups = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::alarm(10);
        const bool dropped =
            uid == 0 || (::setgroups(groups.size(), groups.data()) == 0 && ::setgid(gid) == 0 && ::setuid(uid) == 0);
        ::_exit(dropped && body() ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs `body` as an ordinary user: in a child that drops root, when the
// tests run as root, else here. True when `body` returned true.
template <class F>
bool AsOrdinaryUser(F body) {
    if (::geteuid() != 0) return body();
    return InChild(body, 65534, 65534);
}

}  // namespace vrt::test
