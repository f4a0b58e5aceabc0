#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "settings/conn_restriction.h"
#include "security/profile_access.h"
#include "base/date_time.h"

// Every right of a profile, in record order (the order of profiles.xml).
enum class TProfileRight : std::uint8_t {
#define KAVRO_RIGHT(name, group, kind, value) name,
#include "security/profile_rights.inc"
#undef KAVRO_RIGHT
};

inline constexpr std::size_t kProfileRightCount = 0
#define KAVRO_RIGHT(name, group, kind, value) +1
#include "security/profile_rights.inc"
#undef KAVRO_RIGHT
    ;

enum class TRightKind : std::uint8_t { Bool, Level };

// One row of the rights table: the single description that loading,
// saving, the pages and the commands share.
struct TProfileRightInfo {
  TProfileRight Right;
  std::string_view Name;   // element name
  std::string_view Group;  // element path under <Profile>, e.g. "General/ProfileSettings"
  TRightKind Kind;
  std::uint8_t Default;
};

const TProfileRightInfo& ProfileRightInfo(TProfileRight right);
const std::array<TProfileRightInfo, kProfileRightCount>& ProfileRights();

class TXMLNode;

// How to read a profile element of a file written before the rights took
// their present form: high levels implied the hidden-user rights, and one
// switch stood for the six feed rights, which then followed the hub-wide
// feed flags given here.
struct TLegacyProfileRules {
  bool Apply = false;  // the file's version sorts below the gate
  bool FeedAction = false;
  bool FeedKick = false;
  bool FeedEvent = false;
  bool FeedGUI = false;
  bool FeedError = false;
};

// The version below which profiles.xml is read by the legacy rules.
inline constexpr std::string_view kLegacyProfileVersion = "1.03";

// A named set of rights. Connections hold their profile by shared_ptr, so a
// profile dropped by a reload lives until the last connection is re-bound.
class TProfile {
 public:
  // A user-defined profile with the defaults of a new profile.
  TProfile();

  // A new user-defined profile read from a <Profile> element.
  static std::shared_ptr<TProfile> CreateFromXML(const TXMLNode& node,
                                                 const TLegacyProfileRules& legacy = {});
  // Reads what `node` holds over the current values: a missing element or a
  // number that does not parse (levels must lie within 0..255) keeps the
  // current value. The name is read only into a user-defined profile; the
  // built-in ones keep theirs.
  void ReadFromXML(const TXMLNode& node, const TLegacyProfileRules& legacy = {});
  // Appends the children of a <Profile> element to `node`, in file order.
  void WriteToXML(TXMLNode& node) const;

  std::string Name;          // key, compared case-insensitively
  bool UserDefined = true;   // false for "Regular" and "Registered"
  int AccountCount = 0;      // accounts using it (kept by the accounts)
  std::string Description;
  int ProfileLevel = 0;      // 0 (low) .. 9 (high) on the profiles page
  TConnRestriction Restriction;

  bool JoinAnnouncementEnabled = false;
  std::string JoinAnnouncement;
  bool AllowUseAnnouncementAwayTimeEnabled = false;
  // A time of day, held on the day kAwayTimeDay; only the time is stored.
  TDateTime AllowUseAnnouncementAwayTime = kAwayTimeDay;

  // 2004-12-30 00:00:00, the day the away time is held on.
  static constexpr TDateTime kAwayTimeDay{12782 * kSecondsPerDay};

  // The raw byte of a right: 0/1 for a bool right, the TProfileAccess
  // value of a level right (a file may hold any number; it is not clamped).
  std::uint8_t Right(TProfileRight right) const {
    return rights_[static_cast<std::size_t>(right)];
  }
  void SetRight(TProfileRight right, std::uint8_t value) {
    rights_[static_cast<std::size_t>(right)] = value;
  }
  bool Has(TProfileRight right) const { return Right(right) != 0; }

  // Named readers, one per right: bool rights answer bool, level rights the
  // raw level value (profile.IsOperator(), profile.MayKickUser()).
#define KAVRO_RIGHT_Bool(name) \
  bool name() const { return Has(TProfileRight::name); }
#define KAVRO_RIGHT_Level(name) \
  std::uint8_t name() const { return Right(TProfileRight::name); }
#define KAVRO_RIGHT(name, group, kind, value) KAVRO_RIGHT_##kind(name)
#include "security/profile_rights.inc"
#undef KAVRO_RIGHT
#undef KAVRO_RIGHT_Level
#undef KAVRO_RIGHT_Bool

 private:
  std::array<std::uint8_t, kProfileRightCount> rights_{};
};
