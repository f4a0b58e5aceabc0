#include "utils/protocol_text.h"

#include <array>
#include <cstddef>

namespace {

struct TEntity {
  char plain;
  std::string_view escaped;
};

constexpr std::array<TEntity, 3> kEntities{{
    {'&', "&amp;"},
    {'$', "&#36;"},
    {'|', "&#124;"},
}};

}  // namespace

std::string ProtocolSafeText(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    switch (c) {
      case '\x00':
      case '\x05':
      case '$':
      case '|': c = '_'; break;
      case ' ': c = '\xA0'; break;
      default: break;
    }
  }
  return result;
}

std::string EscapeProtocolText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    bool escaped = false;
    for (const auto& e : kEntities) {
      if (c == e.plain) {
        result += e.escaped;
        escaped = true;
        break;
      }
    }
    if (!escaped) result += c;
  }
  return result;
}

std::string UnescapeProtocolText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    bool replaced = false;
    if (text[pos] == '&') {
      for (const auto& e : kEntities) {
        if (text.substr(pos, e.escaped.size()) == e.escaped) {
          result += e.plain;
          pos += e.escaped.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) result += text[pos++];
  }
  return result;
}
