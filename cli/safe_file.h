#pragma once
// Output files that appear whole or not at all: written under a temporary
// name in the same folder and renamed over the final name when complete.
#include <cstdio>
#include <set>
#include <string>
#include <utility>

class SafeFile {
 public:
  SafeFile() = default;
  SafeFile(const SafeFile&) = delete;
  SafeFile& operator=(const SafeFile&) = delete;
  // Removes the temporary file when commit was not reached.
  ~SafeFile();

  // Creates the temporary file for path. False, with error set, on failure.
  bool open(const std::string& path);
  // Appends text; a failure is remembered and reported by commit.
  void write(const std::string& text);
  // Pushes what was written so far to the temporary file.
  void flush();
  // Closes the temporary file and renames it to the final name. False, with
  // error set and the temporary file removed, when anything failed.
  bool commit();

  const std::string& error() const { return error_; }
  const std::string& tempPath() const { return tempPath_; }
  std::FILE* stream() { return file_; }

 private:
  void discard();

  std::string path_;
  std::string tempPath_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::string error_;
};

// A temporary name in the folder of path for a file that will be renamed to
// path: the name with a leading dot, the process id and a counter.
std::string temporaryPathFor(const std::string& path);

// Renames a finished temporary file to path. False, with *error set and the
// temporary file removed, on failure.
bool replaceWith(const std::string& tempPath, const std::string& path, std::string* error);

// Files known by their resolved absolute path and, for files that exist,
// by device and inode, so that links and other spellings of a path match.
class FileSet {
 public:
  void add(const std::string& path);
  // Whether path names a file added before.
  bool contains(const std::string& path) const;

 private:
  std::set<std::string> paths_;
  std::set<std::pair<unsigned long long, unsigned long long>> ids_;
};
