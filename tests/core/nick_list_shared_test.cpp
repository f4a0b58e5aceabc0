// The nick list queued as shared blocks must reach every client byte for
// byte as the list built for each viewer alone did. The per-viewer build is
// kept here as the reference; random joins, quits, "$MyINFO" changes,
// hidden users and operator changes run against both, and every client's
// queue is drained the way the send pass drains it (partial sends, ZPipe).
#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "core/nick_list.h"
#include "core/shared_block.h"
#include "nick_list_test_support.h"
#include "security/account.h"
#include "security/profile_access.h"
#include "support/zpipe_decode.h"

namespace {


// The list as it was built straight into one viewer's queue.
std::string ReferenceNickList(const TNickList& list, const TSettings& settings, THubSocket& user) {
  const bool listed = list.FindUser(user.Nick) == &user;
  const TUserInfo& info = user.UserInfo();
  auto myInfoFor = [&](const THubSocket& other) -> const std::string& {
    return user.IsOperator() ? other.UserInfo().OperatorMyINFO.Text : other.UserInfo().UserMyINFO.Text;
  };
  std::string out;
  if (!info.Supports.NoHello) {
    out += "$NickList " + settings.BotName() + "$$";
    if (!listed) out += user.Nick + "$$";
    for (int i = 0; i < list.GetCount(); ++i) {
      const THubSocket& other = *list.GetUser(i);
      if (TNickList::MaySee(user, other)) out += other.Nick + "$$";
    }
    out += '|';
  }
  if (user.Rights().MayShowHidden() != 0) {
    out += "$OpList " + settings.BotName() + "$$";
    for (int i = 0; i < list.OperatorCount(); ++i) {
      const THubSocket& op = *list.GetOperator(i);
      if (TNickList::MaySee(user, op)) out += op.Nick + "$$";
    }
  } else {
    const std::string_view cached = list.OpListText();
    out += cached.substr(0, cached.size() - 1);
  }
  if (user.IsOperator() && !list.IsListedOperator(user)) out += user.Nick + "$$";
  out += '|';
  out += settings.BotMyINFO();
  bool sentOwn = false;
  for (int i = 0; i < list.GetCount(); ++i) {
    const THubSocket& other = *list.GetUser(i);
    if (&other == &user) {
      if (!user.IsOperator()) continue;
      sentOwn = true;
    } else if (!TNickList::MaySee(user, other)) {
      continue;
    }
    out += myInfoFor(other);
  }
  if (!sentOwn) out += myInfoFor(user);
  return out;
}

// The "$UserIP" list as it was built for each operator alone.
std::string ReferenceUserIPList(const TNickList& list, const THubSocket& user) {
  std::string text = "$UserIP ";
  bool any = false;
  for (int i = 0; i < list.GetCount(); ++i) {
    const THubSocket& other = *list.GetUser(i);
    if (&other == &user || other.LifeState != lsInitialised || !TNickList::MaySee(user, other)) continue;
    if (any) text += "$$";
    text += other.Nick + " " + other.IP;
    any = true;
  }
  return any ? text + "|" : std::string();
}

// What a viewer was told of an arrival when the texts were copied into each
// queue.
std::string ReferenceArrival(const TNickList& list, const THubSocket& viewer, const THubSocket& user) {
  if (&viewer == &user || list.FindUser(viewer.Nick) != &viewer || viewer.LifeState != lsInitialised ||
      !TNickList::MaySee(viewer, user)) {
    return {};
  }
  std::string out;
  if (!viewer.UserInfo().Supports.NoHello) out += "$Hello " + user.Nick + "|";
  if (user.IsOperator()) out += "$OpList " + user.Nick + "$$|";
  out += viewer.IsOperator() ? user.UserInfo().OperatorMyINFO.Text : user.UserInfo().UserMyINFO.Text;
  if (viewer.Rights().MayAccessUserIP2() && viewer.UserInfo().Supports.UserIP2) {
    out += "$UserIP " + user.Nick + " " + user.IP + "|";
  }
  return out;
}


enum TFlavour { kPlain, kNoHello, kZPipe, kFlavourCount };
enum TKind { kRegular, kOperator, kMaster, kSneaky, kWatcher, kKindCount };

struct TClient {
  THubSocket* user = nullptr;
  TFlavour flavour = kPlain;
  std::string expected;  // plain text owed to the client
  std::string wire;      // what the "socket" took
};

class NickListShared : public ::testing::TestWithParam<unsigned>, public TNickListFixture {
 protected:
  NickListShared() : random_(GetParam()) {
    // Operators see the e-mail, users do not: the two views differ.
    settings.DisableMyINFOEmail = TTriState::Grayed;
    profiles_[kRegular] = users.Regular;
    profiles_[kOperator] = users.Operator;
    profiles_[kMaster] = users.Master;
    auto sneaky = std::make_shared<TProfile>();
    sneaky->ProfileLevel = 3;
    sneaky->SetRight(TProfileRight::MayHideMe, 1);
    profiles_[kSneaky] = sneaky;
    auto watcher = std::make_shared<TProfile>();
    watcher->ProfileLevel = 4;
    watcher->SetRight(TProfileRight::IsOperator, 1);
    watcher->SetRight(TProfileRight::MayShowHidden, paLower);
    profiles_[kWatcher] = watcher;
    watcher->SetRight(TProfileRight::MayAccessUserIP2, 1);
  }

