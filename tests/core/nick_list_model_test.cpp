// Random joins, quits, profile changes and hiding, checked after every step
// against what each viewer should see, worked out from a plain model rather
// than from the list's own caches.
#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/nick_list.h"
#include "nick_list_test_support.h"
#include "security/account.h"
#include "security/profile_access.h"

namespace {

using TNickSet = std::set<std::string>;

enum TKind { kRegular, kOperator, kMaster, kSneaky, kWatcher, kKindCount };

struct TModelUser {
  THubSocket* connection;
  TKind kind;
  bool asksHidden;
};

class NickListModel : public ::testing::TestWithParam<unsigned>, public TNickListFixture {
 protected:
  NickListModel() {
    profiles_[kRegular] = users.Regular;
    profiles_[kOperator] = users.Operator;
    profiles_[kMaster] = users.Master;  // operator, may hide, sees every hidden user
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

  static bool IsOp(TKind k) { return k == kOperator || k == kMaster || k == kWatcher; }
  static bool Hidden(const TModelUser& u) {
    return u.asksHidden && (u.kind == kMaster || u.kind == kSneaky);
  }
  // Which hidden users a viewer sees, by profile.
  static bool SeesHidden(TKind viewer, TKind target) {
    if (viewer == kMaster) return target == kMaster || target == kSneaky;
    if (viewer == kWatcher) return target == kSneaky;
    return false;
  }
  bool Visible(const TModelUser& viewer, const TModelUser& target) const {
    return viewer.connection == target.connection || !Hidden(target) ||
           SeesHidden(viewer.kind, target.kind);
  }

  void Join(std::mt19937& random) {
    const std::string nick = "u" + std::to_string(next_++);
    TModelUser u{nullptr, static_cast<TKind>(random() % kKindCount), random() % 2 == 0};
    auto account = users.MakeAccount(nick, profiles_[u.kind]);
    account->UserHidden = u.asksHidden;
    THubSocket& user = Connect(nick, {});
    user.BindAccount(account, users.General);
    user.Registered = true;
    FinishLogin(user);
    u.connection = &user;
    model_.push_back(u);
  }

  void Quit(std::size_t index) {
    Logout(*model_[index].connection);
    model_.erase(model_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  void ChangeProfile(std::size_t index, TKind kind) {
    TModelUser& u = model_[index];
    std::shared_ptr<TProfile> old = profiles_[u.kind];
    u.kind = kind;
    u.connection->Account->Profile = profiles_[kind];
    list.AccountProfileChanged(u.connection->Account, old);
  }

  void ToggleHidden(std::size_t index) {
    TModelUser& u = model_[index];
    u.asksHidden = !u.asksHidden;
    u.connection->Account->UserHidden = u.asksHidden;
    list.RefreshAccounts();
  }

  void CheckOpList() const {
    EXPECT_EQ(list.OpListText(), list.BuildOpList());
    TNickSet expected{settings.BotName()};
    for (const TModelUser& u : model_)
      if (IsOp(u.kind) && !Hidden(u)) expected.insert(u.connection->Nick);
    const auto entries = Entries(list.OpListText().substr(0, list.OpListText().size() - 1));
    EXPECT_EQ(TNickSet(entries.begin(), entries.end()), expected);
    EXPECT_EQ(entries.size(), expected.size());
  }

  void CheckNickList(const TModelUser& viewer) {
    Take(*viewer.connection);
    list.SendNickList(*viewer.connection);
    TNickSet nicks, ops, infos;
    for (const std::string& m : Messages(Take(*viewer.connection))) {
      if (m.rfind("$NickList ", 0) == 0) {
        for (const auto& n : Entries(m)) nicks.insert(n);
      } else if (m.rfind("$OpList ", 0) == 0) {
        for (const auto& n : Entries(m)) ops.insert(n);
      } else if (m.rfind("$MyINFO $ALL ", 0) == 0) {
        infos.insert(m.substr(13, m.find(' ', 13) - 13));
      }
    }
    TNickSet expectedNicks{settings.BotName()}, expectedOps{settings.BotName()};
    for (const TModelUser& u : model_) {
      if (!Visible(viewer, u)) continue;
      expectedNicks.insert(u.connection->Nick);
      if (IsOp(u.kind)) expectedOps.insert(u.connection->Nick);
    }
    EXPECT_EQ(nicks, expectedNicks) << "viewer " << viewer.connection->Nick;
    EXPECT_EQ(ops, expectedOps) << "viewer " << viewer.connection->Nick;
    EXPECT_EQ(infos, expectedNicks) << "viewer " << viewer.connection->Nick;
  }

  std::shared_ptr<TProfile> profiles_[kKindCount];
  std::vector<TModelUser> model_;
  int next_ = 0;
};

TEST_P(NickListModel, CachesAndListsMatchTheModelAfterEveryStep) {
  std::mt19937 random(GetParam());
  for (int step = 0; step < 150; ++step) {
    const unsigned op = random() % 10;
    if (model_.empty() || op < 4) {
      Join(random);
    } else if (op < 6) {
      Quit(random() % model_.size());
    } else if (op < 8) {
      ChangeProfile(random() % model_.size(), static_cast<TKind>(random() % kKindCount));
    } else {
      ToggleHidden(random() % model_.size());
    }
    CheckOpList();
    if (step % 10 == 0)
      for (const TModelUser& viewer : model_) CheckNickList(viewer);
    if (HasFailure()) FAIL() << "seed " << GetParam() << " step " << step;
  }
}

// Joins and quits only: what each client learns from the announcements adds
// up to what a fresh list would show it.
TEST_P(NickListModel, AnnouncementsKeepEveryClientInStep) {
  std::mt19937 random(GetParam());
  std::map<const THubSocket*, TNickSet> seen;
  auto deliver = [&] {
    for (const TModelUser& viewer : model_) {
      TNickSet& view = seen[viewer.connection];
      for (const std::string& m : Messages(Take(*viewer.connection))) {
        if (m.rfind("$Hello ", 0) == 0) view.insert(m.substr(7));
        if (m.rfind("$MyINFO $ALL ", 0) == 0) view.insert(m.substr(13, m.find(' ', 13) - 13));
        if (m.rfind("$Quit ", 0) == 0) view.erase(m.substr(6));
        if (m.rfind("$NickList ", 0) == 0)
          for (const auto& n : Entries(m)) view.insert(n);
      }
    }
  };
  for (int step = 0; step < 120; ++step) {
    if (model_.empty() || random() % 3 != 0) {
      Join(random);
      list.SendNickList(*model_.back().connection);
    } else {
      const std::size_t index = random() % model_.size();
      seen.erase(model_[index].connection);
      Quit(index);
    }
    deliver();
    for (const TModelUser& viewer : model_) {
      TNickSet expected{settings.BotName()};
      for (const TModelUser& u : model_)
        if (Visible(viewer, u)) expected.insert(u.connection->Nick);
      EXPECT_EQ(seen[viewer.connection], expected) << "viewer " << viewer.connection->Nick;
    }
    if (HasFailure()) FAIL() << "seed " << GetParam() << " step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, NickListModel, ::testing::Values(1u, 7u, 42u, 1234u));

}  // namespace
