#include "security/profile.h"

#include "utils/exceptions.h"

namespace {

constexpr std::array<TProfileRightInfo, kProfileRightCount> kRights{{
#define KAVRO_RIGHT(name, group, kind, value) \
  {TProfileRight::name, #name, group, TRightKind::kind, value},
#include "security/profile_rights.inc"
#undef KAVRO_RIGHT
}};

}  // namespace

const std::array<TProfileRightInfo, kProfileRightCount>& ProfileRights() { return kRights; }

const TProfileRightInfo& ProfileRightInfo(TProfileRight right) {
  const auto index = static_cast<std::size_t>(right);
  KAVRO_CHECK(index < kRights.size(), "profile right out of range");
  return kRights[index];
}

TProfile::TProfile() {
  for (const auto& info : kRights) SetRight(info.Right, info.Default);
}