  int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  // Runs `op`, owing each client what it queued privately meanwhile.
  template <typename Fn>
  void Step(Fn&& op) {
    std::map<TClient*, std::size_t> before;
    for (auto& c : clients_) before[c.get()] = static_cast<std::size_t>(c->user->WriteBuffer().Length());
    op();
    for (auto& c : clients_) {
      const std::string queued = c->user->WriteBuffer().GetString();
      ASSERT_GE(queued.size(), before[c.get()]);
      c->expected += queued.substr(before[c.get()]);
    }
  }

  TClient& Connect() {
    const std::string nick = "u" + std::to_string(next_++) + std::string(static_cast<std::size_t>(Pick(40)), 'x');
    const TKind kind = static_cast<TKind>(Pick(kKindCount));
    auto account = users.MakeAccount(nick, profiles_[kind]);
    account->UserHidden = Pick(4) == 0;
    THubSocket& user = TNickListFixture::Connect(nick, {});
    user.BindAccount(account, users.General);
    user.Registered = true;
    auto client = std::make_unique<TClient>();
    client->user = &user;
    client->flavour = static_cast<TFlavour>(Pick(kFlavourCount));
    user.UserInfo().Supports.NoHello = client->flavour == kNoHello || (client->flavour == kZPipe && Pick(2) == 0);
    user.UserInfo().Supports.ZPipe = client->flavour == kZPipe;
    user.UserInfo().Supports.UserIP2 = Pick(2) == 0;
    user.IP = "10.0." + std::to_string(Pick(256)) + "." + std::to_string(Pick(256));
    clients_.push_back(std::move(client));
    return *clients_.back();
  }

  // Runs `op`, which must queue for each client exactly what `owed` says
  // (the texts once copied into every queue).
  template <typename Fn, typename Owed>
  void Broadcast(Fn&& op, Owed&& owed) {
    std::map<TClient*, std::size_t> before;
    for (auto& c : clients_) before[c.get()] = static_cast<std::size_t>(c->user->WriteBuffer().Length());
    op();
    for (auto& c : clients_) {
      const std::string text = owed(*c->user);
      const std::string queued = c->user->WriteBuffer().GetString();
      ASSERT_GE(queued.size(), before[c.get()]);
      EXPECT_EQ(queued.substr(before[c.get()]), text) << c->user->Nick;
      c->expected += text;
    }
  }

  bool Online(const THubSocket& user) const {
    return list.FindUser(user.Nick) == &user && user.LifeState == lsInitialised;
  }

  TClient& AnyClient() { return *clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]; }

