// The termination requests of the operating system (on POSIX: SIGTERM,
// SIGINT and SIGHUP) turned into bytes on a socket, so that the program can
// stop from its event loop instead of inside a signal handler.
#pragma once

namespace pressory::platform {

// Installs the handlers once and returns the socket to watch for reading;
// -1 where the platform delivers no such requests.
int installStopSignalSocket();

// Reads one pending request from the socket: the signal number, or 0 when
// none is pending.
int readStopSignal(int socket);

}  // namespace pressory::platform
