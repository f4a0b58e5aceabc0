#pragma once

// Deflates `length` bytes of `source` into `target` as one complete zlib
// stream (zlib's default level; the fastest one for blocks of 64 KB and
// up, and whenever `fast` is asked for). Returns the output length, or -1
// when the stream did not finish within `capacity` bytes or zlib failed.
int CompressBlock(const void* source, int length, void* target, int capacity, bool fast = false);
