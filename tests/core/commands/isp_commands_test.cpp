// The ISP commands: each line's exact replies and feed lines, the refusals,
// and what the ISP list holds afterwards.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/buffer_text.h"
#include "core/commands/commands_fixture.h"
#include "core/commands/hub_commands.h"
#include "core/write_buffer.h"
#include "utils/byte_size.h"
#include "utils/string_list.h"

namespace {

using R = TProfileRight;

const std::string kDash = "\r\n" + std::string(105, '-');

std::string Padded(std::string_view text, int column) {
  TWriteBuffer row(1);
  AppendTabPadded(text, row, column);
  return row.GetString();
}

class ISPCommandsTest : public TCommandsFixture {
 protected:
  ISPCommandsTest() {
    settings_.HubCommandsShowCommandToSelf = false;
    admin_ = MakeProfile("Admin",
                         {R::MayUseHubCommands, R::MayISPAddISP, R::MayISPDelISP, R::MayISPShowISPs,
                          R::MayISPSetMinShare, R::MayISPSetMaxShare, R::MayISPSetMaxHubs,
                          R::MayISPSetMinSlots, R::MayISPSetMaxSlots, R::MayISPSetSlotRatio,
                          R::MayISPShowIPsOnISP, R::MayISPAddIP, R::MayISPDelIP},
                         5);
    TISP& foo = Required(isps_.Add("Foo"), "ISP Foo");
    foo.Prefix = "[FOO]";
    isps_.AddIP(foo, "10.*");
    isps_.AddIP(foo, "10.1.*");
    isps_.AddIP(Required(isps_.Add("Bar"), "ISP Bar"), "10.1.2.*");
  }

  std::string Run(THubSocket& user, std::string_view text) {
    Dispatch(commands_, tokens_, message_, user, text, false);
    return Out(user);
  }

  std::shared_ptr<TProfile> admin_;
  TStringList tokens_{16};
  THubCommands commands_{ctx_, tokens_};
  std::string message_;
};

TEST_F(ISPCommandsTest, EachLineAnswersAndFeedsExactly) {
  struct TCase {
    const char* Line;
    std::string Reply;
    std::vector<std::string> Feed;
  };
  const std::string invalidIP = "The IP/IP range you've supplied isn't valid";
  const std::string badShare =
      "The share parameter isn't wellformed, use an integer value (sufixes: KiB, MiB, GiB, TiB, "
      "PiB)";
  const std::string badHubs = Text(TLanguageKey::ISPHubsInvalidHubParameter);
  const std::string badSlots = Text(TLanguageKey::ISPSlotsInvalidSlotsParameter);
  const TCase cases[] = {
      {"!addisp foo", "The ISP Foo already exists", {}},
      {"!addisp Baz [BZ]", "The ISP Baz was added", {"admin has added the ISP Baz"}},
      {"!delisp nobody", "The ISP nobody wasn't found", {}},
      {"!delisp baz", "The ISP Baz was deleted", {"admin has deleted the ISP Baz"}},
      {"!matchisp 10.1.2.3", "Best match for 10.1.2.3 is: Bar", {}},
      {"!mi 10.1.9.9", "Best match for 10.1.9.9 is: Foo", {}},
      {"!mi 11.0.0.1", "No ISP matching 11.0.0.1 found", {}},
      {"!mi 300.1.1.1", invalidIP, {}},
      {"!ispmaxhubs Foo 150", "Required hubs of Foo has been updated to 150",
       {"The ISP Foo has been updated by admin"}},
      {"!ispmaxhubs Foo 150", "Required hubs of Foo has been updated to 150", {}},
      {"!ispmaxhubs Foo 0", "Required hubs of Foo has been disabled",
       {"The ISP Foo has been updated by admin"}},
      {"!ispmaxhubs Foo -1", badHubs, {}},
      {"!ispmaxhubs Foo x", badHubs, {}},
      {"!ispmaxhubs Nobody 3", "The ISP Nobody wasn't found", {}},
      {"!ispminslots Foo 2", "Min slots of Foo has been updated to 2",
       {"The ISP Foo has been updated by admin"}},
      {"!ispmaxslots Foo 9", "Max slots of Foo has been updated to 9",
       {"The ISP Foo has been updated by admin"}},
      {"!ispslotratio Foo 3", "The slotratio of Foo has been updated to 3",
       {"The ISP Foo has been updated by admin"}},
      {"!ispslotratio Foo 1.5", badSlots, {}},
      {"!ispminshare Foo 0", "Min share of Foo has been disabled", {}},
      {"!ispminshare Foo 5 g", "Min share of Foo has been updated to " + FormatByteSize(5LL << 30),
       {"The ISP Foo has been updated by admin"}},
      {"!ispminshare Foo -5", badShare, {}},
      {"!ispmaxshare Foo 2t", "Max share of Foo has been updated to " + FormatByteSize(2LL << 40),
       {"The ISP Foo has been updated by admin"}},
      {"!addip 10.1.2.3 Nobody", "The ISP Nobody wasn't found", {}},
      {"!addip 10.1.2.x Foo", invalidIP, {}},
      {"!addip 10.1.2.0.* Foo", invalidIP, {}},
      {"!ai 10.2.*.* Foo", "10.2.* was added to Foo", {"10.2.* was added to Foo by admin"}},
      {"!ai 10.1.2 Foo", "10.1.2.* already exists, registered to Bar", {}},
      // The range holding the address goes, whatever ISP is named.
      {"!delip 10.1.2.3 Foo", "10.1.2.* was deleted from Bar",
       {"10.1.2.* was delete from Bar by admin"}},
      {"!di 11.1.1.1", "11.1.1.1 wasn' found", {}},
      {"!di x", invalidIP, {}},
  };
  THubSocket& admin = Online("admin", admin_);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    feed_.Actions.clear();
    EXPECT_EQ(Run(admin, c.Line), Bot(c.Reply));
    EXPECT_EQ(feed_.Actions, c.Feed);
  }
  ASSERT_NE(isps_.Find("Foo"), nullptr);
  const TConnRestriction& foo = isps_.Find("Foo")->Restriction;
  EXPECT_FALSE(foo.MaxHubsEnabled);
  EXPECT_EQ(foo.MaxHubs, 150);
  EXPECT_TRUE(foo.MinSlotsEnabled && foo.MaxSlotsEnabled && foo.SlotRatioEnabled);
  EXPECT_TRUE(foo.MinShareEnabled);
  EXPECT_EQ(foo.MinShare, 5LL << 30);
  EXPECT_EQ(foo.MaxShare, 2LL << 40);
  EXPECT_EQ(isps_.FindByIP("10.1.2.3"), isps_.Find("Foo"));
}

