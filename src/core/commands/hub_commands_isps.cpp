// The ISP commands: ISPs, their ranges and their own connection limits.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/commands/command_words.h"
#include "core/buffer_text.h"
#include "core/commands/hub_commands.h"
#include "core/commands/restriction_field.h"
#include "core/hub_socket.h"
#include "core/page_refresh.h"
#include "core/write_buffer.h"
#include "security/isp_list.h"
#include "settings/conn_restriction.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "utils/byte_size.h"
#include "utils/ip_match.h"
#include "utils/string_list.h"
#include "utils/text_format.h"

namespace {

using L = TLanguageKey;

const std::string kDashLine = "\r\n" + std::string(105, '-');
constexpr std::string_view kRowStart = "\r\n\xA6  ";

std::string TabPadded(std::string_view text, int column) {
  TWriteBuffer buffer(1);
  AppendTabPadded(text, buffer, column);
  return buffer.GetString();
}

// The replies of each ISP limit, in the order of the restriction's fields.
struct TISPLimitTexts {
  TLanguageKey Invalid, Updated, Disabled;
};

const TISPLimitTexts kISPLimitTexts[] = {
    {L::ISPShareIncorrectShare, L::ISPMinShareUpdated, L::ISPMinShareDisabled},
    {L::ISPShareIncorrectShare, L::ISPMaxShareUpdated, L::ISPMaxShareDisabled},
    {L::ISPHubsInvalidHubParameter, L::ISPHubsUpdated, L::ISPHubsDisabled},
    {L::ISPSlotsInvalidSlotsParameter, L::ISPMinSlotsUpdated, L::ISPMinSlotsDisabled},
    {L::ISPSlotsInvalidSlotsParameter, L::ISPMaxSlotsUpdated, L::ISPMaxSlotsDisabled},
    {L::ISPSlotsInvalidSlotsParameter, L::ISPSlotRatioUpdated, L::ISPSlotRatioDisabled},
};

}  // namespace

TISP* THubCommands::FindISP(int word) {
  if (ctx_.ISPs == nullptr) return nullptr;
  TISP* isp = ctx_.ISPs->Find(tokens_.Get(word));
  if (isp == nullptr) session_.Reply(L::ISPNotFound, tokens_.Get(word));
  return isp;
}

void THubCommands::HandleAddISP() {
  if (ctx_.ISPs == nullptr) return;
  const std::string& name = tokens_.Get(1);
  if (const TISP* held = ctx_.ISPs->Find(name)) {
    session_.Reply(L::AddISPAlreadyExists, held->Name);
    return;
  }
  TISP isp;
  isp.Prefix = tokens_.Get(2);
  isp.Restriction = ctx_.Settings.ConnRestriction;
  const TISP* added = ctx_.ISPs->Add(name, std::move(isp));
  if (added == nullptr) return;
  session_.Reply(L::AddISPAdded, added->Name);
  FeedAction(FormatText(session_.Template(L::AddISPFeedMessage), session_.Sender().Nick,
                        added->Name));
}

void THubCommands::HandleDeleteISP() {
  if (ctx_.ISPs == nullptr) return;
  const TISP* isp = ctx_.ISPs->Find(tokens_.Get(1));
  if (isp == nullptr) {
    session_.Reply(L::DelISPNotFound, tokens_.Get(1));
    return;
  }
  const std::string name = isp->Name;
  ctx_.ISPs->Delete(name);
  session_.Reply(L::DelISPDeleted, name);
  FeedAction(FormatText(session_.Template(L::DelISPFeedMessage), session_.Sender().Nick, name));
}

