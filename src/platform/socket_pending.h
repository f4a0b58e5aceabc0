#pragma once

// What waits to be read on a socket right now, without reading it and
// without blocking: the early-data check before "$Lock" uses it.
struct TPendingInput {
  bool Readable = false;  // a read would not block (data, end of stream or an error)
  bool Failed = false;    // the poll or the byte count failed
  int Bytes = 0;          // bytes waiting (valid when Readable and not Failed)
};

TPendingInput SocketPendingInput(int fd);
