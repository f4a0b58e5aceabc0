#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What happened to a name in a watched folder.
enum class TChangeKind : std::uint8_t {
  Modified = 0,  // a write to the file completed
  Added = 1,     // created, or the new name of a rename
  Removed = 2,   // deleted, or the old name of a rename
  Other = 3,
};

// One change handed from the watcher thread to the main thread, by value.
struct TFileChange {
  TChangeKind Kind = TChangeKind::Other;
  std::string FileName;  // relative to the watched folder

  bool operator==(const TFileChange&) const = default;
};

// The identity of one version of a file on disk. A rename over the file gives
// another inode, a rewrite in place another size or modification time.
struct TFileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::int64_t Size = 0;
  std::int64_t ModifiedNs = 0;

  bool operator==(const TFileIdentity&) const = default;
};

// The identity of the file at `path`; nullopt when it cannot be read.
std::optional<TFileIdentity> StatFileIdentity(const std::string& path);

// Hands a function to the main thread; callable from any thread.
using TPoster = std::function<void(std::function<void()>)>;

// The watcher thread's memory of changes not handed on yet. Notifications for
// one name are merged until the name has been quiet for QuietMs, so a burst
// (several writes, create then write) gives one change, and the change is
// handed on after the last write of the burst rather than before it. A name
// that never goes quiet is still handed on MaxDelayMs after its first
// notification. Times are milliseconds of any monotonic clock.
class TChangeCoalescer {
 public:
  static constexpr std::int64_t QuietMs = 50;
  static constexpr std::int64_t MaxDelayMs = 500;

  void Add(std::string_view fileName, TChangeKind kind, std::int64_t nowMs);

  // The changes due at `nowMs`, in the order they fell due; they are forgotten.
  std::vector<TFileChange> TakeDue(std::int64_t nowMs);

  // Milliseconds until the next change falls due (0 when one is due); -1 when
  // nothing is pending.
  std::int64_t MsUntilDue(std::int64_t nowMs) const;

  bool Empty() const { return pending_.empty(); }

 private:
  struct TPending {
    TFileChange Change;
    std::int64_t FirstMs;
    std::int64_t DueMs;
  };
  // A settings folder holds a dozen files: a plain list is the fastest.
  std::vector<TPending> pending_;
};

class TDirectoryWorker;

// Watches one folder (not its sub-folders) on a worker thread and hands each
// coalesced change to the main thread through the poster. Owns the worker
// thread and its descriptors; both are gone when the destructor returns.
// Handlers run on the main thread and may destroy this object.
class TDirectory {
 public:
  using TChangeHandler = std::function<void(const std::string& fileName, TChangeKind kind)>;
  using TErrorHandler = std::function<void(int code)>;

  // Creates the folder (mode 0700) when missing and starts watching it. A
  // folder that cannot be watched is reported through OnError and retried.
  TDirectory(const std::string& folder, TPoster poster);
  ~TDirectory();
  TDirectory(const TDirectory&) = delete;
  TDirectory& operator=(const TDirectory&) = delete;

  TChangeHandler OnChange;
  // Called once when watching fails (errno code), again only after watching
  // worked in between; a lost-events overflow is reported each time.
  TErrorHandler OnError;

  // Changes that reach the worker while the count is above 0 are dropped.
  void Suspend();
  void Resume();  // never below 0
  int SuspendCount() const { return suspendCount_.load(); }

 private:
  friend class TDirectoryWorker;

  void DeliverChange(const TFileChange& change);
  void DeliverError(int code);

  std::atomic<int> suspendCount_{0};
  // Shared only as a liveness token: posted functions hold weak copies and do
  // nothing once this object is gone.
  std::shared_ptr<TDirectory*> alive_;
  std::unique_ptr<TDirectoryWorker> worker_;
};
