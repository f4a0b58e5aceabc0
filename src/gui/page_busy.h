#pragma once

// Marks a page busy while it is filled, so the change signals Qt emits on
// programmatic sets do not write back. Cleared on every way out.
class TBusyScope {
 public:
  explicit TBusyScope(bool& busy) : busy_(busy), was_(busy) { busy_ = true; }
  ~TBusyScope() { busy_ = was_; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  bool& busy_;
  bool was_;
};
