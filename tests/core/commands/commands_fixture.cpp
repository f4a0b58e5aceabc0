#include "core/commands/commands_fixture.h"

#include "core/commands/hub_commands.h"
#include "utils/string_list.h"

#include <algorithm>
#include <stdexcept>


TCommandsFixture::TCommandsFixture()
    : ctx_{settings_, language_, nickList_, messages_, nicksInUse_, hooks_,
           stats_,    bans_,     history_,  nullptr,   &registered_,
           [this] {
             if (clockFails_) {
               clockFails_ = false;
               throw std::runtime_error("clock broke");
             }
             return now_;
           },
           [] { return std::string("1:02:03:04"); }} {
  TryEncodeDateTime({2024, 5, 6, 12, 34, 56}, now_);
  hooks_.SetFeed(&feed_);
  accounts_.SetClock([this] { return now_; });
  ctx_.Accounts = &accounts_;
  ctx_.Profiles = &profiles_;
  ctx_.ISPs = &isps_;
  ctx_.TmpBans = &tmpBans_;
  hooks_.SetLogin(&login_);
  settings_.SetBotName(kBot);
  nicksInUse_.Add(kBot);
}

TCommandsFixture::~TCommandsFixture() {
  for (const auto& user : users_) nickList_.Remove(*user);
}

std::shared_ptr<TProfile> TCommandsFixture::MakeProfile(std::string_view name,
                                                        std::initializer_list<TProfileRight> rights,
                                                        int level, std::uint8_t value) {
  auto profile = std::make_shared<TProfile>();
  profile->Name = std::string(name);
  profile->ProfileLevel = level;
  for (const TProfileRight right : rights)
    profile->SetRight(right, ProfileRightInfo(right).Kind == TRightKind::Level ? value : 1);
  return profile;
}

THubSocket& TCommandsFixture::Online(std::string_view nick, std::shared_ptr<TProfile> profile) {
  users_.push_back(fake_.Connect(nick, std::move(profile)));
  THubSocket& user = *users_.back();
  user.LoginState = 5;
  user.IP = "10.0.0." + std::to_string(users_.size());
  EXPECT_TRUE(nickList_.Add(user));
  return user;
}

std::string TCommandsFixture::ChatLine(const THubSocket& user, std::string_view text) {
  return "<" + user.Nick + "> " + std::string(text) + "|";
}

std::string TCommandsFixture::BotPM(const THubSocket& user, std::string_view text) {
  return "$To: HubBot From: " + user.Nick + " $<" + user.Nick + "> " + std::string(text) + "|";
}

bool TCommandsFixture::Dispatch(THubCommands& commands, TStringList& tokens, std::string& message,
                                THubSocket& user, std::string_view text, bool pm,
                                bool reportUnknown) {
  message = pm ? BotPM(user, text) : ChatLine(user, text);
  const std::size_t position = pm ? PMStart(user) : ChatStart(user);
  tokens.Split(std::string_view(message).substr(position + 1, message.size() - position - 2), ' ');
  while (tokens.Count() > 6) tokens.Delete(6);
  commands.SetSender(user, message, pm);
  return commands.HandleMessage(position, reportUnknown);
}

std::string TCommandsFixture::Out(THubSocket& user) {
  std::string out = user.WriteBuffer().GetString();
  user.WriteBuffer().Clear(false);
  return out;
}