TEST_F(ISPCommandsTest, AddispCopiesTheGeneralRestriction) {
  settings_.ConnRestriction.MinShareEnabled = true;
  settings_.ConnRestriction.MinShare = 1234;
  settings_.ConnRestriction.MaxHubs = 7;
  THubSocket& admin = Online("admin", admin_);
  Run(admin, "!addisp New [N]");
  const TISP* isp = isps_.Find("New");
  ASSERT_NE(isp, nullptr);
  EXPECT_EQ(isp->Prefix, "[N]");
  EXPECT_EQ(isp->Restriction, settings_.ConnRestriction);
}

TEST_F(ISPCommandsTest, ListsShowAPageAndCountTheRowsWritten) {
  THubSocket& admin = Online("admin", admin_);
  const auto row = [](std::string_view isp, std::string_view range) {
    return "\r\n\xA6  " + Padded(isp, 4) + " " + std::string(range);
  };
  const std::string all = Run(admin, "!searchisp");
  EXPECT_NE(all.find("Showing 3 hits from offset 0, total hits: 3"), std::string::npos) << all;
  settings_.MaxHitsOnSearch = 1;
  // One page from the start: the cap, not one row more.
  EXPECT_EQ(Run(admin, "!si 10.1.*"),
            Bot(kDash + "\r\n\xA6 Showing 1 hits from offset 0, total hits: 2\r\n\xA6 On search: 10.1.*" +
                kDash + row("Foo", "10.1.*") + kDash));
  EXPECT_EQ(Run(admin, "!si 10.1.* 1"),
            Bot(kDash + "\r\n\xA6 Showing 1 hits from offset 1, total hits: 2\r\n\xA6 On search: 10.1.*" +
                kDash + row("Bar", "10.1.2.*") + kDash));
  EXPECT_EQ(Run(admin, "!si 10.1.* 2"),
            Bot(kDash + "\r\n\xA6 Showing 0 hits from offset 2, total hits: 2\r\n\xA6 On search: 10.1.*" +
                kDash));
  EXPECT_EQ(Run(admin, "!si 10.1.x"), Bot("The IP/IP range you've supplied isn't valid"));

  EXPECT_EQ(Run(admin, "!ispiplist foo 1"),
            Bot(kDash + "\r\n\xA6 Showing 1 hits from offset 1, total hits: 2\r\n\xA6 On ISP: Foo" +
                kDash + "\r\n\xA6  10.1.*" + kDash));
  EXPECT_EQ(Run(admin, "!ispiplist foo 9"),
            Bot(kDash + "\r\n\xA6 Showing 0 hits from offset 2, total hits: 2\r\n\xA6 On ISP: Foo" +
                kDash + kDash));
  EXPECT_EQ(Run(admin, "!showisp"),
            Bot(kDash + "\r\n\xA6  " + Padded("Bar", 3) + "Prefix: " + "\r\n\xA6  " +
                Padded("Foo", 3) + "Prefix: [FOO]" + kDash));
  ASSERT_NE(isps_.Find("Foo"), nullptr);
  isps_.Find("Foo")->Restriction.MaxHubsEnabled = true;
  isps_.Find("Foo")->Restriction.MaxHubs = 4;
  EXPECT_EQ(Run(admin, "!showisp Foo"),
            Bot(kDash + "\r\n\xA6  Name: Foo\r\n\xA6  Description: \r\n\xA6  Prefix: [FOO]" +
                "\r\n\xA6  Min share: [disabled]\r\n\xA6  Max share: [disabled]" +
                "\r\n\xA6  Max hubs: 4\r\n\xA6  Min slots: [disabled]\r\n\xA6  Max slots: [disabled]" +
                "\r\n\xA6  Slotratio: [disabled]\r\n\xA6  May connect using passive mode: Yes" +
                "\r\n\xA6  Allowed to bypass hubs/slots checks if no tag: No" + kDash));
  EXPECT_EQ(Run(admin, "!showisp Nope"), Bot("The ISP Nope wasn't found"));
}

}  // namespace
