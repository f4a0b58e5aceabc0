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
#include <zlib.h>

#include "core/nick_list.h"
#include "core/shared_block.h"
#include "nick_list_test_support.h"
#include "security/account.h"
#include "security/profile_access.h"

namespace {

constexpr std::string_view kZOn = "$ZOn|";

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

// Undoes "$ZOn|" blocks as a client does: only where a message starts.
std::string Decode(std::string_view wire) {
  std::string plain;
  std::size_t at = 0;
  while (at < wire.size()) {
    const bool messageStart = plain.empty() || plain.back() == '|';
    if (messageStart && wire.substr(at, kZOn.size()) == kZOn) {
      at += kZOn.size();
      z_stream zs{};
      EXPECT_EQ(inflateInit(&zs), Z_OK);
      std::string chunk(1 << 16, '\0');
      int rc = Z_OK;
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data() + at));
      zs.avail_in = static_cast<uInt>(wire.size() - at);
      while (rc == Z_OK) {
        zs.next_out = reinterpret_cast<Bytef*>(chunk.data());
        zs.avail_out = static_cast<uInt>(chunk.size());
        rc = inflate(&zs, Z_NO_FLUSH);
        plain.append(chunk.data(), chunk.size() - zs.avail_out);
      }
      EXPECT_EQ(rc, Z_STREAM_END) << "a broken stream at " << at;
      at = wire.size() - zs.avail_in;
      inflateEnd(&zs);
      if (rc != Z_STREAM_END) return plain;
      continue;
    }
    const std::size_t bar = wire.find('|', at);
    const std::size_t end = bar == std::string_view::npos ? wire.size() : bar + 1;
    plain.append(wire.substr(at, end - at));
    at = end;
  }
  return plain;
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
    clients_.push_back(std::move(client));
    return *clients_.back();
  }

  // The list goes to its viewer alone, after what was queued.
  void SendList(TClient& c) {
    c.expected += ReferenceNickList(list, settings, *c.user);
    list.SendNickList(*c.user);
  }

  void Join() {
    TClient& c = Connect();
    // Some ask for the list before they are listed.
    if (Pick(5) == 0) SendList(c);
    Step([&] { FinishLogin(*c.user); });
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
    EXPECT_EQ(Decode(c.wire), c.expected) << c.user->Nick << " flavour " << c.flavour;
  }

  void Quit(std::size_t index) {
    TClient& c = *clients_[index];
    Check(c);
    Step([&] { Logout(*c.user); });
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
  for (int step = 0; step < 400; ++step) {
    const int op = Pick(20);
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
      TClient& c = *clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))];
      Step([&] {
        if (!list.AddOperator(*c.user)) list.RemoveOperator(*c.user);
      });
    } else if (op < 17) {
      SendList(*clients_[static_cast<std::size_t>(Pick(static_cast<int>(clients_.size())))]);
    } else {
      for (auto& c : clients_) {
        if (Pick(2) == 0) Drain(*c, 1 + Pick(30000));
      }
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

// A client that stops reading keeps only what it had queued: a block the
// list dropped lives until that client's queue goes, and no longer.
TEST(NickListSharedBlocks, ABlockLivesUntilItsLastReaderLetsGo) {
  TNickListFixture f;
  for (int i = 0; i < 400; ++i) f.LoginWith("m" + std::to_string(1000 + i), {nullptr, false, true, false});
  THubSocket& stuck = *f.list.FindUser("m1000");
  TNickListFixture::Take(stuck);
  f.list.SendNickList(stuck);
  std::weak_ptr<const TSharedBlock> first = f.list.MyINFOChain(false).Blocks().front();
  // m1001's text changes: the first block is made anew.
  THubSocket& changed = *f.list.FindUser("m1001");
  changed.UserInfo().Description = "changed";
  changed.UserInfo().RebuildMyINFO(changed.Nick, f.settings);
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
    EXPECT_EQ(Decode(wire), expected);
    if (zpipe) {
      EXPECT_LT(wire.size(), expected.size() / 2);
    }
  }
}

}  // namespace
