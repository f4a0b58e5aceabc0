#include "security/user_registered.h"

#include <memory>
#include <utility>

#include "base/exceptions.h"
#include "platform/local_clock.h"
#include "utils/protocol_text.h"

TUserRegistered::TUserRegistered(TFeedSink errorSink, TClock clock)
    : errorSink_(std::move(errorSink)), clock_(std::move(clock)) {}

TUserRegistered::~TUserRegistered() { Clear(); }

TDateTime TUserRegistered::Now() const { return clock_ ? clock_() : NowLocal(); }

void TUserRegistered::ReportError(const std::string& line) const {
  if (errorSink_) errorSink_(line);
}

TUserRegItem* TUserRegistered::Add(std::string_view nick) {
  auto item = std::make_unique<TUserRegItem>();
  item->Name = ProtocolSafeText(nick);
  item->Created = Now();
  if (!items_.Add(item->Name, item.get())) return nullptr;
  return item.release();
}

TUserRegItem& TUserRegistered::GetItem(int index) const {
  TUserRegItem* item = items_.GetObject(index);
  KAVRO_CHECK(item != nullptr, "TUserRegistered.GetItem index out of range");
  return *item;
}

bool TUserRegistered::MarkUsed(std::string_view nick) {
  TUserRegItem* item = Find(nick);
  if (item == nullptr) return false;
  item->LastUsed = Now();
  return true;
}

bool TUserRegistered::AddSession(std::string_view nick, std::int64_t milliseconds) {
  TUserRegItem* item = Find(nick);
  if (item == nullptr) return false;
  item->LastUsed = Now();
  if (milliseconds > 0) item->Uptime += milliseconds;
  return true;
}
