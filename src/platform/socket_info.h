#pragma once

#include <string>

// What a connection asks of its socket outside the send and read passes:
// the addresses it was accepted on, and the final close. Failures are
// return values; the caller keeps its defaults.

// The peer's IPv4 address as dotted text; false when the look-up fails or
// the peer is not IPv4.
bool SocketPeerIP(int fd, std::string& ip);

// The local port (host byte order) the peer connected to; false when the
// look-up fails or the socket is not IPv4.
bool SocketLocalPort(int fd, int& port);

// Closes the descriptor; a negative one is ignored. Never throws: a close
// that fails has nothing left to undo.
void CloseSocketHandle(int fd) noexcept;
