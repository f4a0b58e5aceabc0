#include "platform/directory_watch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/exceptions.h"

namespace {

// Closes the descriptor it holds.
class TUniqueFd {
 public:
  explicit TUniqueFd(int fd = -1) : fd_(fd) {}
  ~TUniqueFd() { Reset(); }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

constexpr std::uint32_t kChangeMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_MOVED_FROM;
// The folder itself went away: the watch no longer watches the path.
constexpr std::uint32_t kLostMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;
constexpr std::int64_t kFirstRetryMs = 50;
constexpr std::int64_t kMaxRetryMs = 1000;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

TChangeKind KindOf(std::uint32_t mask) {
  if (mask & IN_CLOSE_WRITE) return TChangeKind::Modified;
  if (mask & (IN_CREATE | IN_MOVED_TO)) return TChangeKind::Added;
  if (mask & (IN_DELETE | IN_MOVED_FROM)) return TChangeKind::Removed;
  return TChangeKind::Other;
}

// A file that was added and then written is still new to the receiver; any
// other sequence is described by its last step.
TChangeKind MergeKinds(TChangeKind earlier, TChangeKind later) {
  if (earlier == TChangeKind::Added && later == TChangeKind::Modified) return TChangeKind::Added;
  return later;
}

}  // namespace

std::optional<TFileIdentity> StatFileIdentity(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  TFileIdentity identity;
  identity.Device = info.st_dev;
  identity.Inode = info.st_ino;
  identity.Size = info.st_size;
  identity.ModifiedNs = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  return identity;
}

// ---- TChangeCoalescer ----

void TChangeCoalescer::Add(std::string_view fileName, TChangeKind kind, std::int64_t nowMs) {
  for (auto& pending : pending_) {
    if (pending.Change.FileName != fileName) continue;
    pending.Change.Kind = MergeKinds(pending.Change.Kind, kind);
    pending.DueMs = std::min(nowMs + QuietMs, pending.FirstMs + MaxDelayMs);
    return;
  }
  pending_.push_back({TFileChange{kind, std::string(fileName)}, nowMs, nowMs + QuietMs});
}

std::vector<TFileChange> TChangeCoalescer::TakeDue(std::int64_t nowMs) {
  std::vector<TPending> due;
  std::vector<TPending> waiting;
  for (auto& pending : pending_) (pending.DueMs <= nowMs ? due : waiting).push_back(std::move(pending));
  pending_ = std::move(waiting);
  std::stable_sort(due.begin(), due.end(),
                   [](const TPending& a, const TPending& b) { return a.DueMs < b.DueMs; });
  std::vector<TFileChange> changes;
  changes.reserve(due.size());
  for (auto& pending : due) changes.push_back(std::move(pending.Change));
  return changes;
}

std::int64_t TChangeCoalescer::MsUntilDue(std::int64_t nowMs) const {
  if (pending_.empty()) return -1;
  std::int64_t due = pending_.front().DueMs;
  for (const auto& pending : pending_) due = std::min(due, pending.DueMs);
  return due <= nowMs ? 0 : due - nowMs;
}

// ---- TDirectoryWorker ----

// The watcher thread: waits on the inotify descriptor and a stop event,
// coalesces the notifications and posts them. Owns both descriptors and the
// thread; the destructor stops and joins the thread.
class TDirectoryWorker {
 public:
  TDirectoryWorker(TDirectory& directory, std::string folder, TPoster poster)
      : folder_(std::move(folder)),
        poster_(std::move(poster)),
        alive_(directory.alive_),
        suspendCount_(directory.suspendCount_),
        stop_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (!stop_.Valid())
      throw EKavroException("TDirectory.Create", "eventfd: " + std::string(std::strerror(errno)));
    // Watch before returning, so that a change made right after the
    // constructor is seen.
    Establish(NowMs());
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
      throw EKavroException("TDirectory.Create", e.what());
    }
  }

  ~TDirectoryWorker() {
    const std::uint64_t one = 1;
    // One write to a fresh eventfd cannot fail: its counter holds 2^64 - 2.
    if (::write(stop_.Get(), &one, sizeof one) < 0) {
    }
    thread_.join();
  }

  TDirectoryWorker(const TDirectoryWorker&) = delete;
  TDirectoryWorker& operator=(const TDirectoryWorker&) = delete;

 private:
  void Run() {
    // Nothing may leave a thread: an escaping exception would terminate.
    try {
      Loop();
    } catch (...) {
    }
  }

  void Loop() {
    for (;;) {
      std::int64_t now = NowMs();
      if (!inotify_.Valid() && now >= retryAtMs_) Establish(now);

      int timeout = -1;
      if (!coalescer_.Empty()) timeout = static_cast<int>(coalescer_.MsUntilDue(now));
      if (!inotify_.Valid()) {
        const int retryIn = static_cast<int>(std::max<std::int64_t>(0, retryAtMs_ - now));
        timeout = timeout < 0 ? retryIn : std::min(timeout, retryIn);
      }

      pollfd fds[2] = {{stop_.Get(), POLLIN, 0}, {inotify_.Get(), POLLIN, 0}};
      const nfds_t count = inotify_.Valid() ? 2 : 1;
      if (::poll(fds, count, timeout) < 0) {
        if (errno == EINTR) continue;
        // Out of kernel memory: report once and pace the next attempt.
        Fail(errno, NowMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(kFirstRetryMs));
        continue;
      }
      if (fds[0].revents != 0) return;
      if (count == 2 && fds[1].revents != 0) ReadEvents(NowMs());
      for (auto& change : coalescer_.TakeDue(NowMs())) PostChange(std::move(change));
    }
  }

  void Establish(std::int64_t now) {
    TUniqueFd fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!fd.Valid() || ::inotify_add_watch(fd.Get(), folder_.c_str(),
                                           kChangeMask | kLostMask | IN_ONLYDIR) < 0) {
      Fail(errno, now);
      return;
    }
    inotify_.Reset(fd.Release());
    errorReported_ = false;
    backoffMs_ = kFirstRetryMs;
  }

  // Drops the watch, reports the failure once per failing streak and paces
  // the next attempt.
  void Fail(int code, std::int64_t now) {
    inotify_.Reset();
    if (!errorReported_) {
      errorReported_ = true;
      PostError(code);
    }
    retryAtMs_ = now + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, kMaxRetryMs);
  }

  void ReadEvents(std::int64_t now) {
    const bool suspended = suspendCount_.load() > 0;
    bool lost = false;
    for (;;) {
      const auto got = ::read(inotify_.Get(), buffer_, sizeof buffer_);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && errno == EAGAIN) break;
      if (got <= 0) {
        Fail(got < 0 ? errno : EIO, now);
        return;
      }
      std::size_t offset = 0;
      while (offset + sizeof(inotify_event) <= static_cast<std::size_t>(got)) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer_ + offset);
        offset += sizeof(inotify_event) + event->len;
        if (event->mask & IN_Q_OVERFLOW) PostError(EOVERFLOW);
        if (event->mask & kLostMask) lost = true;
        if (suspended || event->len == 0 || (event->mask & IN_ISDIR) || !(event->mask & kChangeMask))
          continue;
        // The name is NUL-padded to `len`.
        coalescer_.Add(std::string_view(event->name, ::strnlen(event->name, event->len)),
                       KindOf(event->mask), now);
      }
    }
    if (lost) Fail(ENOENT, now);
  }

  void PostChange(TFileChange change) {
    poster_([alive = alive_, change = std::move(change)] {
      if (const auto self = alive.lock()) (*self)->DeliverChange(change);
    });
  }

  void PostError(int code) {
    poster_([alive = alive_, code] {
      if (const auto self = alive.lock()) (*self)->DeliverError(code);
    });
  }

  const std::string folder_;
  const TPoster poster_;
  const std::weak_ptr<TDirectory*> alive_;
  const std::atomic<int>& suspendCount_;
  TChangeCoalescer coalescer_;
  TUniqueFd stop_;
  TUniqueFd inotify_;
  bool errorReported_ = false;
  std::int64_t retryAtMs_ = 0;
  std::int64_t backoffMs_ = kFirstRetryMs;
  alignas(inotify_event) char buffer_[4096];
  std::thread thread_;  // started by the constructor body, once every member exists
};

// ---- TDirectory ----

TDirectory::TDirectory(const std::string& folder, TPoster poster)
    : alive_(std::make_shared<TDirectory*>(this)) {
  KAVRO_CHECK(poster != nullptr, "TDirectory needs a poster");
  // A failure shows up as the worker's first error.
  ::mkdir(folder.c_str(), 0700);
  worker_ = std::make_unique<TDirectoryWorker>(*this, folder, std::move(poster));
}

TDirectory::~TDirectory() {
  alive_.reset();
  worker_.reset();
}

void TDirectory::Suspend() { ++suspendCount_; }

void TDirectory::Resume() {
  int count = suspendCount_.load();
  while (count > 0 && !suspendCount_.compare_exchange_weak(count, count - 1)) {
  }
}

void TDirectory::DeliverChange(const TFileChange& change) {
  // A copy: the handler may destroy this object, and with it OnChange.
  if (const TChangeHandler handler = OnChange) handler(change.FileName, change.Kind);
}

void TDirectory::DeliverError(int code) {
  if (const TErrorHandler handler = OnError) handler(code);
}
