// walk.cpp -- the inputs of a scan: files, standard input, and directories walked in a fixed order
#include "tool/walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "tool/escape.h"
#include "tool/glob.h"

namespace tessera::tool {
namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 on Windows, whose narrow strings would otherwise be read
// in the ANSI code page; elsewhere they are the system's bytes as they are.
fs::path PathOf(const std::string& text) {
#if defined(_WIN32)
  return fs::path(std::u8string(text.begin(), text.end()));
#else
  return fs::path(text);
#endif
}

std::string TextOf(const fs::path& path) {
#if defined(_WIN32)
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.native();
#endif
}

std::string GenericTextOf(const fs::path& path) {
#if defined(_WIN32)
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
#else
  return path.generic_string();
#endif
}

// A path found in a directory, as shown and opened: joined with "/" on
// every system (Windows takes it too), so that a Windows path does not show
// each separator escaped.
std::string Child(const std::string& dir, const std::string& name) {
  const bool separated = !dir.empty() && (dir.back() == '/'
#if defined(_WIN32)
                                          || dir.back() == '\\' || dir.back() == ':'
#endif
                                         );
  return separated ? dir + name : dir + "/" + name;
}

// What makes two paths the same directory, for telling a loop.
std::string Identity(const fs::path& dir) {
#if defined(_WIN32)
  // The volume and the file index, as inodes elsewhere; a directory opens
  // only with backup semantics.
  const HANDLE h = CreateFileW(dir.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GenericTextOf(dir);
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!known) return GenericTextOf(dir);
  return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
         std::to_string(info.nFileIndexLow);
#else
  struct stat info{};
  if (::stat(dir.c_str(), &info) != 0) return dir.native();
  return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
#endif
}

class Walker {
 public:
  Walker(const WalkOptions& options, const std::function<void(Found&&)>& found, WalkCounts& counts)
      : options_(options), found_(found), counts_(counts) {}

  void Operand(const std::string& operand) {
    if (operand == "-") return found_({Found::StandardInput, operand, {}, false});
    const fs::path path = PathOf(operand);
    std::error_code error;
    // A path that cannot be looked at is handed on as a file: opening it
    // says what is wrong.
    if (fs::is_directory(fs::status(path, error))) return Directory(path, operand);
    found_({Found::File, operand, {}, false});
  }

 private:
  struct Entry {
    std::string name;
    fs::path path;
    fs::file_type type;
  };

  bool Excluded(const std::string& name, const std::string& shown) const {
    return std::ranges::any_of(options_.excludes, [&](const std::string& glob) {
      return glob.find('/') == std::string::npos ? GlobMatches(glob, name, false)
                                                 : GlobMatches(glob, GenericTextOf(PathOf(shown)), true);
    });
  }

  void Complain(const std::string& shown, const std::string& what, bool error) {
    found_({Found::Notice, shown, Escaped(shown) + ": " + what, error});
  }

  void Directory(const fs::path& path, const std::string& shown) {
    std::string identity;
    if (options_.follow) {
      identity = Identity(path);
      if (std::ranges::find(ancestors_, identity) != ancestors_.end())
        return Complain(shown, "not followed: a link back to a directory being walked", false);
    }
    // Each directory is read whole and sorted, so the order never depends
    // on the file system.
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator it(path, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
      std::error_code type_error;
      const fs::file_status status = it->symlink_status(type_error);
      entries.push_back({TextOf(it->path().filename()), it->path(),
                         type_error ? fs::file_type::unknown : status.type()});
    }
    if (error) Complain(shown, "cannot read the directory: " + error.message(), true);
    std::ranges::sort(entries, {}, &Entry::name);

    if (options_.follow) ancestors_.push_back(identity);
    for (Entry& entry : entries) {
      const std::string child = Child(shown, entry.name);
      if (Excluded(entry.name, child)) {
        ++counts_.excluded;
        continue;
      }
      fs::file_type type = entry.type;
      if (type == fs::file_type::symlink) {
        if (!options_.follow) {
          ++counts_.links_not_followed;
          continue;
        }
        std::error_code target_error;
        type = fs::status(entry.path, target_error).type();
        // A link to nothing is handed on: opening it says so.
        if (target_error) type = fs::file_type::regular;
      }
      if (type == fs::file_type::directory) {
        Directory(entry.path, child);
      } else if (type == fs::file_type::regular || type == fs::file_type::unknown) {
        found_({Found::File, child, {}, false});
      } else {
        Complain(child, "not a regular file: not read", false);
      }
    }
    if (options_.follow) ancestors_.pop_back();
  }

  const WalkOptions& options_;
  const std::function<void(Found&&)>& found_;
  WalkCounts& counts_;
  std::vector<std::string> ancestors_;
};

}  // namespace

void Walk(std::span<const std::string> operands, const WalkOptions& options,
          const std::function<void(Found&&)>& found, WalkCounts& counts) {
  Walker walker(options, found, counts);
  for (const std::string& operand : operands) walker.Operand(operand);
}

}  // namespace tessera::tool
