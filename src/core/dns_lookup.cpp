#include "core/dns_lookup.h"

#include <exception>
#include <utility>

#include "core/hub_socket.h"
#include "platform/name_resolver.h"
#include "base/exceptions.h"
#include "utils/thread_pool.h"

namespace {

constexpr std::size_t kMaxHostNameLength = 253;

// One look-up: the worker reads the question and writes Answer only.
struct TDNSJob : TThreadJob {
  enum class TKind { Reverse, Forward };

  TKind Kind = TKind::Reverse;
  std::string Question;  // the dotted address (reverse) or the name (forward)
  std::uint64_t ConnectionId = 0;
  TDNSLookup::TResolved OnResolved;
  std::string Answer;
};

bool IsHostNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

}  // namespace

bool IsAcceptableHostName(std::string_view name) {
  if (name.empty() || name.size() > kMaxHostNameLength) return false;
  for (char c : name) {
    if (!IsHostNameByte(c)) return false;
  }
  return true;
}

TDNSLookup::TDNSLookup(EventLoop& loop, TFindConnection findConnection,
                       TContinueLogin continueLogin, std::size_t workers)
    : findConnection_(std::move(findConnection)),
      continueLogin_(std::move(continueLogin)),
      reverse_(ReverseLookupIPv4),
      forward_(ForwardLookupIPv4),
      pool_(std::make_unique<TThreadPool>(loop, workers)) {
  InstallWorker();
  pool_->OnDone = [this](std::unique_ptr<TThreadJob> job) { Complete(std::move(job)); };
  pool_->OnError = [this](std::exception_ptr, std::unique_ptr<TThreadJob> job) {
    static_cast<TDNSJob&>(*job).Answer.clear();
    Complete(std::move(job));
  };
}

TDNSLookup::~TDNSLookup() {
  // The pool delivers what already finished while it stops; by then the
  // collaborators may be gone, so those answers are just freed.
  pool_->OnDone = nullptr;
  pool_->OnError = [](std::exception_ptr, std::unique_ptr<TThreadJob>) {};
  pool_.reset();
}

void TDNSLookup::SetResolvers(TReverseResolver reverse, TForwardResolver forward) {
  if (reverse) reverse_ = std::move(reverse);
  if (forward) forward_ = std::move(forward);
  InstallWorker();
}

void TDNSLookup::InstallWorker() {
  // The worker holds its own copies: nothing it touches is shared.
  pool_->SetWorker([reverse = reverse_, forward = forward_](TThreadJob& base) {
    auto& job = static_cast<TDNSJob&>(base);
    std::string answer;
    try {
      if (job.Kind == TDNSJob::TKind::Reverse) {
        if (!reverse(job.Question, answer) || !IsAcceptableHostName(answer)) answer.clear();
      } else {
        if (!forward(job.Question, answer)) answer.clear();
      }
    } catch (...) {
      // A failed look-up is no error: it has no answer.
      answer.clear();
    }
    job.Answer = std::move(answer);
  });
}

void TDNSLookup::ReverseLookup(const THubSocket& connection) {
  auto job = std::make_unique<TDNSJob>();
  job->Kind = TDNSJob::TKind::Reverse;
  job->Question = connection.IP;
  job->ConnectionId = connection.Id();
  Queue(std::move(job));
}

void TDNSLookup::ForwardLookup(std::string_view name, TResolved onResolved) {
  auto job = std::make_unique<TDNSJob>();
  job->Kind = TDNSJob::TKind::Forward;
  job->Question = std::string(name);
  job->OnResolved = std::move(onResolved);
  Queue(std::move(job));
}

void TDNSLookup::Queue(std::unique_ptr<TThreadJob> job) {
  pool_->AddJob(std::move(job));
  ++inFlight_;
  if (inFlight_ > peak_) peak_ = inFlight_;
}

void TDNSLookup::Complete(std::unique_ptr<TThreadJob> base) {
  --inFlight_;
  auto& job = static_cast<TDNSJob&>(*base);
  if (job.Kind == TDNSJob::TKind::Forward) {
    if (job.OnResolved) job.OnResolved(job.Answer);
    return;
  }
  THubSocket* connection = findConnection_ ? findConnection_(job.ConnectionId) : nullptr;
  if (connection == nullptr || connection->LifeState != lsInitialised) return;
  const int loginState = connection->LoginState % 128;
  if (loginState <= 1 || connection->IP != job.Question) return;
  connection->DNSDone = true;
  connection->DNSName = std::move(job.Answer);
  if (loginState == 4 && continueLogin_) continueLogin_(*connection);
}
