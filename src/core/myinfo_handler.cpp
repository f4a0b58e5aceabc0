#include "core/myinfo_handler.h"

#include <algorithm>
#include <limits>
#include <string>

#include "core/hub_socket.h"
#include "core/myinfo_parser.h"
#include "core/nick_list.h"
#include "core/protocol_message.h"
#include "settings/conn_restriction.h"
#include "security/tmp_ban_list.h"
#include "settings/language.h"
#include "settings/redirect_item.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/constants.h"
#include "utils/hub_time.h"
#include "utils/text_format.h"

namespace {

// The shortest "$MyINFO $ALL {nick} $ $\x01$$0$|" has the nick and 23 bytes.
constexpr std::size_t kMyINFOOverhead = 23;
constexpr std::uint64_t kEveryStamp = std::numeric_limits<std::uint64_t>::max();

// slots / hubs to two decimals, trailing zeros dropped: 3/2 -> "1.5".
std::string SlotRatioText(int slots, int hubs) {
  const std::int64_t hundredths = (static_cast<std::int64_t>(slots) * 100 + hubs / 2) / hubs;
  std::string text = std::to_string(hundredths / 100);
  const int fraction = static_cast<int>(hundredths % 100);
  if (fraction != 0) {
    text += FixedFormat.DecimalSeparator;
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return text;
}

}  // namespace

TMyINFOProcessor::TMyINFOProcessor(TSettings& settings, TLanguage& language, TNickList& nickList,
                                   TProtocolMessage& messages, TTmpBanList& tmpBans, TClock clock)
    : settings_(settings),
      language_(language),
      nickList_(nickList),
      messages_(messages),
      tmpBans_(tmpBans),
      clock_(std::move(clock)),
      hooks_(&defaultHooks_) {}

void TMyINFOProcessor::SetHooks(TMyINFOHooks* hooks) { hooks_ = hooks ? hooks : &defaultHooks_; }

std::uint64_t TMyINFOProcessor::Now() const {
  // 0 marks "nothing pending", so the clock never reports it.
  return std::max<std::uint64_t>(clock_ ? clock_() : TTime::Now(), 1);
}

TMyINFOResult TMyINFOProcessor::HandleMyINFO(THubSocket& user, std::string_view message) {
  if (!hooks_->FloodGate(user, TFloodKind::MyINFO)) return TMyINFOResult::Dropped;

  const std::size_t length = message.size() + (message.ends_with('|') ? 0 : 1);
  if (length < user.Nick.size() + kMyINFOOverhead) {
    user.LifeState = lsClosing;
    return TMyINFOResult::Unhandled;
  }
  if (settings_.MyINFOMaxLength.Enabled &&
      length >= static_cast<std::size_t>(std::max(settings_.MyINFOMaxLength.Value, 0))) {
    messages_.SendChat(user, language_.Text(TLanguageKey::ValidateMyINFOToLong));
    user.LifeState = lsClosing;
    return TMyINFOResult::Refused;
  }

  TUserInfo& info = user.UserInfo();
  if (!MyINFOHasNick(message, user.Nick)) {
    if (settings_.NotificationInvalidMyINFO)
      messages_.SendChat(user, language_.Text(TLanguageKey::InvalidMyINFOSuppliedByClient));
    tmpBans_.Add(user.Nick, user.IP, language_.Text(TLanguageKey::IncorrectProtocolMessage));
    ++info.KickCount;
    user.LifeState = lsClosing;
    return TMyINFOResult::Refused;
  }

  TMyINFOFields fields;
  if (!ParseMyINFO(message, fields) || !PassesRestriction(user, fields)) {
    user.LifeState = lsClosing;
    return TMyINFOResult::Refused;
  }

  // The client ban list reads name and version from the user info; the share
  // waits until the ban check passed, so the hub total never counts a user
  // who is on the way out.
  info.Tag = fields.TagText;
  info.TagPresent = fields.TagPresent;
  info.ClientName = fields.Tag.Name;
  info.ClientKnown = fields.Tag.NameKnown;
  info.ClientVersion = fields.Tag.Version;
  info.Hubs = fields.Tag.Hubs;
  info.Slots = fields.Tag.Slots;
  user.Passive = fields.Tag.Passive;
  if (hooks_->CheckClientBan(user)) {
    if (settings_.RedirectOnBans.Enabled)
      messages_.ForceMove(user, settings_.RedirectOnBans.NextAddress());
    user.LifeState = lsClosing;
    return TMyINFOResult::Refused;
  }

  Store(user, fields);
  const auto oldUserLength = static_cast<std::int64_t>(info.UserMyINFO.Text.size());
  info.RebuildMyINFO(user.Nick, settings_);
  if (user.IsLoggedIn()) Deliver(user, oldUserLength);
  return TMyINFOResult::Accepted;
}

bool TMyINFOProcessor::PassesRestriction(THubSocket& user, const TMyINFOFields& fields) {
  const TConnRestriction& limits = user.Restriction;
  if (limits.MinShareEnabled && fields.Share < limits.MinShare) {
    Refuse(user,
           FormatText(language_.Text(TLanguageKey::LowShare), FormatByteSize(fields.Share),
                      FormatByteSize(limits.MinShare)),
           settings_.RedirectOnLowShare);
    return false;
  }
  if (limits.MaxShareEnabled && fields.Share > limits.MaxShare) {
    Refuse(user,
           FormatText(language_.Text(TLanguageKey::HighShare), FormatByteSize(fields.Share),
                      FormatByteSize(limits.MaxShare)),
           settings_.RedirectOnHighShare);
    return false;
  }
  return PassesTag(user, fields);
}

bool TMyINFOProcessor::PassesTag(THubSocket& user, const TMyINFOFields& fields) {
  const TConnRestriction& limits = user.Restriction;
  if (!fields.TagPresent) {
    const bool needsTag = limits.MaxHubsEnabled || limits.MinSlotsEnabled ||
                          limits.MaxSlotsEnabled || limits.SlotRatioEnabled;
    if (!needsTag || limits.AllowTagLessToByPass) return true;
    Refuse(user, language_.Text(TLanguageKey::NoTag), settings_.RedirectOnNoTag);
    return false;
  }

  const TClientTag& tag = fields.Tag;
  if (tag.Passive && !limits.MayBeInPassiveMode) {
    Refuse(user, language_.Text(TLanguageKey::NoPassive), settings_.RedirectOnPassiveMode);
    return false;
  }
  if (limits.MaxHubsEnabled && tag.Hubs > limits.MaxHubs) {
    Refuse(user, FormatText(language_.Text(TLanguageKey::HighHubs), tag.Hubs, limits.MaxHubs),
           settings_.RedirectOnHighHubs);
    return false;
  }
  if (limits.MinSlotsEnabled && tag.Slots < limits.MinSlots) {
    Refuse(user, FormatText(language_.Text(TLanguageKey::LowSlots), tag.Slots, limits.MinSlots),
           settings_.RedirectOnLowSlots);
    return false;
  }
  if (limits.MaxSlotsEnabled && tag.Slots > limits.MaxSlots) {
    Refuse(user, FormatText(language_.Text(TLanguageKey::HighSlots), tag.Slots, limits.MaxSlots),
           settings_.RedirectOnHighSlots);
    return false;
  }
  if (limits.SlotRatioEnabled && tag.Hubs != 0 && tag.Slots / tag.Hubs < limits.SlotRatio) {
    Refuse(user,
           FormatText(language_.Text(TLanguageKey::LowSlotsRatio),
                      SlotRatioText(tag.Slots, tag.Hubs), limits.SlotRatio),
           settings_.RedirectOnLowSlotRatio);
    return false;
  }
  return true;
}

void TMyINFOProcessor::Refuse(THubSocket& user, std::string_view text, TRedirectItem& redirect) {
  messages_.SendChat(user, text);
  if (redirect.Enabled) messages_.ForceMove(user, redirect.NextAddress());
  user.LifeState = lsClosing;
}

void TMyINFOProcessor::Store(THubSocket& user, const TMyINFOFields& fields) {
  TUserInfo& info = user.UserInfo();
  info.Description = fields.Description;
  info.Speed = fields.Speed;
  info.Status = fields.Status;
  info.Email = fields.Email;
  // The total holds each listed user's shown share, whatever changed it
  // (a new share, or a rebound profile hiding it).
  const std::int64_t shown = user.HidesShare ? 0 : fields.Share;
  if (user.IsLoggedIn() && shown != info.Share) hooks_->TotalShareChanged(shown - info.Share);
  info.RealShare = fields.Share;
  info.Share = shown;
}

void TMyINFOProcessor::Deliver(THubSocket& user, std::int64_t oldUserLength) {
  TUserInfo& info = user.UserInfo();
  hooks_->MyINFOLengthChanged(static_cast<std::int64_t>(info.UserMyINFO.Text.size()) -
                              oldUserLength);
  const std::uint64_t now = Now();
  const TTriState pooling = settings_.MyINFOPooling.State;

  // Each user sees its own change at once; pooling only delays the others.
  const auto deliver = [&](TMyINFOText& version, bool toOperators, bool pooled) {
    if (!version.Changed) return;
    if (pooled) {
      if (user.IsOperator() == toOperators) user.WriteBuffer().AppendString(version.Text);
      if (version.PendingSince == 0) version.PendingSince = now;
    } else {
      SendToViewers(user, version.Text, toOperators, nullptr, kEveryStamp);
      version.PendingSince = 0;
    }
    version.ChangeStamp = now;
    ++info.Transfer.MyINFOs;
    hooks_->MyINFOBroadcast();
  };
  deliver(info.UserMyINFO, false, pooling != TTriState::Unchecked);
  deliver(info.OperatorMyINFO, true, pooling == TTriState::Checked);
}

void TMyINFOProcessor::DeliverPooled(THubSocket& user) {
  if (user.LifeState != lsInitialised || !user.IsLoggedIn()) return;
  const std::uint64_t now = Now();
  const std::uint64_t interval =
      settings_.MyINFOPooling.State == TTriState::Unchecked
          ? 0
          : static_cast<std::uint64_t>(std::max<std::int64_t>(settings_.MyINFOPooling.Value, 0));
  TUserInfo& info = user.UserInfo();
  const auto deliver = [&](TMyINFOText& version, bool toOperators) {
    if (version.PendingSince == 0 || now < version.PendingSince ||
        now - version.PendingSince < interval)
      return;
    SendToViewers(user, version.Text, toOperators, &user, version.ChangeStamp);
    version.PendingSince = 0;
  };
  deliver(info.UserMyINFO, false);
  deliver(info.OperatorMyINFO, true);
}

void TMyINFOProcessor::SendToViewers(const THubSocket& user, std::string_view text,
                                     bool toOperators, const THubSocket* skip,
                                     std::uint64_t notAfter) {
  // A viewer whose last nick list came after the change has the text.
  TSharedBroadcast broadcast(nickList_.Runs(), text);
  const auto send = [&](THubSocket& viewer) {
    if (viewer.LifeState != lsInitialised || &viewer == skip) return;
    if (viewer.NickListStamp > notAfter || !TNickList::MaySee(viewer, user)) return;
    broadcast.To(viewer.WriteBuffer(), TNickList::BroadcastChannel(viewer));
  };
  if (toOperators) {
    for (int i = nickList_.OperatorCount() - 1; i >= 0; --i) send(*nickList_.GetOperator(i));
    return;
  }
  for (int i = nickList_.GetCount() - 1; i >= 0; --i) {
    THubSocket& viewer = *nickList_.GetUser(i);
    if (!viewer.IsOperator()) send(viewer);
  }
}
