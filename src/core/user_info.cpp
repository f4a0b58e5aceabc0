#include "core/user_info.h"

#include <algorithm>

#include "settings/settings.h"
#include "utils/xml_values.h"

namespace {

// Who may see a field the settings can leave out: 0 everyone, 1 nobody,
// 2 operators only.
bool Shows(TTriState setting, bool forOperators) {
  if (setting == TTriState::Unchecked) return true;
  return forOperators && setting != TTriState::Checked;
}

std::string BuildMyINFO(const TUserInfo& info, std::string_view nick, const TSettings& settings,
                        bool forOperators) {
  std::string text;
  text.reserve(32 + nick.size() + info.Description.size() + info.Tag.size() + info.Speed.size() +
               info.Email.size());
  text += "$MyINFO $ALL ";
  text += nick;
  text += ' ';
  if (Shows(settings.DisableMyINFODescription, forOperators)) text += info.Description;
  if (Shows(settings.DisableMyINFODescriptionTag, forOperators)) text += info.Tag;
  text += "$ $";
  if (Shows(settings.DisableMyINFOConnectionSpeed, forOperators)) {
    text += info.Speed;
  } else {
    text += ' ';
  }
  text += info.Status;
  text += '$';
  if (Shows(settings.DisableMyINFOEmail, forOperators)) text += info.Email;
  text += '$';
  text += std::to_string(info.Share);
  text += "$|";
  return text;
}

void Replace(TMyINFOText& slot, std::string text) {
  // Main thread only, as every user's data.
  static std::uint64_t lastVersion = 0;
  slot.Changed = slot.Text != text;
  if (!slot.Changed) return;
  slot.Text = std::move(text);
  slot.Version = ++lastVersion;
}

}  // namespace

void TUserInfo::AddAllowed(std::uint64_t connectionId) {
  if (allowed_.size() >= kMaxAllowed) allowed_.erase(allowed_.begin());
  allowed_.push_back(connectionId);
}

bool TUserInfo::RemoveAllowed(std::uint64_t connectionId) {
  const auto found = std::find(allowed_.rbegin(), allowed_.rend(), connectionId);
  if (found == allowed_.rend()) return false;
  allowed_.erase(std::next(found).base());
  return true;
}

void TUserInfo::RebuildMyINFO(std::string_view nick, const TSettings& settings) {
  Replace(UserMyINFO, BuildMyINFO(*this, nick, settings, false));
  Replace(OperatorMyINFO, BuildMyINFO(*this, nick, settings, true));
}