  // Main chat and bot texts to everyone or one side; now and then a long
  // one, or one sent in two parts of which only the second ends the message.
  void Chat(int step) {
    std::string line = "<u" + std::to_string(step) + "> ";
    line.append(static_cast<std::size_t>(Pick(8) == 0 ? 17000 + Pick(3000) : Pick(400)),
                static_cast<char>('a' + Pick(26)));
    line += '|';
    const int kind = Pick(6);
    const THubSocket& except = *AnyClient().user;
    const std::size_t cut = 1 + static_cast<std::size_t>(Pick(static_cast<int>(line.size()) - 1));
    Broadcast(
        [&] {
          switch (kind) {
            case 0: list.SendToAll(line); break;
            case 1: list.SendToAllExcept(except, line); break;
            case 2: list.SendToNonOperators(line); break;
            case 3: list.SendToOperators(line); break;
            default:
              list.SendToAll(std::string_view(line).substr(0, cut));
              list.SendToAll(std::string_view(line).substr(cut));
          }
        },
        [&](const THubSocket& viewer) -> std::string {
          if (!Online(viewer)) return {};
          switch (kind) {
            case 1: return &viewer == &except ? std::string() : line;
            case 2: return viewer.IsOperator() ? std::string() : line;
            case 3: return list.IsListedOperator(viewer) ? line : std::string();
            default: return line;
          }
        });
  }

  // A text to one client alone, between the broadcasts.
  void Private(TClient& c) {
    const std::string text = "<bot> for " + c.user->Nick + std::string(static_cast<std::size_t>(Pick(300)), 'p') + "|";
    c.user->WriteBuffer().AppendString(text);
    c.expected += text;
  }

  // The list goes to its viewer alone, after what was queued.
  void SendList(TClient& c) {
    c.expected += ReferenceNickList(list, settings, *c.user);
    list.SendNickList(*c.user);
    if (c.user->Rights().MayAccessUserIP2() && Pick(2) == 0) {
      c.expected += ReferenceUserIPList(list, *c.user);
      list.SendUserIPList(*c.user);
    }
  }

  void Join() {
    TClient& c = Connect();
    // Some ask for the list before they are listed.
    if (Pick(5) == 0) SendList(c);
    Broadcast([&] { FinishLogin(*c.user); },
              [&](const THubSocket& viewer) { return ReferenceArrival(list, viewer, *c.user); });
    SendList(c);
  }

  // Sends what the send pass would: at most `chunk` bytes, of which the
  // socket takes a random part.
  void Drain(TClient& c, int chunk) {
    TWriteBuffer& out = c.user->WriteBuffer();
    if (out.Empty()) return;
    const bool zpipe = c.flavour == kZPipe;
    if (zpipe) out.Compress();
    TIoSlice slices[8];
    const int count = out.Collect(slices, 8, chunk, zpipe);
    std::string offered;
    for (int i = 0; i < count; ++i) offered.append(static_cast<const char*>(slices[i].data), slices[i].length);
    ASSERT_LE(offered.size(), static_cast<std::size_t>(chunk));
    const int taken = Pick(4) == 0 ? static_cast<int>(offered.size())
                                   : Pick(static_cast<int>(offered.size()) + 1);
    c.wire.append(offered, 0, static_cast<std::size_t>(taken));
    out.Consume(taken);
  }

  void Check(TClient& c) {
    while (!c.user->WriteBuffer().Empty()) Drain(c, 1 << 20);
    EXPECT_EQ(DecodeZPipe(c.wire), c.expected) << c.user->Nick << " flavour " << c.flavour;
  }

