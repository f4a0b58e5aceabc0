#include "marker.h"

std::string FormatMarker(TMarkerKind kind, std::uint32_t seq) {
  std::string out;
  out.reserve(13);
  out.push_back('\x01');
  out.push_back(static_cast<char>(kind));
  out.append(std::to_string(seq));
  out.push_back('\x01');
  return out;
}

bool IsMarkerKind(char c) {
  switch (static_cast<TMarkerKind>(c)) {
    case TMarkerKind::Chat:
    case TMarkerKind::Private:
    case TMarkerKind::ActiveSearch:
    case TMarkerKind::PassiveSearch:
    case TMarkerKind::Result:
      return true;
  }
  return false;
}
