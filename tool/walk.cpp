// walk.cpp -- the inputs of a scan: files, standard input, and directories walked in a fixed order
#include "tool/walk.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <utility>

#if defined(_WIN32)
#include <windows.h>

#include <filesystem>
#include <system_error>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/magic.h>
#include <sys/vfs.h>
#endif

#include <cerrno>
#include <cstring>
#endif

#include "tool/escape.h"
#include "tool/glob.h"

namespace tessera::tool {
namespace {

constexpr std::string_view kReplaced = "replaced while the walk looked at it: not read";
constexpr std::string_view kLoop = "not followed: a link back to a directory being walked";
constexpr std::string_view kNotRegular = "not a regular file: not read";

// Whether a directory's path ends in a separator already ("/", "C:\").
bool EndsInSeparator(std::string_view dir) {
  if (dir.empty()) return false;
#if defined(_WIN32)
  if (dir.back() == '\\' || dir.back() == ':') return true;
#endif
  return dir.back() == '/';
}

// What the walks of both systems share: the operands, the excludes, the
// paths shown and the notices.
class WalkerBase {
 public:
  WalkerBase(const WalkOptions& options, const std::function<void(Found&&)>& found, WalkCounts& counts)
      : options_(options), found_(found), counts_(counts) {
    for (const std::string& glob : options.excludes) excludes_.emplace_back(glob);
  }

 protected:

  // Begins the paths below a directory given: "dir/" (or "" for a bare ".").
  void StartPaths(const std::string& operand) {
    path_ = options_.bare_dot && operand == "." ? "" : operand;
    if (!path_.empty() && !EndsInSeparator(path_)) path_ += '/';
    top_size_ = path_.size();
  }

  // With path_ the directory's prefix: the path of its entry `name`.
  std::string PathOf(std::string_view name) const {
    std::string path = path_;
    path += name;
    return path;
  }

  bool Excluded(std::string_view name, bool directory) {
    if (excludes_.empty()) return false;
    const std::string path = PathOf(name);
    const std::string_view below = std::string_view(path).substr(top_size_);
    std::string shown = path;
#if defined(_WIN32)
    std::replace(shown.begin(), shown.end(), '\\', '/');
#endif
    const bool excluded = std::ranges::any_of(
        excludes_, [&](const ExcludeGlob& glob) { return glob.Matches(name, below, shown, directory); });
    if (excluded) ++counts_.excluded;
    return excluded;
  }

  void File(std::string path, sys::Handle handle, uint64_t size, bool may_wait = false) {
    Found f{Found::File, std::move(path), {}, false};
    f.handle = handle;
    f.size = size;
    f.may_wait = may_wait;
    found_(std::move(f));
  }
  void Notice(const std::string& path, std::string_view what, bool error) {
    std::string message = Escaped(path);
    message += ": ";
    message += what;
    found_({Found::Notice, path, std::move(message), error});
  }
  void CannotOpen(const std::string& path, const std::string& why) {
    found_({Found::Notice, path, "cannot open " + Escaped(path) + ": " + why, true});
  }
  void CannotReadDirectory(const std::string& path, const std::string& why) {
    Notice(path, "cannot read the directory: " + why, true);
  }