  void Quit(std::size_t index) {
    TClient& c = *clients_[index];
    Check(c);
    const std::string quit = "$Quit " + c.user->Nick + "|";
    Broadcast([&] { Logout(*c.user); },
              [&](const THubSocket& viewer) {
                return &viewer != c.user && Online(viewer) && TNickList::MaySee(viewer, *c.user) ? quit
                                                                                            : std::string();
              });
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  void ChangeMyINFO(TClient& c) {
    Step([&] {
      c.user->UserInfo().Description = "d" + std::to_string(random_());
      c.user->UserInfo().RebuildMyINFO(c.user->Nick, settings);
    });
  }

  void ChangeProfile(TClient& c) {
    Step([&] {
      std::shared_ptr<TProfile> old = c.user->Account->Profile;
      c.user->Account->Profile = profiles_[Pick(kKindCount)];
      list.AccountProfileChanged(c.user->Account, old);
    });
  }

  std::mt19937 random_;
  std::shared_ptr<TProfile> profiles_[kKindCount];
  std::vector<std::unique_ptr<TClient>> clients_;
  int next_ = 0;
};

TEST_P(NickListShared, EveryClientReceivesWhatItsOwnBuildSent) {
  for (int step = 0; step < 600; ++step) {
    const int op = Pick(26);
    if (clients_.size() < 3 || op < 6) {
      Join();
    } else if (op < 8) {
      Quit(static_cast<std::size_t>(Pick(static_cast<int>(clients_.size()))));
    } else if (op < 11) {
      ChangeMyINFO(*clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]);
    } else if (op < 12) {
      ChangeProfile(*clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]);
    } else if (op < 13) {
      // Hidden flipped in place, as the hide command does.
      THubSocket& user = *clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]->user;
      user.Hidden = !user.Hidden;
    } else if (op < 14) {
      TClient& c = AnyClient();
      const bool adds = !list.IsListedOperator(*c.user);
      const std::string opList = "$OpList " + c.user->Nick + "$$|";
      Broadcast(
          [&] {
            if (adds) {
              EXPECT_TRUE(list.AddOperator(*c.user));
            } else {
              EXPECT_TRUE(list.RemoveOperator(*c.user));
            }
          },
          [&](const THubSocket& viewer) {
            return adds && Online(viewer) && TNickList::MaySee(viewer, *c.user) ? opList : std::string();
          });
    } else if (op < 17) {
      SendList(*clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]);
    } else if (op < 20) {
      for (auto& c : clients_) {
        if (Pick(2) == 0) Drain(*c, 1 + Pick(30000));
      }
    } else if (op < 24) {
      Chat(step);
    } else {
      Private(AnyClient());
    }
    if (HasFailure()) FAIL() << "seed " << GetParam() << " step " << step;
  }
  for (auto& c : clients_) Check(*c);
  if (HasFailure()) FAIL() << "seed " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Seeds, NickListShared, ::testing::Values(1u, 5u, 99u, 2024u));

// Large lists span several blocks: a join replaces one block and leaves the
// others shared, and what a client already queued stays what it was.
TEST(NickListSharedBlocks, AJoinReplacesOneBlockAndQueuedBlocksStay) {
  TNickListFixture f;
  std::vector<THubSocket*> listed;
  for (int i = 0; i < 1200; ++i) {
    THubSocket& u = f.LoginWith("n" + std::to_string(1000 + i * 2), {nullptr, false, true, false});
    listed.push_back(&u);
  }
  THubSocket& early = *listed.front();
  TNickListFixture::Take(early);
  f.list.SendNickList(early);
  const std::string queued = early.WriteBuffer().GetString();
  const auto before = f.list.MyINFOChain(false).Blocks();
  ASSERT_GE(before.size(), 4u);

  // A nick sorting into the middle of the list.
  THubSocket& late = f.LoginWith("n2201", {nullptr, false, true, false});
  f.list.SendNickList(late);
  const auto after = f.list.MyINFOChain(false).Blocks();
  int kept = 0;
  for (const auto& block : after) kept += std::count(before.begin(), before.end(), block) > 0 ? 1 : 0;
  EXPECT_EQ(kept, static_cast<int>(after.size()) - 1);
  EXPECT_EQ(early.WriteBuffer().GetString(), queued);
  // The shared blocks are not copied into the queue.
  EXPECT_GT(late.WriteBuffer().SharedBytes(), late.WriteBuffer().Length() * 9 / 10);
}

