#include "zpipe_inflater.h"

#include <zlib.h>

#include "base/exceptions.h"

struct TZPipeInflater::TState {
  z_stream Stream{};
  bool Initialised = false;
};

TZPipeInflater::TZPipeInflater() : state_(std::make_unique<TState>()) {}

TZPipeInflater::~TZPipeInflater() {
  if (state_->Initialised) inflateEnd(&state_->Stream);
}

void TZPipeInflater::Begin() {
  z_stream& z = state_->Stream;
  if (!state_->Initialised) {
    z = z_stream{};
    if (inflateInit(&z) != Z_OK) throw EKavroException("TZPipeInflater.Begin", "inflateInit");
    state_->Initialised = true;
  } else if (inflateReset(&z) != Z_OK) {
    throw EKavroException("TZPipeInflater.Begin", "inflateReset");
  }
  active_ = true;
}

std::size_t TZPipeInflater::Feed(const char* data, std::size_t length, std::string& out) {
  if (!active_ || length == 0) return 0;
  z_stream& z = state_->Stream;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(length);
  char chunk[16384];
  for (;;) {
    z.next_out = reinterpret_cast<Bytef*>(chunk);
    z.avail_out = sizeof chunk;
    const int rc = inflate(&z, Z_NO_FLUSH);
    out.append(chunk, sizeof chunk - z.avail_out);
    if (rc == Z_STREAM_END) {
      active_ = false;
      return length - z.avail_in;
    }
    if (rc == Z_BUF_ERROR || (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)) {
      return length;  // all input taken, the stream goes on in the next read
    }
    if (rc != Z_OK) throw EKavroException("TZPipeInflater.Feed", "corrupt stream");
  }
}
