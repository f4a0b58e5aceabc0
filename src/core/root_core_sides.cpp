#include "core/root_core_sides.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/ban_gate.h"
#include "core/core_hooks.h"
#include "core/greeting_gate.h"
#include "core/hub_feed.h"
#include "core/hub_socket.h"
#include "core/hub_stats.h"
#include "core/login_refusal.h"
#include "core/send_result.h"
#include "security/isp_list.h"
#include "security/tmp_ban_list.h"
#include "security/user_registered.h"

namespace {

class TFeedSide final : public TCoreFeed {
 public:
  explicit TFeedSide(THubFeed& feed) : feed_(feed) {}
  void PostEvent(const std::string& line) override { feed_.PostEvent(line); }
  void PostAction(const std::string& line) override { feed_.PostAction(line); }
  void PostKick(const std::string& line) override { feed_.PostKick(line); }
  void PostError(const std::string& line) override { feed_.PostError(line); }

 private:
  THubFeed& feed_;
};

class TCountersSide final : public TCoreCounters {
 public:
  explicit TCountersSide(TStats& stats) : stats_(stats) {}

  void Count(TCoreCount what) override {
    switch (what) {
      case TCoreCount::SocketError: ++stats_.SocketErrors; break;
      case TCoreCount::Overflow: ++stats_.ReadbufferFull; break;
      case TCoreCount::LoginTimeout: ++stats_.LoginTimeouts; break;
      case TCoreCount::IdleDrop: ++stats_.IdleTimeouts; break;
      case TCoreCount::NickInUseRefusal: ++stats_.NickInUseRefusals; break;
      case TCoreCount::JunkDataDrop: ++stats_.DropSpamKicks; break;
      case TCoreCount::Kick: ++stats_.Protocol.Kicks; break;
    }
  }
  // The shown share: 0 while the user hides it.
  void UserLoggedIn(const THubSocket& user) override {
    stats_.UserLoggedIn(user.Nick);
    stats_.AddShare(user.UserInfo().Share);
  }
  void UserLoggedOut(const THubSocket& user) override {
    if (stats_.CurrentUsers > 0) --stats_.CurrentUsers;
    stats_.RemoveShare(user.UserInfo().Share);
  }
  void Uptime(std::uint64_t milliseconds) override {
    stats_.UptimePeak = std::max(stats_.UptimePeak, static_cast<std::int64_t>(milliseconds));
  }

 private:
  TStats& stats_;
};

class TLinkSide final : public TLinkQuality {
 public:
  explicit TLinkSide(TSendResult& link) : link_(link) {}
  bool BadLink() override { return link_.IsBadLink(); }
  void BeginSendPass() override { link_.ResetOutcomes(); }
  void RecordOutcome(int outcome) override {
    link_.RecordOutcome(static_cast<std::uint8_t>(outcome));
  }
  void AddDownload(std::int64_t bytes) override {
    if (bytes > 0) link_.AddReceived(static_cast<std::uint64_t>(bytes));
  }
  void AddUpload(std::int64_t bytes) override {
    if (bytes > 0) link_.AddSent(static_cast<std::uint64_t>(bytes));
  }

