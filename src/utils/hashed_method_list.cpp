#include "utils/hashed_method_list.h"

#include <bit>
#include <string>

#include "base/case_tables.h"
#include "base/exceptions.h"

std::uint32_t HashHandlerName(std::string_view name) {
  std::uint32_t h = 0;
  for (const char c : name) h = std::rotl(h, 2) ^ LowerChar(c);
  return h;
}

void ThrowDuplicateHandlerName(std::string_view name) {
  throw EKavroException("THashedMethodList.Add", std::string(name) + " already exists");
}

bool SameHandlerName(std::string_view a, std::string_view b) { return SameText(a, b); }
