#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "security/account.h"
#include "security/accounts.h"
#include "security/profile.h"
#include "security/profiles.h"
#include "settings/language.h"
#include "settings/language_loader.h"
#include "settings/settings.h"

// The settings record, profiles, accounts and a language file of the
// current home, each carrying the number of the save round that wrote it, so
// that a reader can tell a whole file of some round from anything else.
// Shared by the saving child of the crash tests and the test that checks
// its files.
class TStampedFiles {
 public:
  static constexpr std::string_view kLanguageFile = "english.xml";
  static constexpr std::string_view kStampProfile = "Stamp";
  static constexpr std::string_view kStampAccount = "stamp";
  static constexpr int kBulkAccounts = 150;  // so a save takes a while

  TStampedFiles() { profiles_.SetAccounts(&accounts_); }

  // Loads every file; false when one is missing. Throws EKavroException
  // for a damaged settings record or language file; a damaged profile or
  // account file reads as false as well.
  bool Load() {
    bool all = settings_.Load();
    all = profiles_.Load() && all;
    all = accounts_.Load() && all;
    return loader_.Load(std::string(kLanguageFile)) && all;
  }

  // Puts `round` into every file's values and grows the bulk to full size.
  void Stamp(int round) {
    const std::string text = std::to_string(round);
    settings_.SetTopic("Topic of round " + text);
    std::shared_ptr<TProfile> profile = profiles_.Find(kStampProfile);
    if (profile == nullptr) profile = profiles_.Add(kStampProfile);
    profile->ProfileLevel = round % 10;
    profile->Description = "Round " + text;
    for (int i = 0; i < kBulkAccounts; ++i) {
      const std::string nick = "user" + std::to_string(i);
      std::shared_ptr<TAccount> account = accounts_.Find(nick);
      if (account == nullptr) account = accounts_.Add(nick, kStampProfile);
      account->Comment = "Round " + text;
    }
    std::shared_ptr<TAccount> stamp = accounts_.Find(kStampAccount);
    if (stamp == nullptr) stamp = accounts_.Add(kStampAccount, kStampProfile);
    stamp->Comment = text;
    language_.SetText(TLanguageKey::HubTooBusy, "Busy in round " + text);
  }

  // Writes every file; false when one was refused.
  bool Save() {
    bool all = settings_.Save(TSaveMode::Forced);
    all = profiles_.Save() && all;
    all = accounts_.Save() && all;
    return loader_.Save(std::string(kLanguageFile)) && all;
  }

  // The round each file says it was written in; -1 when it does not say.
  int SettingsRound() const { return RoundOf(settings_.Topic(), "Topic of round "); }
  int ProfilesRound() const {
    const std::shared_ptr<TProfile> profile = profiles_.Find(kStampProfile);
    return profile == nullptr ? -1 : RoundOf(profile->Description, "Round ");
  }
  int AccountsRound() const {
    const std::shared_ptr<TAccount> stamp = accounts_.Find(kStampAccount);
    return stamp == nullptr ? -1 : RoundOf(stamp->Comment, "");
  }
  int LanguageRound() const {
    return RoundOf(language_.Text(TLanguageKey::HubTooBusy), "Busy in round ");
  }

 private:
  static int RoundOf(std::string_view text, std::string_view prefix) {
    if (!text.starts_with(prefix) || text.size() == prefix.size()) return -1;
    int round = 0;
    for (const char c : text.substr(prefix.size())) {
      if (c < '0' || c > '9' || round > 100000000) return -1;
      round = round * 10 + (c - '0');
    }
    return round;
  }

  TSettings settings_;
  TLanguage language_;
  TLanguageLoader loader_{language_};
  TProfiles profiles_{settings_};
  TAccounts accounts_{profiles_};
};