 private:
  TSendResult& link_;
};

class TLoginSide final : public TLoginHooks {
 public:
  TLoginSide(const TSettings& settings, TTmpBanList& tmpBans, TBanList& bans,
             const TISPList& isps, TProtocolFunctions& greetingGate,
             TUserRegistered& registered)
      : settings_(settings),
        tmpBans_(tmpBans),
        bans_(bans),
        isps_(isps),
        greetingGate_(greetingGate),
        registered_(registered) {}
  bool NickOrIPBanned(THubSocket& user) override {
    return RefuseNickOrIPBanned(bans_, settings_, user);
  }
  bool DNSBanned(THubSocket& user) override { return RefuseDNSBanned(bans_, settings_, user); }
  void BanIP(THubSocket& user, const std::string& reason, int hours) override {
    AutoBanIP(bans_, user, reason, hours);
  }
  bool TempBanned(THubSocket& user) override {
    return RefuseTmpBanned(tmpBans_, settings_, user);
  }
  void TempBan(THubSocket& user, const std::string& reason) override {
    tmpBans_.Add(user.Nick, user.IP, reason);
  }
  // The restriction points into the ISP, which the caller copies at once.
  TISPLookup LookupISP(const THubSocket& user) override {
    const TISP* isp = isps_.FindByIP(user.IP);
    if (isp == nullptr) return {false, nullptr, {}};
    return {true, &isp->Restriction, isp->Prefix};
  }
  std::string AllowedISPs() override { return isps_.GetNamesText(); }
  TDateTime GreetingGate(THubSocket& user) override { return greetingGate_.GreetingGate(user); }
  // A copy: a reload may replace the entry while its user waits for
  // "$GetPass".
  bool ProtectedNick(std::string_view nick, std::string& password) override {
    const TUserRegItem* item = registered_.Find(nick);
    if (item == nullptr) return false;
    password = item->Pass;
    return true;
  }
  void ProtectedNickUsed(std::string_view nick) override { registered_.MarkUsed(nick); }
  void ProtectedNickLeft(std::string_view nick, std::int64_t milliseconds) override {
    registered_.AddSession(nick, milliseconds);
  }
  bool StartDNSLookup(THubSocket& user) override { return DNSStarter && DNSStarter(user); }
  int PingerClass(const THubSocket& user) override { return Pingers ? Pingers(user) : 0; }
  void BindPinger(THubSocket& user, int pingerClass) override {
    if (BindPingers) BindPingers(user, pingerClass);
  }

  TRootCoreSides::TDNSStarter DNSStarter;
  TRootCoreSides::TPingerClass Pingers;
  TRootCoreSides::TBindPinger BindPingers;

 private:
  const TSettings& settings_;
  TTmpBanList& tmpBans_;
  TBanList& bans_;
  const TISPList& isps_;
  TProtocolFunctions& greetingGate_;
  TUserRegistered& registered_;
};

class TMyINFOSide final : public TMyINFOHandler {
 public:
  explicit TMyINFOSide(TRootCoreSides::TMyINFOCall call) : call_(std::move(call)) {}
  bool HandleMyINFO(THubSocket& user, std::string_view message) override {
    return call_(user, message);
  }

 private:
  TRootCoreSides::TMyINFOCall call_;
};

}  // namespace

struct TRootCoreSides::TImpl {
  TImpl(const TParts& parts, TMyINFOCall myINFO)
      : Feed(parts.Feed),
        Counters(parts.Stats),
        Link(LinkQuality),
        Login(parts.Settings, parts.TmpBans, parts.Bans, parts.ISPs, parts.GreetingGate,
              parts.Registered),
        MyINFO(std::move(myINFO)) {
    Hooks.SetFeed(&Feed);
    Hooks.SetCounters(&Counters);
    Hooks.SetLink(&Link);
    Hooks.SetLogin(&Login);
    Hooks.SetMyINFO(&MyINFO);
  }

  TSendResult LinkQuality;  // before the side that uses it
  TFeedSide Feed;
  TCountersSide Counters;
  TLinkSide Link;
  TLoginSide Login;
  TMyINFOSide MyINFO;
  TCoreHooks Hooks;
};

TRootCoreSides::TRootCoreSides(const TParts& parts, TMyINFOCall myINFO)
    : impl_(std::make_unique<TImpl>(parts, std::move(myINFO))) {}

TRootCoreSides::~TRootCoreSides() = default;

TCoreHooks& TRootCoreSides::Hooks() { return impl_->Hooks; }

TSendResult& TRootCoreSides::LinkQuality() { return impl_->LinkQuality; }

void TRootCoreSides::SetDNSStarter(TDNSStarter starter) {
  impl_->Login.DNSStarter = std::move(starter);
}

void TRootCoreSides::SetPingers(TPingerClass pingerClass, TBindPinger bindPinger) {
  impl_->Login.Pingers = std::move(pingerClass);
  impl_->Login.BindPingers = std::move(bindPinger);
}
