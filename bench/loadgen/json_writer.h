#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Builds one compact JSON object, nested objects included, in memory.
// Owns only the text; names and strings are escaped as JSON needs.
class TJsonWriter {
 public:
  TJsonWriter();
  void Begin(std::string_view name);  // a nested object
  void End();
  void Field(std::string_view name, std::uint64_t value);
  void Field(std::string_view name, double value);
  void Field(std::string_view name, std::string_view value);
  // The text, with every open object closed.
  std::string Finish();

 private:
  void Name(std::string_view name);
  void Quoted(std::string_view text);

  std::string text_;
  std::vector<bool> first_;  // per open object: no member written yet
};
