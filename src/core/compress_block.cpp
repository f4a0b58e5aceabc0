#include "core/compress_block.h"

#define ZLIB_CONST
#include <zlib.h>

namespace {

// zlib's default level packs chat and short replies within a fraction of
// a percent of level 9 at half the CPU time. Large blocks are nick lists,
// which the hub compresses for every ZPipe user that logs in: the fastest
// level still takes them to a seventh of their size, in under half the time
// of the default level, so a login storm does not stall the read pass.
constexpr int kLevel = 6;
constexpr int kLargeBlockLevel = 1;
constexpr int kLargeBlock = 65536;

// One deflate stream per thread, reset between blocks: initialising a
// stream allocates and clears a few hundred kilobytes, which cost more than
// compressing a typical block.
class TDeflateStream {
 public:
  explicit TDeflateStream(int level) : level_(level) { ok_ = deflateInit(&stream_, level_) == Z_OK; }
  ~TDeflateStream() {
    if (ok_) deflateEnd(&stream_);
  }
  TDeflateStream(const TDeflateStream&) = delete;
  TDeflateStream& operator=(const TDeflateStream&) = delete;

  // A stream ready for a new block, or nullptr when zlib cannot give one.
  z_stream* Fresh() {
    if (!ok_) {
      stream_ = z_stream{};
      ok_ = deflateInit(&stream_, level_) == Z_OK;
    } else if (deflateReset(&stream_) != Z_OK) {
      deflateEnd(&stream_);
      ok_ = false;
    }
    return ok_ ? &stream_ : nullptr;
  }

 private:
  int level_;
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

int CompressBlock(const void* source, int length, void* target, int capacity, bool fast) {
  if (length < 0 || capacity < 0) return -1;
  thread_local TDeflateStream normal(kLevel);
  thread_local TDeflateStream large(kLargeBlockLevel);
  z_stream* zs = (fast || length >= kLargeBlock ? large : normal).Fresh();
  if (zs == nullptr) return -1;
  zs->next_in = static_cast<const Bytef*>(source);
  zs->avail_in = static_cast<uInt>(length);
  zs->next_out = static_cast<Bytef*>(target);
  zs->avail_out = static_cast<uInt>(capacity);
  const int result = deflate(zs, Z_FINISH);
  const int produced = capacity - static_cast<int>(zs->avail_out);
  return result == Z_STREAM_END ? produced : -1;
}
