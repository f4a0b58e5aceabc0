#include "core/compress_block.h"

#define ZLIB_CONST
#include <zlib.h>

namespace {

// zlib's default level: on nick lists and chat it packs within a fraction
// of a percent of level 9 at half the CPU time, and the hub compresses
// every ZPipe user's output separately.
constexpr int kLevel = 6;

// One deflate stream per thread, reset between blocks: initialising a
// stream allocates and clears a few hundred kilobytes, which cost more than
// compressing a typical block.
class TDeflateStream {
 public:
  TDeflateStream() { ok_ = deflateInit(&stream_, kLevel) == Z_OK; }
  ~TDeflateStream() {
    if (ok_) deflateEnd(&stream_);
  }
  TDeflateStream(const TDeflateStream&) = delete;
  TDeflateStream& operator=(const TDeflateStream&) = delete;

  // A stream ready for a new block, or nullptr when zlib cannot give one.
  z_stream* Fresh() {
    if (!ok_) {
      stream_ = z_stream{};
      ok_ = deflateInit(&stream_, kLevel) == Z_OK;
    } else if (deflateReset(&stream_) != Z_OK) {
      deflateEnd(&stream_);
      ok_ = false;
    }
    return ok_ ? &stream_ : nullptr;
  }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

int CompressBlock(const void* source, int length, void* target, int capacity) {
  if (length < 0 || capacity < 0) return -1;
  thread_local TDeflateStream deflater;
  z_stream* zs = deflater.Fresh();
  if (zs == nullptr) return -1;
  zs->next_in = static_cast<const Bytef*>(source);
  zs->avail_in = static_cast<uInt>(length);
  zs->next_out = static_cast<Bytef*>(target);
  zs->avail_out = static_cast<uInt>(capacity);
  const int result = deflate(zs, Z_FINISH);
  const int produced = capacity - static_cast<int>(zs->avail_out);
  return result == Z_STREAM_END ? produced : -1;
}
