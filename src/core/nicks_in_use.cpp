#include "core/nicks_in_use.h"

#include "utils/constants.h"

TNicksInUse::TNicksInUse() {
  Add(kProductName);
  Add(kDefaultGuiOwnerName);
}

bool TNicksInUse::Add(std::string_view nick) { return names_.Add(nick, nullptr); }

bool TNicksInUse::Remove(std::string_view nick) { return names_.Remove(nick); }

bool TNicksInUse::ExistsBuf(const char* buffer, int length) const {
  if (buffer == nullptr || length <= 0) return false;
  return Exists(std::string_view(buffer, static_cast<std::size_t>(length)));
}

std::string TNicksInUse::GetRealCase(std::string_view nick) const {
  const int index = names_.IndexOf(nick);
  return index < 0 ? std::string() : names_.GetKey(index);
}
