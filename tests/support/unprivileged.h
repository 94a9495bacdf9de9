// Runs a piece of a test in a child process without the power to ignore file
// permissions: as user and group "nobody" (65534) when the tests run as root,
// who may write into any folder whatever its mode. POSIX only.
#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

namespace pressory::test {

// The text `body` returns in the child, or nothing when the child could not
// run it (or could not drop root).
inline std::optional<std::string> runUnprivileged(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(3);
        const std::string out = body();
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0) std::_Exit(4);
            done += static_cast<std::size_t>(n);
        }
        std::_Exit(0);  // no destructor of the parent's objects runs here
    }
    ::close(fds[1]);
    std::string out;
    char buf[512];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return out;
}

}  // namespace pressory::test
