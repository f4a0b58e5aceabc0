#include "settings/settings.h"

#include <algorithm>
#include <cstddef>

#include "settings/settings_hooks.h"
#include "base/case_tables.h"
#include "utils/constants.h"
#include "utils/protocol_text.h"

namespace {

// Stands in for the subsystems until the composition root registers them.
TSettingsHooks& NoHooks() {
  static TSettingsHooks none;
  return none;
}

// Bytes that would break a protocol field if they stood in a nick,
// whatever the operator's table says.
bool NeverInNick(unsigned c) { return c <= 32 || c == '$' || c == '`' || c == '|' || c == '~'; }

}  // namespace

TSettings::TSettings() : HubPorts(kDefaultHubPorts) {
  // The defaults of setter-backed values take the setters' form too, so a
  // fresh record equals the same record saved and loaded again.
  hubName_ = ProtocolSafeText(std::string(kProductName) + " " + std::string(kProgramVersion));
  botName_ = ProtocolSafeText(kDefaultBotName);
  botDescription_ = ProtocolSafeText("Hub security");
  RebuildBotTexts();
  SetAllowedNickChars(DefaultAllowedNickChars);
  SetWordDelimiters(DefaultWordDelimiters);
  ConnRestriction.MinShare = std::int64_t{2147483648};  // 2 GiB
}

TSettings::~TSettings() = default;

TSettingsHooks& TSettings::Hooks() const { return hooks_ != nullptr ? *hooks_ : NoHooks(); }

void TSettings::SetHooks(TSettingsHooks* hooks) {
  hooks_ = hooks;
  Hooks().SetHubSpeed(workPace_);
  Hooks().SetSettingsWatcherEnabled(autoLoadSettings_);
  Hooks().ReserveNick(botName_);
}

void TSettings::SetHubName(std::string_view name) {
  std::string safe = ProtocolSafeText(name);
  if (safe == hubName_) return;
  hubName_ = std::move(safe);
  Hooks().SendToAll(HubNameMessage());
  Hooks().HubNameChanged();
}

void TSettings::SetTopic(std::string_view text) {
  if (text == topic_) return;
  topic_ = text;
  Hooks().SendToAll(HubNameMessage());
}

std::string TSettings::HubNameMessage() const {
  std::string message = "$HubName " + hubName_;
  if (!topic_.empty()) message += " - " + EscapeProtocolText(topic_);
  message += '|';
  return message;
}

bool TSettings::SetBotName(std::string_view name) {
  // Copies first: the arguments may refer to the members ChangeBot replaces.
  const std::string description = botDescription_;
  const std::string email = botEmail_;
  return ChangeBot(name, description, email);
}

void TSettings::SetBotDescription(std::string_view text) {
  const std::string name = botName_;
  const std::string email = botEmail_;
  ChangeBot(name, text, email);
}

void TSettings::SetBotEmail(std::string_view text) {
  const std::string name = botName_;
  const std::string description = botDescription_;
  ChangeBot(name, description, text);
}

bool TSettings::ChangeBot(std::string_view name, std::string_view description,
                          std::string_view email) {
  std::string newName = name.empty() ? botName_ : ProtocolSafeText(name);
  if (newName.empty()) newName = kDefaultBotName;
  // The bot's own nick (in any letter case) is reserved by the bot itself.
  bool accepted = true;
  if (!SameText(newName, botName_) && Hooks().IsNickInUseByOther(newName)) {
    newName = botName_;
    accepted = false;
  }
  std::string newDescription = ProtocolSafeText(description);
  std::string newEmail = ProtocolSafeText(email);
  if (newName == botName_ && newDescription == botDescription_ && newEmail == botEmail_) {
    return accepted;
  }

  TBotAnnouncement announcement;
  announcement.OldName = botName_;
  const bool renamed = newName != botName_;
  if (renamed) Hooks().ReleaseReservedNick(botName_);
  botName_ = std::move(newName);
  botDescription_ = std::move(newDescription);
  botEmail_ = std::move(newEmail);
  if (renamed) Hooks().ReserveNick(botName_);
  RebuildBotTexts();

  const std::string quit = "$Quit " + announcement.OldName + "|";
  const std::string opList = "$OpList " + botName_ + "$$|" + botMyINFO_;
  announcement.ForNoHello = quit + opList;
  announcement.ForHello = quit + "$Hello " + botName_ + "|" + opList;
  Hooks().AnnounceBot(announcement);
  return accepted;
}

void TSettings::RebuildBotTexts() {
  botChatPrefix_ = "<" + botName_ + "> ";
  botMyINFO_ = "$MyINFO $ALL " + botName_ + " " + botDescription_ + "$ $\x01$" + botEmail_ + "$0$|";
}

void TSettings::SetAllowedNickChars(std::string_view map) {
  allowedNickChars_ = map;
  const std::size_t n = std::min<std::size_t>(map.size(), 256);
  for (std::size_t c = 0; c < n; ++c) {
    nickCharAllowed_[c] = map[c] == '1' && !NeverInNick(static_cast<unsigned>(c));
  }
}

void TSettings::SetWordDelimiters(std::string_view map) {
  wordDelimiters_ = map;
  const std::size_t n = std::min<std::size_t>(map.size(), 256);
  for (std::size_t c = 0; c < n; ++c) wordDelimiter_[c] = map[c] == '1';
}

bool TSettings::SetWorkPace(int level) {
  if (level < kMinWorkPace || level > kMaxWorkPace) return false;
  if (level == workPace_) return true;
  workPace_ = level;
  Hooks().SetHubSpeed(level);
  return true;
}

void TSettings::SetAutoLoadSettings(bool enabled) {
  autoLoadSettings_ = enabled;
  Hooks().SetSettingsWatcherEnabled(enabled);
}

bool VersionBelow(std::string_view version, std::string_view gate) {
  return CompareStrPChar(version, gate) < 0;
}