// A "$NickList" longer than a block is one message across several: each
// flavour still gets it whole, a ZPipe client deflated only as a whole
// message, and a join between two lists leaves the first one as it was.
TEST(NickListSharedBlocks, ANickListAcrossBlocksReachesEveryFlavourWhole) {
  TNickListFixture f;
  for (int i = 0; i < 1200; ++i) {
    f.LoginWith("a_rather_long_nick_number_" + std::to_string(1000 + i * 2), {nullptr, false, true, false});
  }
  for (const bool zpipe : {false, true}) {
    SCOPED_TRACE(zpipe ? "ZPipe" : "plain");
    THubSocket& viewer = f.LoginWith(zpipe ? "viewer_z" : "viewer_p", {nullptr, false, false, false});
    viewer.UserInfo().Supports.ZPipe = zpipe;
    TNickListFixture::Take(viewer);
    f.list.SendNickList(viewer);
    const std::string expected = ReferenceNickList(f.list, f.settings, viewer);
    ASSERT_GT(expected.find('|'), 3 * TNickList::kSharedBlockSize);
    // A join sorting into the first block before this list is sent.
    f.LoginWith(zpipe ? "a_rather_long_nick_number_1003" : "a_rather_long_nick_number_1001",
                {nullptr, false, true, true});
    std::string wire;
    TWriteBuffer& out = viewer.WriteBuffer();
    while (!out.Empty()) {
      if (zpipe) out.Compress();
      TIoSlice slices[16];
      const int count = out.Collect(slices, 16, 24576, zpipe);
      int sent = 0;
      for (int s = 0; s < count; ++s) {
        wire.append(static_cast<const char*>(slices[s].data), slices[s].length);
        sent += static_cast<int>(slices[s].length);
      }
      out.Consume(sent);
    }
    const std::string decoded = DecodeZPipe(wire);
    ASSERT_GE(decoded.size(), expected.size());
    EXPECT_EQ(decoded.substr(0, expected.size()), expected);
    if (zpipe) {
      // The list itself went deflated, not only the "$MyINFO"s behind it.
      EXPECT_EQ(wire.substr(0, 5), "$ZOn|");
      EXPECT_LT(wire.size(), expected.size() / 2);
    } else {
      EXPECT_EQ(wire, decoded);
    }
  }
}

// The operators' "$UserIP" list spans blocks too: each operator gets it
// without its own entry, hidden and half-logged-in users left out, whole
// for every flavour and with no separator after the last entry, also when
// the operator's own entry is the first or the last one; an operator who
// may see hidden users gets its own.
TEST(NickListSharedBlocks, TheUserIPListAcrossBlocksLeavesOutEachOperatorsOwnEntry) {
  TNickListFixture f;
  auto hider = std::make_shared<TProfile>();
  hider->SetRight(TProfileRight::MayHideMe, 1);
  for (int i = 0; i < 1200; ++i) {
    THubSocket& u = f.LoginWith("a_rather_long_nick_number_" + std::to_string(1000 + i * 2),
                                {i % 50 == 0 ? hider : nullptr, i % 50 == 0, true, false});
    u.IP = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250);
    if (i % 97 == 0) u.LifeState = lsClosing;
  }
  auto seer = std::make_shared<TProfile>(*f.users.Operator);
  seer->SetRight(TProfileRight::MayShowHidden, paLower);
  struct TCase {
    const char* nick;
    const char* ip;
    std::shared_ptr<TProfile> profile;
    bool zpipe;
  };
  for (const TCase& c : {TCase{"a_rather_long_nick_number_1501", "192.168.7.1", f.users.Operator, false},
                         TCase{"a_rather_long_nick_number_1503", "192.168.7.3", f.users.Operator, true},
                         TCase{"a_rather_long_nick_number_1505", "192.168.7.5", seer, false},
                         TCase{"a_first_operator", "192.168.7.6", f.users.Operator, false},
                         TCase{"zz_last_operator", "192.168.7.7", f.users.Operator, false},
                         TCase{"zz_last_operator_zpipe", "192.168.7.8", f.users.Operator, true}}) {
    SCOPED_TRACE(c.nick);
    THubSocket& op = f.LoginWith(c.nick, {c.profile, false, true, false});
    op.IP = c.ip;
    op.UserInfo().Supports.ZPipe = c.zpipe;
    TNickListFixture::Take(op);
    f.list.SendUserIPList(op);
    const std::string expected = ReferenceUserIPList(f.list, op);
    ASSERT_GT(expected.size(), 3 * TNickList::kSharedBlockSize);
    ASSERT_EQ(expected.find(op.IP), std::string::npos);
    ASSERT_NE(expected.substr(expected.size() - 3, 2), "$$");
    std::string wire;
    TWriteBuffer& out = op.WriteBuffer();
    while (!out.Empty()) {
      if (c.zpipe) out.Compress();
      TIoSlice slices[16];
      const int count = out.Collect(slices, 16, 24576, c.zpipe);
      int sent = 0;
      for (int s = 0; s < count; ++s) {
        wire.append(static_cast<const char*>(slices[s].data), slices[s].length);
        sent += static_cast<int>(slices[s].length);
      }
      out.Consume(sent);
    }
    EXPECT_EQ(DecodeZPipe(wire), expected);
  }
}

