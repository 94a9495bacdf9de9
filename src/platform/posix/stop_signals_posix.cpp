#include "platform/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <initializer_list>
#include <sys/socket.h>
#include <unistd.h>

namespace pressory::platform {
namespace {

int g_sockets[2] = {-1, -1};

// Only async-signal-safe calls: one byte written to a non-blocking socket.
void onStopSignal(int signal) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_sockets[1], &byte, 1);
    errno = saved;
}

}  // namespace

int installStopSignalSocket() {
    if (g_sockets[0] >= 0) return g_sockets[0];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_sockets) != 0) {
        g_sockets[0] = g_sockets[1] = -1;
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &action, nullptr);
    return g_sockets[0];
}

int readStopSignal(int socket) {
    unsigned char byte = 0;
    return ::read(socket, &byte, 1) == 1 ? byte : 0;
}

}  // namespace pressory::platform
