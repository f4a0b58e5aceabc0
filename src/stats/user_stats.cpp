#include "stats/user_stats.h"

#include "core/hub_socket.h"
#include "core/protocol_message.h"
#include "security/profile.h"
#include "settings/language.h"
#include "utils/text_format.h"

void TUserStats::Reply(std::string_view text, THubSocket& user, bool isPM) {
  if (isPM) ctx_.Messages.SendPM(user, text);
  else ctx_.Messages.SendChat(user, text);
}

namespace {

struct TClearTexts {
  TLanguageKey NotFound, NotSet, TooStrong, Success, Feed;
};

TClearTexts ClearTexts(TPenalty penalty) {
  using K = TLanguageKey;
  switch (penalty) {
    case TPenalty::Blocked:
      return {K::BlockUserNotFound, K::UnBlockUserNotBlocked, K::UnBlockUserTooStrongBlock,
              K::UnBlockUserSuccess, K::UnBlockUserFeedMessage};
    case TPenalty::Muted:
      return {K::MuteUserNotFound, K::UnMutedNotMuted, K::UnMuteTooStrongMute, K::UnMutedSuccess,
              K::UnMutedFeed};
    case TPenalty::Lunarized:
      return {K::LunarizedUserNotFound, K::UnLunarizedNotLunarized,
              K::UnLunarizedTooStrongLunarize, K::UnLunarizedSuccess, K::UnLunarizedFeed};
    case TPenalty::Kennylized:
      break;
  }
  return {K::KennylizeUserNotFound, K::UnKennylizedNotKennylized,
          K::UnKennylizeTooStrongKennylize, K::UnKennylizedSuccess, K::UnKennylizedFeed};
}

std::uint8_t ClearRight(const TProfile& rights, TPenalty penalty) {
  switch (penalty) {
    case TPenalty::Blocked: return rights.MayBlockUser();
    case TPenalty::Muted: return rights.MayUseMuteUser();
    case TPenalty::Lunarized: return rights.MayUseLunarizeUser();
    case TPenalty::Kennylized: break;
  }
  return rights.MayUseKennylizeUser();
}

}  // namespace

bool AnswerClear(TUserStats& stats, const TUserStatsContext& ctx, THubSocket& issuer,
                 std::string_view nick, bool isPM, TPenalty penalty, int stored) {
  const TClearTexts texts = ClearTexts(penalty);
  const auto text = [&](TLanguageKey key) { return FormatText(ctx.Language.Text(key), nick); };
  if (stored == -2) {
    stats.Reply(text(texts.NotFound), issuer, isPM);
    return false;
  }
  if (stored == -1) {
    stats.Reply(text(texts.NotSet), issuer, isPM);
    return false;
  }
  if (!issuer.MayActOnLevel(ClearRight(issuer.Rights(), penalty), stored)) {
    stats.Reply(ctx.Language.Text(texts.TooStrong), issuer, isPM);
    return false;
  }
  stats.Reply(text(texts.Success), issuer, isPM);
  if (ctx.ActionFeed) ctx.ActionFeed(FormatText(ctx.Language.Text(texts.Feed), nick, issuer.Nick));
  return true;
}
