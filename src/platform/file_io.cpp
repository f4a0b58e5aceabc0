#include "platform/file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/unique_fd.h"

namespace {

// Removes a temporary file unless the write succeeded and it was renamed.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(std::string path) : path_(std::move(path)) {}
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;
  ~TTemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  const std::string& Path() const { return path_; }
  void Release() { path_.clear(); }

 private:
  std::string path_;
};

int OpenRetrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The folder of `path` ("." when it has none) and the file name.
std::pair<std::string, std::string> SplitPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {".", path};
  if (slash == 0) return {"/", path.substr(1)};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

// A name no other writer uses at the same time, hidden and without the
// target's extension so that folder watchers looking for "*.xml" skip it.
std::string TemporaryName(const std::string& folder, const std::string& file) {
  static std::atomic<unsigned> counter{0};
  return folder + "/." + file + ".tmp-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1));
}

// The writer's process id of a temporary name of `file`, or 0 when `name`
// is not one.
pid_t TemporaryWriter(std::string_view name, const std::string& file) {
  const std::string prefix = "." + file + ".tmp-";
  if (!name.starts_with(prefix)) return 0;
  name.remove_prefix(prefix.size());
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size() || dash > 9) return 0;
  pid_t pid = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i == dash) continue;
    if (name[i] < '0' || name[i] > '9') return 0;
    if (i < dash) pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

// A writer killed between creating its temporary file and the rename leaves
// the file behind; without this, every crash would add one for good. Only
// files of processes that are gone are removed: a live writer (another
// process using the same folder) keeps its own.
void RemoveDeadWritersFiles(const std::string& folder, const std::string& file) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return;
  const pid_t self = ::getpid();
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return;
    const std::string name = it->path().filename().string();
    const pid_t writer = TemporaryWriter(name, file);
    if (writer <= 0 || writer == self) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;
    ::unlink(it->path().c_str());
  }
}

bool SyncFolder(const std::string& folder) {
  TUniqueFd dir(OpenRetrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir.IsOpen()) return false;
  // Some file systems cannot sync a folder; the rename is done regardless.
  return ::fsync(dir.Get()) == 0 || errno == EINVAL;
}

// How a replaced file's permission bits are chosen.
enum class TFileAccess {
  KeepExisting,  // an existing target keeps its bits; a new one follows the umask
  OwnerOnly,     // always 0600, and a missing folder is created 0700
};

bool WriteAtomically(const std::string& path, std::string_view bytes, TFileAccess access) {
  auto [folder, file] = SplitPath(path);
  if (file.empty()) return false;
  const bool ownerOnly = access == TFileAccess::OwnerOnly;
  if (!(ownerOnly ? CreatePrivateDirectories(folder) : CreateDirectories(folder))) return false;

  // A leftover of a crashed writer may hold a name; try a few more.
  std::string name;
  int fd = -1;
  for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
    name = TemporaryName(folder, file);
    fd = OpenRetrying(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  TUniqueFd out(fd);
  if (!out.IsOpen()) return false;
  TTemporaryFile temporary(std::move(name));
  struct stat old {};
  if (ownerOnly) {
    // Set explicitly: the umask must not widen or narrow a secret file.
    if (::fchmod(out.Get(), S_IRUSR | S_IWUSR) != 0) return false;
  } else if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    if (::fchmod(out.Get(), old.st_mode & 07777) != 0) return false;
  }
  if (!WriteAll(out.Get(), bytes) || ::fsync(out.Get()) != 0 || !out.Close()) return false;
  if (::rename(temporary.Path().c_str(), path.c_str()) != 0) return false;
  temporary.Release();
  RemoveDeadWritersFiles(folder, file);
  return SyncFolder(folder);
}

}  // namespace

bool ReadFileBytes(const std::string& path, std::string& out) {
  out.clear();
  TUniqueFd file(OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) return false;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  out.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      out.clear();
      return false;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes, TFileAccess::KeepExisting);
}

bool WriteFileAtomicPrivate(const std::string& path, std::string_view bytes) {
  return WriteAtomically(path, bytes, TFileAccess::OwnerOnly);
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

bool CreatePrivateDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::filesystem::path prefix;
  for (const std::filesystem::path& part : std::filesystem::path(path)) {
    prefix /= part;
    if (part.empty() || part == "/" || part == "." || part == "..") continue;
    if (::mkdir(prefix.c_str(), S_IRWXU) == 0) {
      // mkdir applies the umask; the folder must be exactly owner-only.
      if (::chmod(prefix.c_str(), S_IRWXU) != 0) return false;
    } else if (errno != EEXIST) {
      return false;
    }
  }
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}