// A message split across two queued blocks never goes deflated in part:
// a stream may only begin where a message does.
TEST(NickListSharedBlocks, AMessageAcrossBlocksGoesPlainToAZPipeClient) {
  const std::string head = "$NickList " + std::string(300, 'a') + "$$";
  const std::string tail = std::string(300, 'b') + "$$|";
  TWriteBuffer out;
  out.AppendShared(std::make_shared<const TSharedBlock>(head));
  out.AppendShared(std::make_shared<const TSharedBlock>(tail));
  TIoSlice slices[4];
  const int count = out.Collect(slices, 4, 1 << 20, true);
  std::string wire;
  for (int s = 0; s < count; ++s) wire.append(static_cast<const char*>(slices[s].data), slices[s].length);
  EXPECT_EQ(wire, head + tail);
}

// A client that stops reading keeps only what it had queued: a block the
// list dropped lives until that client's queue goes, and no longer.
TEST(NickListSharedBlocks, ABlockLivesUntilItsLastReaderLetsGo) {
  TNickListFixture f;
  for (int i = 0; i < 400; ++i) f.LoginWith("m" + std::to_string(1000 + i), {nullptr, false, true, false});
  ASSERT_NE(f.list.FindUser("m1000"), nullptr);
  THubSocket& stuck = *f.list.FindUser("m1000");
  TNickListFixture::Take(stuck);
  f.list.SendNickList(stuck);
  std::weak_ptr<const TSharedBlock> first = f.list.MyINFOChain(false).Blocks().front();
  // m1001's text changes: the first block is made anew.
  ASSERT_NE(f.list.FindUser("m1001"), nullptr);
  THubSocket& changed = *f.list.FindUser("m1001");
  changed.UserInfo().Description = "changed";
  changed.UserInfo().RebuildMyINFO(changed.Nick, f.settings);
  ASSERT_NE(f.list.FindUser("m1200"), nullptr);
  THubSocket& other = *f.list.FindUser("m1200");
  f.list.SendNickList(other);
  EXPECT_NE(f.list.MyINFOChain(false).Blocks().front(), first.lock());
  EXPECT_FALSE(first.expired());
  stuck.WriteBuffer().Clear(true);
  EXPECT_TRUE(first.expired());
}

}  // namespace

namespace {

// Behind a shared block a client's own bytes grow in fresh blocks; one cut
// inside a message must still reach a ZPipe client whole.
TEST(NickListSharedBlocks, OwnBytesBehindSharedBlocksStayInOrderForEveryFlavour) {
  std::string list;
  for (int i = 0; i < 300; ++i) list += "$MyINFO $ALL n" + std::to_string(i) + " some description$ $|";
  for (const bool zpipe : {false, true}) {
    SCOPED_TRACE(zpipe ? "ZPipe" : "plain");
    std::mt19937 random(7);
    TWriteBuffer out;
    out.AppendString("$Hello me|");
    out.AppendShared(std::make_shared<const TSharedBlock>(list));
    std::string expected = "$Hello me|" + list;
    for (int i = 0; i < 400; ++i) {
      const std::string text(static_cast<std::size_t>(80 + random() % 60), static_cast<char>('a' + i % 26));
      out.AppendString("<bot> ");
      out.AppendString(text);
      out.AppendChar('|');
      expected += "<bot> " + text + "|";
    }
    EXPECT_FALSE(out.Overflow());
    EXPECT_LE(out.SizeClass(), 1);
    std::string wire;
    while (!out.Empty()) {
      if (zpipe) out.Compress();
      TIoSlice slices[8];
      const int count = out.Collect(slices, 8, 24576, zpipe);
      std::string offered;
      for (int s = 0; s < count; ++s) offered.append(static_cast<const char*>(slices[s].data), slices[s].length);
      const int taken = 1 + static_cast<int>(random() % offered.size());
      wire.append(offered, 0, static_cast<std::size_t>(taken));
      out.Consume(taken);
    }
    EXPECT_EQ(DecodeZPipe(wire), expected);
    if (zpipe) {
      EXPECT_LT(wire.size(), expected.size() / 2);
    }
  }
}

}  // namespace
