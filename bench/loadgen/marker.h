#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The sequence-numbered token a bot hides in the free text of a message
// (chat line, private message, search pattern, result file name) so that
// receivers recognise it without parsing the protocol: 0x01, the kind
// letter, the decimal sequence number, 0x01.
enum class TMarkerKind : char {
  Chat = 'C',
  Private = 'P',
  ActiveSearch = 'A',
  PassiveSearch = 'Q',
  Result = 'R',
};

struct TMarker {
  TMarkerKind Kind;
  std::uint32_t Seq;
};

std::string FormatMarker(TMarkerKind kind, std::uint32_t seq);

// Calls `found(marker)` for every well-formed marker in `text`, in order.
// Stray 0x01 bytes (the status byte of "$MyINFO") and broken tokens are
// skipped.
template <typename F>
void ScanMarkers(std::string_view text, F&& found);

// True for a kind letter of TMarkerKind.
bool IsMarkerKind(char c);

template <typename F>
void ScanMarkers(std::string_view text, F&& found) {
  std::size_t pos = text.find('\x01');
  while (pos != std::string_view::npos && pos + 3 < text.size()) {
    const char kind = text[pos + 1];
    std::size_t i = pos + 2;
    std::uint64_t seq = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 10) {
      seq = seq * 10 + static_cast<std::uint64_t>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (IsMarkerKind(kind) && digits > 0 && i < text.size() && text[i] == '\x01' &&
        seq <= UINT32_MAX) {
      found(TMarker{static_cast<TMarkerKind>(kind), static_cast<std::uint32_t>(seq)});
      pos = text.find('\x01', i + 1);
    } else {
      pos = text.find('\x01', pos + 1);
    }
  }
}
