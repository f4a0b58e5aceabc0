#include "core/compress_block.h"

#define ZLIB_CONST
#include <zlib.h>

namespace {

constexpr int kLevel = 9;

// Owns an initialised deflate stream; End reports deflateEnd's result, the
// destructor ends a stream nobody ended.
class TDeflateStream {
 public:
  TDeflateStream() { ok_ = deflateInit(&stream_, kLevel) == Z_OK; }
  ~TDeflateStream() {
    if (ok_) deflateEnd(&stream_);
  }
  TDeflateStream(const TDeflateStream&) = delete;
  TDeflateStream& operator=(const TDeflateStream&) = delete;

  bool Ok() const { return ok_; }
  z_stream& Stream() { return stream_; }
  bool End() {
    ok_ = false;
    return deflateEnd(&stream_) == Z_OK;
  }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

int CompressBlock(const void* source, int length, void* target, int capacity) {
  if (length < 0 || capacity < 0) return -1;
  TDeflateStream deflater;
  if (!deflater.Ok()) return -1;
  z_stream& zs = deflater.Stream();
  zs.next_in = static_cast<const Bytef*>(source);
  zs.avail_in = static_cast<uInt>(length);
  zs.next_out = static_cast<Bytef*>(target);
  zs.avail_out = static_cast<uInt>(capacity);
  const int result = deflate(&zs, Z_FINISH);
  const int produced = capacity - static_cast<int>(zs.avail_out);
  const bool ended = deflater.End();
  return result == Z_STREAM_END && ended ? produced : -1;
}
