// The program as a user starts it: command-line arguments are ignored, the
// fixed-size main window titled "Verdaxel" appears, and closing it ends the
// process with exit code 0. Runs the real binary on the test's display and
// talks to its window through xdotool.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// Generous for a sanitizer build on a busy machine; the test never waits longer.
constexpr std::chrono::seconds kTimeout{30};

std::string commandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[256];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) out.append(chunk, n);
  pclose(pipe);
  return out;
}

// The started program with its standard output on a pipe. A program still
// running when the test ends is killed.
class Program {
 public:
  explicit Program(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    output_ = fds[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }

  pid_t pid() const { return pid_; }
  bool started() const { return pid_ > 0; }

  // The wait status once the process has ended, or nothing while it runs.
  std::optional<int> status() {
    int status = 0;
    if (!status_ && pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
    return status_;
  }

  std::optional<int> waitForExit(Clock::time_point deadline) {
    while (!status() && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return status_;
  }

  // What the program wrote to standard output so far.
  std::string output() {
    char chunk[256];
    ssize_t n;
    while ((n = read(output_, chunk, sizeof chunk)) > 0) written_.append(chunk, size_t(n));
    return written_;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::optional<int> status_;
  std::string written_;
};

// The mapped X window of the program titled exactly title, or "".
std::string shownWindow(Program& program, const std::string& title) {
  const std::string id = commandOutput("xdotool search --all --onlyvisible --pid " +
                                       std::to_string(program.pid()) + " --name '^" + title + "$'");
  return id.substr(0, id.find('\n'));
}

// Waits until the window titled title is shown (or hidden, with shown false).
std::string waitForWindow(Program& program, const std::string& title,
                          Clock::time_point deadline, bool shown = true) {
  while (Clock::now() < deadline && !program.status()) {
    std::string id = shownWindow(program, title);
    if (id.empty() != shown) return id;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return shown ? "" : "still shown";
}

void pressEscape(const std::string& window) {
  commandOutput("xdotool key --window " + window + " Escape");
}

void expectExitCodeZero(Program& program, Clock::time_point deadline) {
  const std::optional<int> status = program.waitForExit(deadline);
  ASSERT_TRUE(status.has_value()) << "still running " << kTimeout.count() << " s after start";
  ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0);
}

bool canDriveWindows() {
  return std::getenv("DISPLAY") != nullptr &&
         std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

TEST(AppStartTest, IgnoresArgumentsShowsTheMainWindowAndExitsWithZeroWhenClosed) {
  if (!canDriveWindows()) GTEST_SKIP() << "needs a display and xdotool";

  const Clock::time_point deadline = Clock::now() + kTimeout;
  Program program({VERDAXEL_GUI_BINARY, "--no-such-option", "missing-video.wmv"});
  ASSERT_TRUE(program.started());

  const std::string window = waitForWindow(program, "Verdaxel", deadline);
  ASSERT_FALSE(window.empty()) << "no window titled \"Verdaxel\" appeared; exit status "
                               << program.status().value_or(-1);
  EXPECT_NE(commandOutput("xdotool getwindowgeometry " + window).find("Geometry: 1038x542"),
            std::string::npos);
  // Only the main window: the information window stays hidden at start.
  const std::string shown = commandOutput("xdotool search --all --onlyvisible --pid " +
                                          std::to_string(program.pid()) + " --name .");
  EXPECT_EQ(shown, window + "\n");

  // Escape reaches the window's default callback, which hides it; with no
  // window left the event loop returns and the program ends.
  pressEscape(window);
  expectExitCodeZero(program, deadline);
  // No file was opened: opening one reports failures on standard output.
  EXPECT_EQ(program.output(), "");
}

// While the information window is shown the main window cannot be closed:
// the toolkit hands every key to the modal window, so Escape pressed on the
// main window hides the information window at most. Once that is hidden, the
// main window closes as usual.
TEST(AppStartTest, MainWindowStaysOpenWhileTheInformationWindowIsShown) {
  if (!canDriveWindows()) GTEST_SKIP() << "needs a display and xdotool";

  const Clock::time_point deadline = Clock::now() + kTimeout;
  Program program({VERDAXEL_GUI_BINARY});
  ASSERT_TRUE(program.started());
  const std::string window = waitForWindow(program, "Verdaxel", deadline);
  ASSERT_FALSE(window.empty());

  commandOutput("xdotool mousemove --window " + window + " 797 23 click 1");  // "Information"
  const std::string info = waitForWindow(program, "Verdaxel Information", deadline);
  ASSERT_FALSE(info.empty()) << "the Information button showed no window";

  pressEscape(window);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(program.status().has_value());
  EXPECT_EQ(shownWindow(program, "Verdaxel"), window);

  if (!shownWindow(program, "Verdaxel Information").empty()) pressEscape(info);
  EXPECT_EQ(waitForWindow(program, "Verdaxel Information", deadline, false), "");
  EXPECT_EQ(shownWindow(program, "Verdaxel"), window);

  pressEscape(window);
  expectExitCodeZero(program, deadline);
}

}  // namespace
