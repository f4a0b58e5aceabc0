#pragma once

#include <functional>
#include <set>
#include <string>

// A ";"-separated set that reports what each new text adds and removes (the
// listening-port lists open and close listeners from it).
class TStringPatternList {
 public:
  using TNotify = std::function<void(const std::string& entry)>;

  const std::string& Text() const { return text_; }
  void SetText(const std::string& text);
  const std::set<std::string>& Entries() const { return entries_; }

  TNotify OnAdded;
  TNotify OnRemoved;

 private:
  std::string text_;
  std::set<std::string> entries_;
};
