#include "security/profile.h"

#include <string>

#include "base/exceptions.h"
#include "utils/xml_document.h"
#include "utils/xml_values.h"

namespace {

constexpr std::array<TProfileRightInfo, kProfileRightCount> kRights{{
#define KAVRO_RIGHT(name, group, kind, value) \
  {TProfileRight::name, #name, group, TRightKind::kind, value},
#include "security/profile_rights.inc"
#undef KAVRO_RIGHT
}};

// The groups of a <Profile> element in file order. The rights table names
// each right's group; this order (not the table's) decides where it goes.
constexpr std::array<std::string_view, 16> kGroups{
    "General/ProfileSettings",     "General/Information",        "General/HubControl",
    "General/ConnRestrictions",    "UserAdmin/Accounts",         "UserAdmin/UserControl",
    "ISP/AdminISPs",               "ISP/AdminIPs",               "Miscellaneous/Redirects",
    "Miscellaneous/Miscellaneous", "Overrides/Priveliges",       "Overrides/ConnRestrictions",
    "Advanced/ProtocolRestrictions", "Advanced/FeatureAccess",   "Advanced/MasterOverrides",
    "Advanced/Feed"};

// The restriction's own elements follow the two rights of this group.
constexpr std::string_view kRestrictionGroup = "Overrides/ConnRestrictions";

std::string_view OuterOf(std::string_view path) { return path.substr(0, path.find('/')); }
std::string_view InnerOf(std::string_view path) { return path.substr(path.find('/') + 1); }

const TXMLNode* FindGroup(const TXMLNode& profile, std::string_view path) {
  const TXMLNode* outer = profile.FindChild(OuterOf(path));
  return outer == nullptr ? nullptr : outer->FindChild(InnerOf(path));
}

// A byte-sized number: anything outside 0..255 does not parse.
bool ParseByte(std::string_view text, int& value) {
  int parsed = 0;
  if (!ParseXMLInteger(text, parsed) || parsed < 0 || parsed > 255) return false;
  value = parsed;
  return true;
}

void ReadByte(const TXMLNode& node, std::string_view name, int& value) {
  if (const TXMLNode* child = node.FindChild(name)) ParseByte(child->Text, value);
}

// The time of day as "hh:mm:ss" (a full date-time is taken for its time),
// held on the away-time day.
void ReadTimeOfDay(const TXMLNode& node, std::string_view name, TDateTime& value,
                   bool& enabled) {
  const TXMLNode* child = node.FindChild(name);
  if (child == nullptr) return;
  ReadXMLEnableAttribute(*child, enabled);
  TDateTime parsed;
  if (ParseDateTime(child->Text, parsed) ||
      ParseDateTime(FormatDate(TProfile::kAwayTimeDay) + " " + child->Text, parsed)) {
    value.Seconds = TProfile::kAwayTimeDay.Seconds + TimeOfDay(parsed);
  }
}

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

std::shared_ptr<TProfile> TProfile::CreateFromXML(const TXMLNode& node,
                                                  const TLegacyProfileRules& legacy) {
  auto profile = std::make_shared<TProfile>();
  profile->ReadFromXML(node, legacy);
  return profile;
}

void TProfile::ReadFromXML(const TXMLNode& node, const TLegacyProfileRules& legacy) {
  if (UserDefined) ReadXMLString(node, "Name", Name);
  ReadXMLString(node, "Description", Description);
  ReadByte(node, "ProfileLevel", ProfileLevel);

  // The older rules first: the present elements, read below, win.
  if (legacy.Apply) {
    if (ProfileLevel > 8) {
      SetRight(TProfileRight::MayHideMe, 1);
      SetRight(TProfileRight::MayShowHidden, paSame);
    }
    if (const TXMLNode* group = FindGroup(node, "General/ProfileSettings")) {
      bool receiveFeed = false;
      ReadXMLBoolean(*group, "ReceiveFeed", receiveFeed);
      if (receiveFeed) {
        SetRight(TProfileRight::MayReceiveActionFeed, legacy.FeedAction);
        SetRight(TProfileRight::MayReceiveKickFeed, legacy.FeedKick);
        SetRight(TProfileRight::MayReceiveEventFeed, legacy.FeedEvent);
        SetRight(TProfileRight::MayReceiveGUIFeed, legacy.FeedGUI);
        SetRight(TProfileRight::MayReceiveErrorFeed, legacy.FeedError);
        SetRight(TProfileRight::MayReceiveTextCommandFeed, 1);
      }
    }
    if (const TXMLNode* group = FindGroup(node, "Overrides/Priveliges")) {
      bool bypass = MayByPassIPCheckOnSearchAndConnectToMe();
      ReadXMLBoolean(*group, "MayByPassIPCheckInConnectToMe", bypass);
      SetRight(TProfileRight::MayByPassIPCheckOnSearchAndConnectToMe, bypass);
    }
    if (const TXMLNode* group = FindGroup(node, "Advanced/FeatureAccess")) {
      bool userIP = MayAccessUserIP();
      bool userIP2 = MayAccessUserIP2();
      ReadXMLBoolean(*group, "ApplyUserIP2", userIP);
      ReadXMLBoolean(*group, "ApplyUserIP2", userIP2);
      SetRight(TProfileRight::MayAccessUserIP, userIP);
      SetRight(TProfileRight::MayAccessUserIP2, userIP2);
    }
  }

  for (const std::string_view path : kGroups) {
    const TXMLNode* group = FindGroup(node, path);
    if (group == nullptr) continue;
    for (const TProfileRightInfo& info : kRights) {
      if (info.Group != path) continue;
      if (info.Kind == TRightKind::Bool) {
        bool value = Has(info.Right);
        ReadXMLBoolean(*group, info.Name, value);
        SetRight(info.Right, value);
      } else {
        int value = Right(info.Right);
        ReadByte(*group, info.Name, value);
        SetRight(info.Right, static_cast<std::uint8_t>(value));
      }
    }
    if (path == kRestrictionGroup) Restriction.LoadFromXML(*group);
  }

  ReadXMLStringEnabled(node, "JoinAnnouncement", JoinAnnouncement, JoinAnnouncementEnabled);
  ReadTimeOfDay(node, "AllowUseAnnouncementAwayTime", AllowUseAnnouncementAwayTime,
                AllowUseAnnouncementAwayTimeEnabled);
}

void TProfile::WriteToXML(TXMLNode& node) const {
  WriteXMLString(node, "Name", Name);
  WriteXMLString(node, "Description", Description);
  WriteXMLInteger(node, "ProfileLevel", ProfileLevel);

  TXMLNode* outer = nullptr;
  for (const std::string_view path : kGroups) {
    if (outer == nullptr || outer->Name != OuterOf(path)) {
      outer = node.AddChild(std::string(OuterOf(path)));
    }
    TXMLNode* group = outer->AddChild(std::string(InnerOf(path)));
    for (const TProfileRightInfo& info : kRights) {
      if (info.Group != path) continue;
      if (info.Kind == TRightKind::Bool) {
        WriteXMLString(*group, info.Name, FormatXMLBoolean(Has(info.Right)));
      } else {
        WriteXMLInteger(*group, info.Name, Right(info.Right));
      }
    }
    if (path == kRestrictionGroup) Restriction.SaveToXML(*group);
  }

  WriteXMLStringEnabled(node, "JoinAnnouncement", JoinAnnouncement, JoinAnnouncementEnabled);
  TXMLNode* away = node.AddChild("AllowUseAnnouncementAwayTime");
  away->Text = FormatTime(AllowUseAnnouncementAwayTime);
  WriteXMLEnableAttribute(*away, AllowUseAnnouncementAwayTimeEnabled);
}
