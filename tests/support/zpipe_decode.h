#pragma once

#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <zlib.h>

// Undoes "$ZOn|" blocks as a client does: only where a message starts.
// A broken stream fails the test and ends the text there.
inline std::string DecodeZPipe(std::string_view wire) {
  constexpr std::string_view kZOn = "$ZOn|";
  std::string plain;
  std::size_t at = 0;
  while (at < wire.size()) {
    const bool messageStart = plain.empty() || plain.back() == '|';
    if (messageStart && wire.substr(at, kZOn.size()) == kZOn) {
      at += kZOn.size();
      z_stream zs{};
      EXPECT_EQ(inflateInit(&zs), Z_OK);
      std::string chunk(1 << 16, '\0');
      int rc = Z_OK;
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data() + at));
      zs.avail_in = static_cast<uInt>(wire.size() - at);
      while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        plain.append(chunk.data(), chunk.size() - zs.avail_out);
      }
      EXPECT_EQ(rc, Z_STREAM_END) << "a broken stream at " << at;
      at = wire.size() - zs.avail_in;
      inflateEnd(&zs);
      if (rc != Z_STREAM_END) return plain;
      continue;
    }
    const std::size_t bar = wire.find('|', at);
    const std::size_t end = bar == std::string_view::npos ? wire.size() : bar + 1;
    plain.append(wire.substr(at, end - at));
    at = end;
  }
  return plain;
}
