#pragma once

#include <string_view>

class THubSocket;
class TWriteBuffer;

// The traffic top lists, in the order the full report shows them.
enum class TTrafficList { Search, SR, Connect, NickList, MyINFO, MC, PM, Data, BW };

// What the composition root asks of the user statistics, which sit above
// the core: the back end chosen by the settings, logins and logouts, the
// hourly prune and the close at program end. The defaults do nothing, so a
// root built without statistics runs as before.
class TUserStatsSide {
 public:
  virtual ~TUserStatsSide() = default;
  // settings.xml was read: 1 in memory, 2 MySQL (0 keeps the back end).
  virtual void Select(int /*type*/) {}
  virtual void LoggedIn(THubSocket& /*user*/) {}
  virtual void LoggedOut(THubSocket& /*user*/) {}
  virtual void HourlyStep() {}
  virtual void Close() {}
  // Entries of the active back end's nick and IP lists.
  virtual int NickEntries() const { return 0; }
  virtual int IPEntries() const { return 0; }
  // The stored penalty of a nick that is not online is lifted; the back
  // end answers the issuer (by private message when `isPM`).
  virtual void ClearMuted(THubSocket& /*issuer*/, std::string_view /*nick*/, bool /*isPM*/) {}
  virtual void ClearLunarized(THubSocket& /*issuer*/, std::string_view /*nick*/, bool /*isPM*/) {}
  virtual void ClearKennylized(THubSocket& /*issuer*/, std::string_view /*nick*/, bool /*isPM*/) {}
  // The operator reports; the back end answers the issuer itself.
  virtual void ReportUserInfo(THubSocket& /*issuer*/, std::string_view /*pattern*/, bool /*isPM*/,
                              int /*offset*/) {}
  virtual void ReportIPInfo(THubSocket& /*issuer*/, std::string_view /*pattern*/, bool /*isPM*/,
                            int /*offset*/) {}
  virtual void ReportNickInfo(THubSocket& /*issuer*/, std::string_view /*pattern*/, bool /*isPM*/,
                              int /*offset*/) {}
  virtual int NickCount() const { return 0; }
  virtual int IPCount() const { return 0; }
  // Appends the top `n` of one list and its closing '|'; nothing by default.
  virtual void WriteTrafficList(TTrafficList /*list*/, TWriteBuffer& /*out*/, int /*n*/) {}
  virtual void ClearBlocked(THubSocket& /*issuer*/, std::string_view /*nick*/, bool /*isPM*/) {}
};
