#include "platform/directory_watch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/post_queue.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using K = TChangeKind;

fs::path MakeTempFolder() {
  std::random_device random;
  const fs::path path = fs::temp_directory_path() / ("kavro-watch-" + std::to_string(random()));
  fs::create_directories(path);
  return path;
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::size_t CountEntries(const fs::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
  return count;
}

// Each test gets its own folder, the queue outlives the directory (the
// worker posts until it is joined), and the changes received are recorded.
class DirectoryWatch : public ::testing::Test {
 protected:
  void SetUp() override { root_ = MakeTempFolder(); }
  void TearDown() override {
    directory_.reset();
    fs::remove_all(root_);
  }

  void Watch(const fs::path& folder) {
    directory_ = std::make_unique<TDirectory>(folder.string(), queue_.Poster());
    directory_->OnChange = [this](const std::string& name, K kind) {
      changes_.push_back({kind, name});
    };
    directory_->OnError = [this](int code) { errors_.push_back(code); };
  }

  // Writes a marker file and runs posts until its change arrives; every
  // change made before it has been delivered by then. The marker is dropped
  // from the record.
  bool Settle() {
    WriteFile(root_ / "zz-marker", "m");
    const bool seen = queue_.RunUntil([this] {
      return !changes_.empty() && changes_.back().FileName == "zz-marker";
    });
    std::erase_if(changes_, [](const TFileChange& c) { return c.FileName == "zz-marker"; });
    return seen;
  }

  fs::path root_;
  TPostQueue queue_;
  std::unique_ptr<TDirectory> directory_;
  std::vector<TFileChange> changes_;
  std::vector<int> errors_;
};

TEST_F(DirectoryWatch, ReportsOneCoalescedChangePerFileAction) {
  struct Row {
    const char* what;
    std::function<void(const fs::path&)> prepare;
    std::function<void(const fs::path&)> act;
    std::vector<TFileChange> expected;
  };
  const auto noPrepare = [](const fs::path&) {};
  const auto existingA = [](const fs::path& d) { WriteFile(d / "a.xml", "old"); };
  const Row rows[] = {
      {"new file", noPrepare, [](const fs::path& d) { WriteFile(d / "a.xml", "x"); },
       {{K::Added, "a.xml"}}},
      {"rewrite", existingA, [](const fs::path& d) { WriteFile(d / "a.xml", "new"); },
       {{K::Modified, "a.xml"}}},
      {"burst of rewrites", existingA,
       [](const fs::path& d) {
         for (int i = 0; i < 20; ++i) WriteFile(d / "a.xml", std::string(i, 'x'));
       },
       {{K::Modified, "a.xml"}}},
      {"rename onto", [](const fs::path& d) { WriteFile(d / "a.tmp", "x"); },
       [](const fs::path& d) { fs::rename(d / "a.tmp", d / "a.xml"); },
       {{K::Removed, "a.tmp"}, {K::Added, "a.xml"}}},
      {"delete", existingA, [](const fs::path& d) { fs::remove(d / "a.xml"); },
       {{K::Removed, "a.xml"}}},
      {"case kept", noPrepare, [](const fs::path& d) { WriteFile(d / "A.Xml", "x"); },
       {{K::Added, "A.Xml"}}},
      {"sub-folder ignored", noPrepare,
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         WriteFile(d / "sub" / "a.xml", "x");
       },
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    directory_.reset();
    changes_.clear();
    fs::remove_all(root_);
    fs::create_directories(root_);
    row.prepare(root_);
    Watch(root_);
    row.act(root_);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(changes_, row.expected);
    EXPECT_TRUE(errors_.empty());
  }
}

TEST_F(DirectoryWatch, CreatesTheMissingFolderPrivately) {
  const fs::path folder = root_ / "settings";
  Watch(folder);
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
  WriteFile(folder / "a.xml", "x");
  ASSERT_TRUE(queue_.RunUntil([this] { return !changes_.empty(); }));
  EXPECT_EQ(changes_.front(), (TFileChange{K::Added, "a.xml"}));
}

TEST_F(DirectoryWatch, SuspendedChangesAreDropped) {
  Watch(root_);
  directory_->Suspend();
  WriteFile(root_ / "a.xml", "x");
  fs::remove(root_ / "a.xml");
  // Still suspended: however late the worker reads these, it drops them.
  queue_.RunFor(300ms);
  EXPECT_TRUE(changes_.empty());
}

TEST_F(DirectoryWatch, ResumeNeverGoesBelowZero) {
  Watch(root_);
  directory_->Resume();
  directory_->Suspend();
  EXPECT_EQ(directory_->SuspendCount(), 1);
  directory_->Resume();
  WriteFile(root_ / "a.xml", "x");
  ASSERT_TRUE(Settle());
  EXPECT_EQ(changes_, (std::vector<TFileChange>{{K::Added, "a.xml"}}));
}

TEST_F(DirectoryWatch, DestroyingStopsPromptlyAndLeavesNothingBehind) {
  const std::size_t fdsBefore = CountEntries("/proc/self/fd");
  const std::size_t threadsBefore = CountEntries("/proc/self/task");
  Watch(root_);
  EXPECT_EQ(CountEntries("/proc/self/task"), threadsBefore + 1);
  std::this_thread::sleep_for(50ms);  // let the worker block in its wait
  const auto start = std::chrono::steady_clock::now();
  directory_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_EQ(CountEntries("/proc/self/fd"), fdsBefore);
  EXPECT_EQ(CountEntries("/proc/self/task"), threadsBefore);
}

TEST_F(DirectoryWatch, ChangesPostedBeforeDestructionAreNotDelivered) {
  Watch(root_);
  WriteFile(root_ / "a.xml", "x");
  ASSERT_TRUE(queue_.WaitQueued(1));
  directory_.reset();
  queue_.RunFor(100ms);
  EXPECT_TRUE(changes_.empty());
}

TEST_F(DirectoryWatch, HandlerMayDestroyTheDirectory) {
  Watch(root_);
  int calls = 0;
  directory_->OnChange = [this, &calls](const std::string&, K) {
    ++calls;
    directory_.reset();
  };
  WriteFile(root_ / "a.xml", "x");
  WriteFile(root_ / "b.xml", "x");
  ASSERT_TRUE(queue_.WaitQueued(2));
  queue_.RunFor(100ms);
  EXPECT_EQ(calls, 1);
}

TEST_F(DirectoryWatch, LostFolderIsReportedOnceRetriedCalmlyAndRecovered) {
  const fs::path folder = root_ / "settings";
  Watch(folder);
  fs::remove_all(folder);
  ASSERT_TRUE(queue_.RunUntil([this] { return !errors_.empty(); }));
  EXPECT_EQ(errors_.front(), ENOENT);

  // Retries while the folder is missing stay silent and do not spin.
  const std::clock_t cpuBefore = std::clock();
  queue_.RunFor(1500ms);
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  EXPECT_LT(cpuMs, 150.0);
  EXPECT_EQ(errors_.size(), 1u);

  // Once the folder is back the watch resumes within a retry period.
  fs::create_directory(folder);
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (changes_.empty() && std::chrono::steady_clock::now() < deadline) {
    WriteFile(folder / "a.xml", "x");
    queue_.RunUntil([this] { return !changes_.empty(); }, 200ms);
  }
  ASSERT_FALSE(changes_.empty());
  EXPECT_EQ(changes_.back().FileName, "a.xml");
  EXPECT_EQ(errors_.size(), 1u);
}

TEST_F(DirectoryWatch, UncreatableFolderIsReportedOnce) {
  Watch(root_ / "missing" / "settings");
  ASSERT_TRUE(queue_.RunUntil([this] { return !errors_.empty(); }));
  queue_.RunFor(300ms);
  EXPECT_EQ(errors_, (std::vector<int>{ENOENT}));
}

// ---- the worker's coalescing, on a made-up clock ----

struct TNote {
  const char* name;
  K kind;
  std::int64_t ms;
};

TEST(ChangeCoalescer, MergesNotificationsUntilTheNameIsQuiet) {
  constexpr auto Q = TChangeCoalescer::QuietMs;
  constexpr auto M = TChangeCoalescer::MaxDelayMs;
  struct Row {
    const char* what;
    std::vector<TNote> notes;
    std::int64_t takeAt;
    std::vector<TFileChange> due;
  };
  const Row rows[] = {
      {"not due while quiet time runs", {{"a", K::Modified, 0}}, Q - 1, {}},
      {"due once quiet", {{"a", K::Modified, 0}}, Q, {{K::Modified, "a"}}},
      {"burst is one change after its last note",
       {{"a", K::Modified, 0}, {"a", K::Modified, 10}, {"a", K::Modified, 40}}, 40 + Q,
       {{K::Modified, "a"}}},
      {"burst still running", {{"a", K::Modified, 0}, {"a", K::Modified, 40}}, 40 + Q - 1, {}},
      {"endless stream is cut at the longest delay",
       {{"a", K::Modified, 0}, {"a", K::Modified, M - 20}, {"a", K::Modified, M - 1}}, M,
       {{K::Modified, "a"}}},
      {"written after being added stays added", {{"a", K::Added, 0}, {"a", K::Modified, 1}}, 1 + Q,
       {{K::Added, "a"}}},
      {"removed after being written", {{"a", K::Modified, 0}, {"a", K::Removed, 1}}, 1 + Q,
       {{K::Removed, "a"}}},
      {"added again after removal", {{"a", K::Removed, 0}, {"a", K::Added, 1}}, 1 + Q,
       {{K::Added, "a"}}},
      {"names are exact", {{"a", K::Modified, 0}, {"A", K::Modified, 0}}, Q,
       {{K::Modified, "a"}, {K::Modified, "A"}}},
      {"in the order they fall due", {{"a", K::Modified, 0}, {"b", K::Added, 5}, {"a", K::Modified, 10}},
       10 + Q, {{K::Added, "b"}, {K::Modified, "a"}}},
      {"only the due ones", {{"a", K::Modified, 0}, {"b", K::Added, 30}}, Q, {{K::Modified, "a"}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TChangeCoalescer coalescer;
    for (const auto& note : row.notes) coalescer.Add(note.name, note.kind, note.ms);
    EXPECT_EQ(coalescer.TakeDue(row.takeAt), row.due);
  }
}

TEST(ChangeCoalescer, ForgetsWhatItHandedOn) {
  constexpr auto Q = TChangeCoalescer::QuietMs;
  TChangeCoalescer coalescer;
  EXPECT_EQ(coalescer.MsUntilDue(0), -1);
  coalescer.Add("a", K::Modified, 0);
  coalescer.Add("b", K::Modified, 20);
  EXPECT_EQ(coalescer.MsUntilDue(10), Q - 10);
  EXPECT_EQ(coalescer.MsUntilDue(Q + 100), 0);
  EXPECT_EQ(coalescer.TakeDue(Q).size(), 1u);
  EXPECT_EQ(coalescer.MsUntilDue(Q), 20);
  EXPECT_EQ(coalescer.TakeDue(20 + Q).size(), 1u);
  EXPECT_TRUE(coalescer.Empty());
  // The same file saved again later is a new change.
  coalescer.Add("a", K::Modified, 1000);
  EXPECT_EQ(coalescer.TakeDue(1000 + Q), (std::vector<TFileChange>{{K::Modified, "a"}}));
}

TEST(StatFileIdentity, TellsVersionsOfAFileApart) {
  const fs::path folder = MakeTempFolder();
  const std::string path = (folder / "a.xml").string();
  EXPECT_EQ(StatFileIdentity(path), std::nullopt);
  WriteFile(path, "one");
  const auto first = StatFileIdentity(path);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->Size, 3);
  EXPECT_EQ(StatFileIdentity(path), first);
  WriteFile(path, "three");  // in place: same inode, other size
  EXPECT_NE(StatFileIdentity(path), first);
  const auto second = StatFileIdentity(path);
  WriteFile(folder / "a.tmp", "three");  // same size, renamed over: other inode
  fs::rename(folder / "a.tmp", path);
  EXPECT_NE(StatFileIdentity(path), second);
  fs::remove_all(folder);
}

}  // namespace
