#include "json_writer.h"

#include <cmath>
#include <cstdio>

TJsonWriter::TJsonWriter() : text_("{"), first_{true} {}

void TJsonWriter::Name(std::string_view name) {
  if (!first_.back()) text_ += ',';
  first_.back() = false;
  Quoted(name);
  text_ += ':';
}

void TJsonWriter::Quoted(std::string_view text) {
  text_ += '"';
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text_ += '\\';
      text_ += c;
    } else if (u < 0x20 || u >= 0x7F) {
      // Bytes are Windows-1252, not UTF-8: escape what is not plain ASCII.
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
      text_ += escaped;
    } else {
      text_ += c;
    }
  }
  text_ += '"';
}

void TJsonWriter::Begin(std::string_view name) {
  Name(name);
  text_ += '{';
  first_.push_back(true);
}

void TJsonWriter::End() {
  if (first_.size() <= 1) return;
  text_ += '}';
  first_.pop_back();
}

void TJsonWriter::Field(std::string_view name, std::uint64_t value) {
  Name(name);
  text_ += std::to_string(value);
}

void TJsonWriter::Field(std::string_view name, double value) {
  Name(name);
  if (!std::isfinite(value)) {
    text_ += "null";
    return;
  }
  char number[32];
  std::snprintf(number, sizeof number, "%.3f", value);
  text_ += number;
}

void TJsonWriter::Field(std::string_view name, std::string_view value) {
  Name(name);
  Quoted(value);
}

std::string TJsonWriter::Finish() {
  while (first_.size() > 1) End();
  return text_ + "}";
}
