#pragma once
// The application objects, made once per test binary as the program makes
// them at start-up (they are never destroyed, as in the program).
#include "analysis/frame_tracker.h"
#include "app/globals.h"
#include "app/main_ui.h"
#include "app/playback_state.h"

inline void ensureApplicationObjects() {
  if (g_ui == nullptr) createApplicationObjects();
}

#include <limits.h>
#include <unistd.h>

#include <string>

// Opening a file enters its folder; this puts the test's working folder back.
class WorkingFolderGuard {
 public:
  WorkingFolderGuard() {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) saved_ = cwd;
  }
  ~WorkingFolderGuard() {
    if (!saved_.empty() && chdir(saved_.c_str()) != 0) saved_.clear();
  }
  WorkingFolderGuard(const WorkingFolderGuard&) = delete;
  WorkingFolderGuard& operator=(const WorkingFolderGuard&) = delete;

 private:
  std::string saved_;
};
