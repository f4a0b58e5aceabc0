// Which window page each list-changing command asks to refresh, and that
// refusals and unchanged values ask for nothing.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/commands/page_recorder.h"
#include "security/account.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

class PageRefreshTest : public TCommandsFixture {
 protected:
  PageRefreshTest() {
    settings_.HubCommandsShowCommandToSelf = false;
    const auto master = MakeProfile(
        "Master",
        {R::MayAccountsAdd, R::MayAccountsDel, R::MayAccountsSetPass, R::MayAccountsSetComment,
         R::MayISPAddIP, R::MayISPDelIP, R::MayRedirectChangeOnHubFull,
         R::MayRedirectChangeOnNoTag, R::MaySetWorkPace, R::MaySetMaxHubs,
         R::MayChangeUserLimit},
        9, paHigher);
    profiles_.AddProfile(master);
    profiles_.AddProfile(MakeProfile("Guide", {}, 3));
    Required(accounts_.Add("bob", "Guide"), "account bob").Pass = "pw";
    isps_.AddIP(Required(isps_.Add("Foo"), "ISP Foo"), "10.1.*");
    master_ = &Online("master", master);
    ctx_.Pages = &pages_;
    commands_ = std::make_unique<THubCommands>(ctx_, tokens_);
  }

  // The refreshes the line asked for.
  std::vector<std::string> Run(std::string_view text) {
    Dispatch(*commands_, tokens_, message_, *master_, text, false);
    Out(*master_);
    return pages_.Take();
  }

  TPageRecorder pages_;
  TStringList tokens_{16};
  std::unique_ptr<THubCommands> commands_;
  std::string message_;
  THubSocket* master_ = nullptr;
};

TEST_F(PageRefreshTest, EachChangeAsksForItsPageOnce) {
  using V = std::vector<std::string>;
  struct TCase {
    const char* Line;
    V Calls;
  };
  const TCase cases[] = {
      {"!setredirect full a.test", {"redirects"}},
      {"!setredirect all b.test", {"redirects"}},  // two types, one refresh
      {"!setredirect lowshare c.test", {}},         // not the sender's type
      {"!setredirect foo x", {}},
      {"!addreg ann apw Guide", {"account ann"}},
      {"!addreg ann apw Guide", {}},
      {"!changereg ann anna", {"renamed ann anna", "account anna"}},
      {"!changereg anna anna apw", {}},  // the same password changes nothing
      {"!changereg anna anna new", {"account anna"}},
      {"!setcomment anna hello", {"account anna"}},
      {"!delreg anna", {"deleted anna"}},
      {"!delreg anna", {}},
      {"!addip 10.2.0.0 Foo", {"range+ Foo 10.2.0.0"}},
      {"!addip 10.2.0.0 Foo", {}},
      {"!delip 10.1.3.4", {"range- Foo 10.1.*"}},
      {"!delip 10.1.3.4", {}},
      {"!setworkpace 3", {"general"}},
      {"!setworkpace 3", {}},
      {"!setmaxhubs 7", {"restrictions"}},
      {"!setmaxhubs 7", {}},
      {"!userlimit 321", {"general"}},
      {"!userlimit 321", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    EXPECT_EQ(Run(c.Line), c.Calls);
  }
}

// Without a window the commands act all the same.
TEST_F(PageRefreshTest, NoObserverIsNoWindow) {
  ctx_.Pages = nullptr;
  commands_ = std::make_unique<THubCommands>(ctx_, tokens_);
  EXPECT_EQ(Run("!delreg bob"), std::vector<std::string>{});
  EXPECT_EQ(accounts_.Find("bob"), nullptr);
}

}  // namespace
