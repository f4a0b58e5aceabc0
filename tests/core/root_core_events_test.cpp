// The composition root's side of the core's events.

#include <gtest/gtest.h>

#include "chat_test_fixture.h"
#include "core/hub_feed.h"
#include "core/root_hooks.h"
#include "core/share_trace.h"

namespace {

class RootCoreEventsTest : public TChatFixture {
 protected:
  THubFeed feed_{settings_, language_, nickList_, stats_, ""};
  TDateTime now_{1000000};
  TShareTrace trace_{settings_, language_, feed_, [this] { return now_; }};
  TRootCoreEvents events_{router_};
};

// The kicker may leave before sending "$Kick": the close hook must drop
// the kept reason, or every such announcement stays behind for good.
TEST_F(RootCoreEventsTest, KeptKickReasonIsForgottenWhenTheKickerLeaves) {
  Profile("Kicker", TProfileRight::MayKickUser, 9);
  THubSocket& op = Online("op", "Kicker");
  Online("bob");
  settings_.SuppressKickMessagesInMainChat = true;
  EXPECT_TRUE(Send(op, "<op> op is kicking bob because: spam|"));
  events_.Disconnected(op);
  EXPECT_EQ(router_.Chat().TakeKickReason(op, "bob"), std::nullopt);
}

TEST_F(RootCoreEventsTest, PurgeDropsShareDemandsOlderThanThePruneHours) {
  THubSocket& kim = Online("kim");
  trace_.Add(kim, "share more");
  TDateTime purgeTime = now_;
  events_.SetShareTrace(&trace_, &settings_, [&purgeTime] { return purgeTime; });
  settings_.ShareTraceAutoPruneHours = {true, 12};

  purgeTime.Seconds += 12 * 3600;  // exactly the prune age: kept
  events_.Purge();
  EXPECT_EQ(trace_.Count(), 1);

  settings_.ShareTraceAutoPruneHours.Enabled = false;
  purgeTime.Seconds += 3600;
  events_.Purge();
  EXPECT_EQ(trace_.Count(), 1) << "pruning is off";

  settings_.ShareTraceAutoPruneHours.Enabled = true;
  events_.Purge();
  EXPECT_EQ(trace_.Count(), 0);
}

}  // namespace
