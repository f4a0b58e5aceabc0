#pragma once

#include <QString>
#include <string>
#include <string_view>

// The window's edge between the hub's 8-bit Windows-1252 bytes and Qt's
// Unicode text. One 256-entry table decides both ways, so every byte
// round-trips: the five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) stand for the code point of the same value. A character
// with no byte becomes "?".
QChar CharFromByte(unsigned char byte);
char ByteFromChar(QChar ch);
QString TextFromBytes(std::string_view bytes);
std::string BytesFromText(const QString& text);

// Memos: the hub's CR LF line breaks are "\n" in a text box.
QString MemoFromBytes(std::string_view bytes);
std::string BytesFromMemo(const QString& text);
