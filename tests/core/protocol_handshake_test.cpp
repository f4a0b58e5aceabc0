// The lock / key hand-shake and "$Supports".

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol_test_fixture.h"

namespace {

class TProtocolHandshakeTest : public TProtocolFixture {
 protected:
  // What a client does with "$Lock ...": the key of the bytes up to " Pk=".
  static std::string ClientKey(const std::string& output) {
    const std::size_t start = output.find("$Lock ");
    const std::size_t end = output.find(" Pk=", start);
    EXPECT_NE(start, std::string::npos);
    EXPECT_NE(end, std::string::npos);
    return "$Key " + TProtocol::KeyOfLock(output.substr(start + 6, end - start - 6)) + "|";
  }
};

TEST(TKeyOfLockTest, MatchesRealClients) {
  struct TCase {
    std::string Lock;
    std::string Key;
  };
  const std::vector<TCase> cases = {
      // what ncdc 1.23.1 answered
      {"EXTENDEDPROTOCOL_NMDC_0626",
       "\x44\xd1\xc0\x11\xb0\xa0\x10\x10\x41\x20\xd1\xb1\xb1\xc0\xc0\x30\x31\x11\x30\x90\x70"
       "\xc1\xf6/%DCN096%/@@"},
      {"EXTENDEDPROTOCOLABCABCABCABCABCABC",
       "\x14\xd1\xc0\x11\xb0\xa0\x10\x10\x41\x20\xd1\xb1\xb1\xc0\xc0\x30\xd0\x30\x10\x20\x30"
       "\x10\x20\x30\x10\x20\x30\x10\x20\x30\x10\x20\x30\x10"},
      {"A\x86" "BC", "T/%DCN124%/L\x10"},
      {"aaaa", "F/%DCN000%//%DCN000%//%DCN000%/"},
      {"a", ""},
      {"", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Lock);
    EXPECT_EQ(TProtocol::KeyOfLock(c.Lock), c.Key);
  }
}

TEST(TKeyOfLockTest, SeedsComeFromTheAlphabet) {
  for (int i = 0; i < 50; ++i) {
    const std::string seed = TProtocol::NewLockSeed();
    ASSERT_EQ(seed.size(), 4u);
    for (char c : seed) EXPECT_NE(TProtocol::kLockSeedAlphabet.find(c), std::string_view::npos);
  }
}

TEST_F(TProtocolHandshakeTest, RightKeyOpensTheLogin) {
  for (int round = 0; round < 20; ++round) {  // different seeds
    THubSocket& user = NewUser();
    protocol_.SendLock(user);
    const std::string lock = Output(user);
    EXPECT_EQ(lock.back(), '|');
    Feed(user, ClientKey(lock));
    ASSERT_EQ(user.LoginState, lgKeyAccepted) << lock;
    EXPECT_TRUE(user.UserInfo().Transfer.KeyMatched);
    const std::string out = Output(user);
    EXPECT_EQ(out.rfind("$HubName ", 0), 0u) << out;
    EXPECT_NE(out.find(Bot(protocol_.Banner())), std::string::npos) << out;
  }
}

TEST_F(TProtocolHandshakeTest, WrongKey) {
  struct TCase {
    const char* Name;
    bool Kick;
    bool Notify;
    bool Truncate;  // the right key cut short
    bool Closing;
    bool Notified;
  };
  const std::vector<TCase> cases = {
      {"kick and notify", true, true, false, true, true},
      {"kick silently", true, false, false, true, false},
      {"short key is wrong", true, true, true, true, true},
      {"no kick", false, true, false, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    settings_.KickOnInvalidKey = c.Kick;
    settings_.NotifyInvalidKey = c.Notify;
    THubSocket& user = NewUser();
    protocol_.SendLock(user);
    std::string key = ClientKey(Output(user));
    if (c.Truncate) {
      key = key.substr(0, key.size() - 3) + "|";
    } else {
      key[6] = static_cast<char>(key[6] ^ 1);
    }
    Feed(user, key);
    EXPECT_EQ(user.LifeState == lsClosing, c.Closing);
    const std::string out = Output(user);
    EXPECT_EQ(out.find(Text(TLanguageKey::InvalidKeySuppliedByClient)) != std::string::npos,
              c.Notified);
    if (!c.Closing) {
      EXPECT_EQ(user.LoginState, lgKeyAccepted);
      EXPECT_FALSE(user.UserInfo().Transfer.KeyMatched);
    }
  }
}

TEST_F(TProtocolHandshakeTest, TopicWaitsWhenTheHubAsksForPasswords) {
  settings_.SetHubName("Hub");
  settings_.SetTopic("news");
  struct TCase {
    bool RegOnly;
    bool Password;
    const char* HubName;
  };
  const std::vector<TCase> cases = {
      {false, false, "$HubName Hub - news|"},
      {true, false, "$HubName Hub|"},
      {false, true, "$HubName Hub|"},
  };
  for (const TCase& c : cases) {
    settings_.RegOnlyHub = c.RegOnly;
    settings_.Password = {c.Password, "secret"};
    THubSocket& user = NewUser();
    protocol_.SendLock(user);
    Feed(user, ClientKey(Output(user)));
    EXPECT_EQ(Output(user).rfind(c.HubName, 0), 0u) << c.HubName;
  }
}

TEST_F(TProtocolHandshakeTest, SupportsSetsFlagsAndAnswersTwice) {
  THubSocket& user = NewUser();
  Feed(user, "$Supports UserCommand nogetinfo NoHello UserIP2 ZPipe0 TLS |");
  const TSupports& s = user.UserInfo().Supports;
  EXPECT_TRUE(s.UserCommand && s.NoGetINFO && s.NoHello && s.UserIP2 && s.UserIP && s.ZPipe);
  EXPECT_FALSE(s.Feed || s.DHT0 || s.MCTo);
  EXPECT_EQ(Output(user), TProtocol::kSupportsReply);
  Feed(user, "$Supports Feed|");
  EXPECT_EQ(Output(user), TProtocol::kSupportsReply);
  Feed(user, "$Supports MCTo|");
  EXPECT_EQ(Output(user), "");
  EXPECT_FALSE(user.UserInfo().Supports.MCTo);
  EXPECT_EQ(user.UserInfo().Transfer.JunkBytes, 0);
}

TEST_F(TProtocolHandshakeTest, PipelinedLoginOfARealClient) {
  // EiskaltDC++ sends these three in one segment right after "$Lock".
  THubSocket& user = NewUser();
  protocol_.SendLock(user);
  const std::string key = ClientKey(Output(user));
  Feed(user, "$Supports UserCommand NoGetINFO NoHello UserIP2 TTHSearch ZPipe0 TLS |" + key +
                 "$ValidateNick eisk1|");
  EXPECT_EQ(user.LoginState, lgNickAccepted);
  EXPECT_NE(Output(user).find("$Hello eisk1|"), std::string::npos);
}

}  // namespace
