#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/hub_socket.h"
#include "core/nick_list.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_connection.h"

// A user list over in-memory connections, with the helpers every user-list
// test needs: log a user in as the login does, and read what it was sent.
class TNickListFixture {
 public:
  TNickListFixture() : list(settings, language, users.Defaults) {}

  struct TLoginOptions {
    std::shared_ptr<TProfile> profile;
    bool hidden = false;
    bool noHello = false;
    bool announce = true;
  };

  THubSocket& LoginWith(std::string_view nick, const TLoginOptions& options) {
    THubSocket& user = Connect(nick, options);
    FinishLogin(user, options.announce);
    return user;
  }
  THubSocket& Login(std::string_view nick, std::shared_ptr<TProfile> profile = nullptr) {
    return LoginWith(nick, TLoginOptions{std::move(profile)});
  }

  // A connection past $ValidateNick and its first "$MyINFO", not listed yet.
  THubSocket& Connect(std::string_view nick, const TLoginOptions& options) {
    online.push_back(users.Connect(nick, options.profile, options.hidden));
    THubSocket& user = *online.back();
    user.UserInfo().Supports.NoHello = options.noHello;
    user.UserInfo().Description = "d-" + std::string(nick);
    user.UserInfo().Email = "e-" + std::string(nick);
    user.UserInfo().RebuildMyINFO(user.Nick, settings);
    user.LoginState = 4;
    return user;
  }

  void FinishLogin(THubSocket& user, bool announce = true) {
    ASSERT_TRUE(list.Add(user));
    user.Listed = true;
    user.LoginState = 5;
    list.SendDeferredNickList(user);
    if (announce) list.AnnounceUser(user);
  }

  void Logout(THubSocket& user) {
    ASSERT_TRUE(list.Remove(user));
    user.Listed = false;
    list.AnnounceQuit(user);
  }

  // Everything queued for the user so far; the buffer is emptied.
  static std::string Take(THubSocket& user) {
    std::string sent = user.WriteBuffer().GetString();
    user.WriteBuffer().Clear(false);
    return sent;
  }

  // Each message of a stream without its '|'.
  static std::vector<std::string> Messages(std::string_view stream) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t bar = stream.find('|'); bar != std::string_view::npos;
         bar = stream.find('|', start)) {
      out.emplace_back(stream.substr(start, bar - start));
      start = bar + 1;
    }
    return out;
  }

  // Entries of a "$NickList a$$b$$" / "$OpList a$$b$$" message.
  static std::vector<std::string> Entries(std::string_view message) {
    std::vector<std::string> out;
    std::size_t start = message.find(' ') + 1;
    while (start < message.size()) {
      const std::size_t end = message.find("$$", start);
      out.emplace_back(message.substr(start, end - start));
      start = end + 2;
    }
    return out;
  }

  TSettings settings;
  TLanguage language;
  TFakeUsers users;
  TNickList list;
  std::vector<std::unique_ptr<THubSocket>> online;
};