  const WalkOptions& options_;
  const std::function<void(Found&&)>& found_;
  WalkCounts& counts_;
  std::vector<ExcludeGlob> excludes_;
  std::string path_;          // the current directory's path as shown, ending in "/" (or empty)
  std::size_t top_size_ = 0;  // the part of path_ that is the directory given
};

#if !defined(_WIN32)

// The file systems whose files are made up by the kernel as they are read:
// /proc/self/pagemap says it is a regular file of hundreds of gigabytes.
const char* PseudoFileSystem(int fd) {
#if defined(__linux__)
  struct Kind {
    unsigned long magic;
    const char* name;
  };
  static constexpr Kind kPseudo[] = {
      {PROC_SUPER_MAGIC, "proc"},       {SYSFS_MAGIC, "sysfs"},
      {DEBUGFS_MAGIC, "debugfs"},       {TRACEFS_MAGIC, "tracefs"},
      {SECURITYFS_MAGIC, "securityfs"}, {CGROUP_SUPER_MAGIC, "cgroup"},
      {CGROUP2_SUPER_MAGIC, "cgroup2"}, {BPF_FS_MAGIC, "bpf"},
      {PSTOREFS_MAGIC, "pstore"},       {EFIVARFS_MAGIC, "efivarfs"},
      {SELINUX_MAGIC, "selinuxfs"},     {SMACK_MAGIC, "smackfs"},
      {BINFMTFS_MAGIC, "binfmt_misc"},  {DEVPTS_SUPER_MAGIC, "devpts"},
      {NSFS_MAGIC, "nsfs"},             {0x62656570, "configfs"},
      {0x65735543, "fusectl"},
  };
  struct statfs info{};
  if (::fstatfs(fd, &info) != 0) return nullptr;
  for (const Kind& kind : kPseudo)
    if (static_cast<unsigned long>(info.f_type) == kind.magic) return kind.name;
#else
  (void)fd;
#endif
  return nullptr;
}

std::string PseudoNotice(const char* file_system) {
  return std::string("on a pseudo file system (") + file_system + "): not read";
}

int OpenAt(int dir, const char* name, int flags) {
  for (;;) {
    const int fd = ::openat(dir, name, flags | O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

bool Same(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The directory's names, sorted by their bytes, so that the order never
// depends on the file system; or the error that stopped the reading.
int ReadNames(int fd, std::vector<std::string>& names) {
  // A copy for the stream, which closes it; `fd` stays for openat.
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return errno;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    const int error = errno;
    ::close(copy);
    return error;
  }
  int error = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      error = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  std::ranges::sort(names);
  return error;
}

// Directories are held open while their entries are walked, at most
// kOpenDirectories at a time: deeper in the tree, the shallowest are closed
// and opened again from their parents when their entries are reached, each
// checked to be the directory it was. Memory grows with the depth and the
// size of the directories on the way, never with the length of a path.
class Walker : WalkerBase {
 public:
  using WalkerBase::WalkerBase;

  void Operand(const std::string& operand) {
    if (operand == "-") {
      found_({Found::StandardInput, operand, {}, false});
      return;
    }
    const int fd = OpenAt(AT_FDCWD, operand.c_str(), 0);
    if (fd < 0) {
      const int error = errno;
      struct stat info{};
      if (::stat(operand.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return CannotReadDirectory(operand, ::strerror(error));
      return CannotOpen(operand, ::strerror(error));
    }
    struct stat info{};
    if (::fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
      const bool regular = S_ISREG(info.st_mode);
      return File(operand, fd, regular ? static_cast<uint64_t>(info.st_size) : 0, !regular);
    }
    StartPaths(operand);
    if (!Enter(fd, info, false, PseudoFileSystem(fd), operand)) return;
    while (!levels_.empty()) {
      Level& level = levels_.back();
      if (level.next == level.names.size()) {
        Leave();
        continue;
      }
      const std::string name = level.names[level.next++];
      Entry(name);
    }
  }

 private:
  struct Level {
    std::vector<std::string> names;
    std::size_t next = 0;     // the entry walked next
    std::size_t prefix_size;  // of path_ in the parent
    struct stat info;         // as the walk first saw it
    int fd;                   // -1 while closed
    bool linked;              // entered through a symbolic link
    const char* pseudo;       // the pseudo file system it is on, if any: only a directory given
  };

  static constexpr std::size_t kOpenDirectories = 32;

  // What the current directory holds under `name`.
  void Entry(const std::string& name) {
    const int dir = CurrentDirectory();
    if (dir < 0) return;
    const std::string path = PathOf(name);
    struct stat info{};
    if (::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return CannotOpen(path, ::strerror(errno));
    const bool link = S_ISLNK(info.st_mode);
    if (link && options_.follow && ::fstatat(dir, name.c_str(), &info, 0) != 0) {
      // A link to nothing: opening it would say so.
      const int error = errno;
      if (!Excluded(name, false)) CannotOpen(path, ::strerror(error));
      return;
    }
    if (Excluded(name, S_ISDIR(info.st_mode))) return;
    if (link && !options_.follow) {
      ++counts_.links_not_followed;
      return;
    }
    if (S_ISDIR(info.st_mode)) return Directory(dir, name, info, link);
    if (!S_ISREG(info.st_mode)) return Notice(path, kNotRegular, false);
    if (const char* pseudo = levels_.back().pseudo) return Notice(path, PseudoNotice(pseudo), false);

    // O_NONBLOCK: should the name be a pipe by now, opening it does not wait.
    const int fd = OpenAt(dir, name.c_str(), O_NONBLOCK | (link ? 0 : O_NOFOLLOW));
    if (fd < 0) return errno == ELOOP && !link ? Notice(path, kReplaced, true) : CannotOpen(path, ::strerror(errno));
    struct stat opened{};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !Same(opened, info)) {
      ::close(fd);
      return Notice(path, kReplaced, true);
    }
    if (link) {
      if (const char* pseudo = PseudoFileSystem(fd)) {
        ::close(fd);
        return Notice(path, PseudoNotice(pseudo), false);
      }
    }
    File(path, fd, static_cast<uint64_t>(opened.st_size));
  }

  void Directory(int dir, const std::string& name, const struct stat& info, bool link) {
    const std::string path = PathOf(name);
    if (options_.follow && walked_.contains({info.st_dev, info.st_ino})) {
      if (std::ranges::any_of(levels_, [&](const Level& l) { return Same(l.info, info); }))
        return Notice(path, kLoop, false);
      ++counts_.walked_already;
      return;
    }
    const int fd = OpenAt(dir, name.c_str(), O_DIRECTORY | (link ? 0 : O_NOFOLLOW));
    if (fd < 0) {
      if ((errno == ELOOP || errno == ENOTDIR) && !link) return Notice(path, kReplaced, true);
      return CannotReadDirectory(path, ::strerror(errno));
    }
    struct stat opened{};
    if (::fstat(fd, &opened) != 0 || !Same(opened, info)) {
      ::close(fd);
      return Notice(path, kReplaced, true);
    }
    if (const char* pseudo = PseudoFileSystem(fd)) {
      ::close(fd);
      return Notice(path, PseudoNotice(pseudo), false);
    }
    Enter(fd, info, link, nullptr, name);
  }

  // Reads the directory open as `fd` and makes it the current one; false
  // (and `fd` closed) when it cannot be read.
  bool Enter(int fd, const struct stat& info, bool link, const char* pseudo, const std::string& name) {
    std::vector<std::string> names;
    if (const int error = ReadNames(fd, names)) {
      ::close(fd);
      CannotReadDirectory(levels_.empty() ? name : PathOf(name), ::strerror(error));
      return false;
    }
    if (options_.follow) walked_.insert({info.st_dev, info.st_ino});
    const std::size_t prefix_size = path_.size();
    if (!levels_.empty()) {
      path_ += name;
      path_ += '/';
    }
    levels_.push_back({std::move(names), 0, prefix_size, info, fd, link, pseudo});
    if (++open_ > kOpenDirectories) CloseShallowest(levels_.size() - 1);
    return true;
  }

  void Leave() {
    Level& level = levels_.back();
    if (level.fd >= 0) {
      ::close(level.fd);
      --open_;
    }
    path_.resize(level.prefix_size);
    levels_.pop_back();
    closed_below_ = std::min(closed_below_, std::max<std::size_t>(levels_.size(), 1));
  }

  // The directory given stays open; of the others above `below`, the
  // shallowest is closed: the one needed last.
  void CloseShallowest(std::size_t below) {
    for (std::size_t i = closed_below_; i < below; ++i) {
      if (levels_[i].fd < 0) continue;
      ::close(levels_[i].fd);
      levels_[i].fd = -1;
      --open_;
      closed_below_ = i + 1;
      return;
    }
  }

  // The current directory's descriptor, opened again from the nearest open
  // one above it if it was closed: -1 when that no longer leads to the same
  // directories, and then the rest of it is not walked.
  int CurrentDirectory() {
    const std::size_t current = levels_.size() - 1;
    if (levels_[current].fd >= 0) return levels_[current].fd;
    std::size_t open = current;
    while (levels_[open].fd < 0) --open;  // the directory given is always open
    for (std::size_t i = open + 1; i <= current; ++i) {
      const Level& parent = levels_[i - 1];
      Level& level = levels_[i];
      const std::string& name = parent.names[parent.next - 1];
      level.fd = OpenAt(parent.fd, name.c_str(), O_DIRECTORY | (level.linked ? 0 : O_NOFOLLOW));
      struct stat opened{};
      if (level.fd >= 0 && (::fstat(level.fd, &opened) != 0 || !Same(opened, level.info))) {
        ::close(level.fd);
        level.fd = -1;
      }
      if (level.fd < 0) {
        levels_[current].next = levels_[current].names.size();
        std::string shown = path_;
        if (shown.size() > 1) shown.pop_back();
        Notice(shown, kReplaced, true);
        return -1;
      }
      closed_below_ = std::min(closed_below_, i);
      if (++open_ > kOpenDirectories) CloseShallowest(i);
    }
    return levels_[current].fd;
  }

  std::vector<Level> levels_;  // from the directory given to the current one
  std::size_t open_ = 0;       // of levels_, with a descriptor
  std::size_t closed_below_ = 1;  // levels_ from 1 to here have none
  std::set<std::pair<dev_t, ino_t>> walked_;  // with --follow
};

#else

namespace fs = std::filesystem;

// Paths are UTF-8 on Windows, whose narrow strings would otherwise be read
// in the ANSI code page.
fs::path PathFrom(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())); }

std::string TextOf(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// The volume and the file index, as inodes elsewhere; a directory opens
// only with backup semantics.
std::string Identity(const fs::path& dir) {
  const HANDLE h = CreateFileW(dir.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return TextOf(dir);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!known) return TextOf(dir);
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
}

class Walker : WalkerBase {
 public:
  using WalkerBase::WalkerBase;

  void Operand(const std::string& operand) {
    if (operand == "-") {
      found_({Found::StandardInput, operand, {}, false});
      return;
    }
    std::error_code error;
    if (fs::is_directory(fs::status(PathFrom(operand), error))) {
      StartPaths(operand);
      return Directory(PathFrom(operand), operand);
    }
    Open(operand, true);
  }

 private:
  struct Entry {
    std::string name;
    fs::path path;
    fs::file_type type;
  };

  void Open(const std::string& path, bool given = false) {
    const sys::Opened opened = sys::OpenForReading(path);
    if (opened.error != 0) return CannotOpen(path, sys::ErrorText(opened.error));
    File(path, opened.handle, 0, given && sys::MayWait(opened.handle));
  }

  void Directory(const fs::path& dir, const std::string& shown) {
    std::string identity;
    if (options_.follow) {
      identity = Identity(dir);
      if (walked_.contains(identity)) {
        if (std::ranges::find(ancestors_, identity) != ancestors_.end()) return Notice(shown, kLoop, false);
        ++counts_.walked_already;
        return;
      }
      walked_.insert(identity);
    }
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator it(dir, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      std::error_code type_error;
      const fs::file_status status = it->symlink_status(type_error);
      entries.push_back({TextOf(it->path().filename()), it->path(),
                         type_error ? fs::file_type::unknown : status.type()});
    }
    if (error) CannotReadDirectory(shown, error.message());
    std::ranges::sort(entries, {}, &Entry::name);

    if (options_.follow) ancestors_.push_back(identity);
    for (Entry& entry : entries) {
      const std::string child = PathOf(entry.name);
      fs::file_type type = entry.type;
      const bool link = type == fs::file_type::symlink;
      if (link && options_.follow) {
        std::error_code target_error;
        type = fs::status(entry.path, target_error).type();
        // A link to nothing is handed on: opening it says so.
        if (target_error) type = fs::file_type::regular;
      }
      if (Excluded(entry.name, type == fs::file_type::directory)) continue;
      if (link && !options_.follow) {
        ++counts_.links_not_followed;
      } else if (type == fs::file_type::directory) {
        const std::size_t prefix_size = path_.size();
        path_ = child + "/";
        Directory(entry.path, child);
        path_.resize(prefix_size);
      } else if (type == fs::file_type::regular || type == fs::file_type::unknown) {
        Open(child);
      } else {
        Notice(child, kNotRegular, false);
      }
    }
    if (options_.follow) ancestors_.pop_back();
  }

  std::vector<std::string> ancestors_;
  std::set<std::string> walked_;
};

#endif

}  // namespace

void Walk(std::span<const std::string> operands, const WalkOptions& options,
          const std::function<void(Found&&)>& found, WalkCounts& counts) {
  Walker walker(options, found, counts);
  for (const std::string& operand : operands) walker.Operand(operand);
}

}  // namespace tessera::tool
