#include "cli/safe_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_tempCounter{0};

std::string systemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string temporaryPathFor(const std::string& path) {
  const fs::path target(path);
  const std::string name = "." + target.filename().string() + "." +
                           std::to_string(static_cast<long>(getpid())) + "." +
                           std::to_string(g_tempCounter.fetch_add(1)) + ".tmp";
  return (target.parent_path() / name).string();
}

bool replaceWith(const std::string& tempPath, const std::string& path, std::string* error) {
  if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
    *error = systemError("cannot rename the finished file to", path);
    std::remove(tempPath.c_str());
    return false;
  }
  return true;
}

SafeFile::~SafeFile() { discard(); }

bool SafeFile::open(const std::string& path) {
  discard();
  path_ = path;
  tempPath_ = temporaryPathFor(path);
  file_ = std::fopen(tempPath_.c_str(), "wbx");
  if (file_ == nullptr) {
    error_ = systemError("cannot create", tempPath_);
    return false;
  }
  failed_ = false;
  error_.clear();
  return true;
}

void SafeFile::write(const std::string& text) {
  if (file_ == nullptr || failed_) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) {
    failed_ = true;
    error_ = systemError("cannot write", tempPath_);
  }
}

void SafeFile::flush() {
  if (file_ != nullptr && !failed_ && std::fflush(file_) != 0) {
    failed_ = true;
    error_ = systemError("cannot write", tempPath_);
  }
}

bool SafeFile::commit() {
  if (file_ == nullptr) {
    if (error_.empty()) error_ = "no file is open";
    return false;
  }
  const bool flushed = std::fflush(file_) == 0;
  if (!failed_ && !flushed) error_ = systemError("cannot write", tempPath_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!failed_ && flushed && !closed) error_ = systemError("cannot close", tempPath_);
  if (failed_ || !flushed || !closed) {
    std::remove(tempPath_.c_str());
    tempPath_.clear();
    return false;
  }
  const bool renamed = replaceWith(tempPath_, path_, &error_);
  tempPath_.clear();
  return renamed;
}

void SafeFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    std::remove(tempPath_.c_str());
    tempPath_.clear();
  }
}

namespace {

std::string resolvedPath(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  if (ec) return path;
  const fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal().string() : resolved.string();
}

bool fileId(const std::string& path, std::pair<unsigned long long, unsigned long long>* id) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  *id = {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
  return true;
}

}  // namespace

void FileSet::add(const std::string& path) {
  paths_.insert(resolvedPath(path));
  std::pair<unsigned long long, unsigned long long> id;
  if (fileId(path, &id)) ids_.insert(id);
}

bool FileSet::contains(const std::string& path) const {
  if (paths_.count(resolvedPath(path)) != 0) return true;
  std::pair<unsigned long long, unsigned long long> id;
  return fileId(path, &id) && ids_.count(id) != 0;
}
