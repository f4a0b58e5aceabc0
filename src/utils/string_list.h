#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A list of strings, each with an optional untyped object pointer, above all
// the tokeniser of command lines and protocol parameters. Does not own the
// objects. Indexes come from remote input, so reads out of range yield ""
// (or nullptr) instead of touching memory.
class TStringList {
 public:
  explicit TStringList(int capacity = 4);

  std::string Delimiter = " ";  // placed between items by Join

  void Add(std::string s);
  void AddObject(std::string s, void* object);
  void Delete(int index);  // out of range: nothing
  void Clear();            // capacity kept

  // Clear, then append each maximal run of characters between separators.
  void Split(std::string_view text, char separator);

  // Items first..last joined with Delimiter; last < 0 or past the end means
  // the last item; "" for an empty list or first past the end.
  std::string Join(int first, int last) const;

  const std::string& Get(int index) const;  // "" when out of range
  void* GetObject(int index) const;         // nullptr when out of range
  void Put(int index, std::string s);       // out of range: nothing

  void SetCapacity(int n);  // only grows
  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }

 private:
  void GrowIfFull();

  std::vector<std::pair<std::string, void*>> items_;
  int capacity_;
};