void THubCommands::HandleShowISP() {
  if (ctx_.ISPs == nullptr) return;
  const auto text = [this](TLanguageKey key, auto... args) {
    return FormatText(session_.Template(key), args...);
  };
  std::string out = kDashLine;
  if (tokens_.Count() < 2) {
    for (int i = 0; i < ctx_.ISPs->GetCount(); ++i) {
      const TISP& isp = ctx_.ISPs->GetItem(i);
      out += std::string(kRowStart) + TabPadded(isp.Name, 3) + text(L::ISPShowPrefix) + isp.Prefix;
    }
  } else {
    const TISP* isp = FindISP(1);
    if (isp == nullptr) return;
    const TConnRestriction& r = isp->Restriction;
    const auto size = [&](bool on, std::int64_t value, TLanguageKey shown, TLanguageKey off) {
      return on ? text(shown, FormatByteSize(value)) : text(off);
    };
    const auto count = [&](bool on, int value, TLanguageKey shown, TLanguageKey off) {
      return on ? text(shown, value) : text(off);
    };
    const std::string lines[] = {
        text(L::ISPShowSingelHitName, isp->Name),
        text(L::ISPShowSingelHitDescription, isp->Description),
        text(L::ISPShowSingelHitPrefix, isp->Prefix),
        size(r.MinShareEnabled, r.MinShare, L::ISPShowSingelHitMinShare,
             L::ISPShowSingelHitMinShareDisabled),
        size(r.MaxShareEnabled, r.MaxShare, L::ISPShowSingelHitMaxShare,
             L::ISPShowSingelHitMaxShareDisabled),
        count(r.MaxHubsEnabled, r.MaxHubs, L::ISPShowSingelHitMaxHubs,
              L::ISPShowSingelHitMaxHubsDisabled),
        count(r.MinSlotsEnabled, r.MinSlots, L::ISPShowSingelHitMinSlots,
              L::ISPShowSingelHitMinSlotsDisabled),
        count(r.MaxSlotsEnabled, r.MaxSlots, L::ISPShowSingelHitMaxSlots,
              L::ISPShowSingelHitMaxSlotsDisabled),
        count(r.SlotRatioEnabled, r.SlotRatio, L::ISPShowSingelHitSlotratio,
              L::ISPShowSingelHitSlotratioDisabled),
        text(r.MayBeInPassiveMode ? L::ISPShowSingelHitMayBeInPassiveModeYes
                                  : L::ISPShowSingelHitMayBeInPassiveModeNo),
        text(r.AllowTagLessToByPass ? L::ISPShowSingelHitAllowTagLessToByPassYes
                                    : L::ISPShowSingelHitAllowTagLessToByPassNo),
    };
    for (const std::string& line : lines) out += std::string(kRowStart) + line;
  }
  out += kDashLine;
  session_.SendReply(out);
}

void THubCommands::HandleSearchISP() {
  if (ctx_.ISPs == nullptr) return;
  const std::string search = tokens_.Count() > 1 ? tokens_.Get(1) : std::string("*");
  const std::optional<std::string> mask = NormalizeIPMask(search);
  if (!mask) {
    session_.Reply(L::ISPInvalidIP);
    return;
  }
  const int offset = tokens_.Count() > 2 ? OffsetWord(tokens_.Get(2)) : 0;
  TStringList ranges;
  ctx_.ISPs->GetMasksUnder(ranges, *mask);
  const int n = ranges.Count();
  // At most a page of rows, and the header counts the rows written.
  const int last = std::min(n - 1, offset + ctx_.Settings.MaxHitsOnSearch - 1);
  const int shown = std::max(last - offset + 1, 0);
  std::string out = kDashLine + "\r\n\xA6 " +
                    FormatText(session_.Template(L::ListHeader), shown, offset, n) + "\r\n\xA6 " +
                    FormatText(session_.Template(L::ListSubHeader), *mask) + kDashLine;
  for (int i = offset; i <= last; ++i) {
    const auto* isp = static_cast<const TISP*>(ranges.GetObject(i));
    out += std::string(kRowStart) + TabPadded(isp != nullptr ? isp->Name : "", 4) + " " +
           ranges.Get(i);
  }
  if (shown > 0) out += kDashLine;
  session_.SendReply(out);
}

void THubCommands::HandleMatchISP() {
  if (ctx_.ISPs == nullptr) return;
  const std::optional<std::string> ip = NormalizeIPMask(tokens_.Get(1));
  if (!ip) {
    session_.Reply(L::ISPInvalidIP);
    return;
  }
  if (const TISP* isp = ctx_.ISPs->FindByIP(*ip))
    session_.Reply(L::ISPMatchFound, *ip, isp->Name);
  else
    session_.Reply(L::ISPMatchNotFound, *ip);
}

