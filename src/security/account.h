#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/date_time.h"

class TProfile;

struct TAccountStats {
  TDateTime FirstUse{};
  std::int64_t Uptime = 0;  // milliseconds
  int Kicks = 0;
  int Bans = 0;
  int TimeBans = 0;
  int Redirects = 0;
};

// A registered nick with its password and profile. The accounts list and
// every connection bound to it hold it by shared_ptr: an account deleted or
// dropped by a reload while a user still holds it lives on, marked Deleted,
// until the last holder lets go.
class TAccount {
 public:
  std::string Nick;  // key, compared case-insensitively
  TDateTime Created{};
  TDateTime LastSpoke{};
  TDateTime LastUsed{};
  bool Deleted = false;
  bool Online = false;
  std::shared_ptr<TProfile> Profile;  // null: the account grants no rights
  bool BuiltIn = false;
  TAccountStats Stats;
  std::string Pass;
  std::string IPPattern;
  std::string Owner;
  std::string CreatedBy;
  std::string OnJoin;
  TDateTime LastChanged{};
  std::string LastChangedBy;
  bool ExpireDateEnabled = false;
  TDateTime ExpireDate{};
  bool ShareHidden = false;
  bool UserHidden = false;
  std::string Comment;
  int InUseCount = 0;  // connections bound to it
};
