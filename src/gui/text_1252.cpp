#include "gui/text_1252.h"

#include <array>
#include <unordered_map>

namespace {

// 0x80..0x9F; the undefined bytes keep their own value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const std::unordered_map<char16_t, unsigned char>& ReverseHigh() {
  static const auto table = [] {
    std::unordered_map<char16_t, unsigned char> map;
    for (unsigned i = 0; i < kHigh.size(); ++i) map.emplace(kHigh[i], static_cast<unsigned char>(0x80 + i));
    return map;
  }();
  return table;
}

}  // namespace

QChar CharFromByte(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return QChar(kHigh[byte - 0x80u]);
  return QChar(static_cast<char16_t>(byte));
}

char ByteFromChar(QChar ch) {
  const char16_t code = ch.unicode();
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  const auto& reverse = ReverseHigh();
  const auto it = reverse.find(code);
  return it == reverse.end() ? '?' : static_cast<char>(it->second);
}

QString TextFromBytes(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char byte : bytes) text.append(CharFromByte(static_cast<unsigned char>(byte)));
  return text;
}

std::string BytesFromText(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    // A character outside the 16-bit plane is one "?", not two.
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;
    bytes.push_back(ByteFromChar(ch));
  }
  return bytes;
}

QString MemoFromBytes(std::string_view bytes) {
  QString text = TextFromBytes(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

std::string BytesFromMemo(const QString& text) {
  QString crlf = text;
  crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return BytesFromText(crlf);
}