void THubCommands::HandleISPIPList() {
  const TISP* isp = FindISP(1);
  if (isp == nullptr) return;
  TStringList ranges;
  ctx_.ISPs->GetMasks(ranges, isp);
  const int n = ranges.Count();
  const int offset = OffsetWord(tokens_.Get(2));
  const int shown = std::min(std::max(n - offset, 0), ctx_.Settings.MaxHitsOnSearch);
  std::string out = kDashLine + "\r\n\xA6 " +
                    FormatText(session_.Template(L::ListHeader), shown, std::min(offset, n), n) +
                    "\r\n\xA6 " +
                    FormatText(session_.Template(L::ISPShowIPsOnIPSubHeader), isp->Name) +
                    kDashLine;
  for (int i = 0; i < shown; ++i) out += std::string(kRowStart) + ranges.Get(offset + i);
  out += kDashLine;
  session_.SendReply(out);
}

void THubCommands::SetISPLimit(int which) {
  const TRestrictionField& field = kRestrictionFields[which];
  const TISPLimitTexts& texts = kISPLimitTexts[which];
  TISP* isp = FindISP(1);
  if (isp == nullptr) return;
  std::int64_t value = -1;
  if (field.Share) {
    value = ParseByteSize(tokens_.Join(2, tokens_.Count() - 1));
  } else {
    if (const std::optional<int> count = WholeInt(tokens_.Get(2))) value = *count;
  }
  if (value < 0) {
    session_.Reply(texts.Invalid);
    return;
  }
  const bool changed = ApplyRestrictionValue(isp->Restriction, field, value);
  if (value == 0) session_.Reply(texts.Disabled, isp->Name);
  else if (field.Share) session_.Reply(texts.Updated, isp->Name, FormatByteSize(value));
  else session_.Reply(texts.Updated, isp->Name, value);
  if (!changed) return;
  // Connections hold copies of the limits: hand them the new ones.
  ctx_.ISPs->RefreshUsers();
  FeedAction(FormatText(session_.Template(L::ISPUpdatedFeedMessage), isp->Name,
                        session_.Sender().Nick));
}

void THubCommands::HandleISPMinShare() { SetISPLimit(0); }
void THubCommands::HandleISPMaxShare() { SetISPLimit(1); }
void THubCommands::HandleISPMaxHubs() { SetISPLimit(2); }
void THubCommands::HandleISPMinSlots() { SetISPLimit(3); }
void THubCommands::HandleISPMaxSlots() { SetISPLimit(4); }
void THubCommands::HandleISPSlotRatio() { SetISPLimit(5); }

void THubCommands::HandleAddIP() {
  TISP* isp = FindISP(2);
  if (isp == nullptr) return;
  const std::optional<std::string> range = NormalizeIPMask(tokens_.Get(1));
  if (!range) {
    session_.Reply(L::ISPInvalidIP);
    return;
  }
  if (!ctx_.ISPs->AddIP(*isp, *range)) {
    const TISP* holder = ctx_.ISPs->FindByIP(*range);
    session_.Reply(L::ISPAddIPAlreadyExists, *range, holder != nullptr ? holder->Name : "");
    return;
  }
  Pages().ISPRangeAdded(isp->Name, *range);
  session_.Reply(L::ISPAddIPAdded, *range, isp->Name);
  FeedAction(FormatText(session_.Template(L::ISPAddIPFeedMessage), *range, isp->Name,
                        session_.Sender().Nick));
}

void THubCommands::HandleDeleteIP() {
  if (ctx_.ISPs == nullptr) return;
  const std::optional<std::string> address = NormalizeIPMask(tokens_.Get(1));
  if (!address) {
    session_.Reply(L::ISPInvalidIP);
    return;
  }
  const TISP* isp = ctx_.ISPs->FindByIP(*address);
  const std::string name = isp != nullptr ? isp->Name : std::string();
  // The reply names the range really removed, not the address typed.
  std::string removed;
  if (isp == nullptr || !ctx_.ISPs->DeleteIP(*address, &removed)) {
    session_.Reply(L::ISPDelIPNotFound, *address);
    return;
  }
  Pages().ISPRangeRemoved(name, removed);
  session_.Reply(L::ISPDelIPDeleted, removed, name);
  FeedAction(FormatText(session_.Template(L::ISPDelIPFeedMessage), removed, name,
                        session_.Sender().Nick));
}
