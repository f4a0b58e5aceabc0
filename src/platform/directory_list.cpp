#include "platform/directory_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/case_tables.h"

namespace {

struct TDirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

// Owns one open file descriptor.
class TReadDescriptor {
 public:
  explicit TReadDescriptor(int fd) : fd_(fd) {}
  TReadDescriptor(const TReadDescriptor&) = delete;
  TReadDescriptor& operator=(const TReadDescriptor&) = delete;
  ~TReadDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool HasExtension(std::string_view name, std::string_view extension) {
  return name.size() >= extension.size() &&
         SameText(name.substr(name.size() - extension.size()), extension);
}

bool IsRegularFileAt(int folderFd, const char* name) {
  struct stat info {};
  return ::fstatat(folderFd, name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::optional<std::vector<std::string>> ListFilesByExtension(const std::string& folder,
                                                             std::string_view extension) {
  TDirHandle dir(::opendir(folder.c_str()));
  if (!dir) return std::nullopt;
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) break;  // the end, or an error: keep what was listed
    const std::string_view name(entry->d_name);
    if (name == "." || name == ".." || !HasExtension(name, extension)) continue;
    if (!IsRegularFileAt(::dirfd(dir.get()), entry->d_name)) continue;
    names.emplace_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string& out) {
  out.clear();
  // O_NONBLOCK so that a FIFO given a matching name cannot stall the scan;
  // it is refused below as not being a regular file.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  TReadDescriptor file(fd);
  if (!file.Valid()) return false;
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  out.resize(limit);
  std::size_t done = 0;
  while (done < limit) {
    const ssize_t n = ::read(file.Get(), out.data() + done, limit - done);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      out.clear();
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return true;
}
