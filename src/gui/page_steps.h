#pragma once

#include <cstddef>
#include <cstdint>

// The pages' fill operations, in the order the window runs them when it
// shows every page (start-up and "Load settings now"). The last two are
// list pages that the order leaves out; they run after it.
enum class TShowStep : std::uint8_t {
  UserStats,
  Accounts,
  Profiles,
  HubLists,
  About,
  General,
  Users,
  Restrictions,
  Security,
  Redirects,
  TextCommands,
  Notifications,
  BanList,
  Language,
  MCScanner,
  PMScanner,
  SearchScanner,
  Miscellaneous,
  ISPs,
  ChatRooms,
};
inline constexpr std::size_t kShowStepCount = 20;
