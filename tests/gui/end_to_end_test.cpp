// A user's session with real input events: the main window on the display,
// Open File clicked, the video's path typed into the file chooser, Record
// clicked, and the scores read from the window once the run has ended. The
// events come from xdotool in a second thread while this thread runs the
// toolkit's event loop, as the program does.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Value_Output.H>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/gui/app_fixture.h"
#include "tests/gui/scripted_video.h"

namespace {

using namespace scripted;

std::string firstLine(const std::string& command) {
  std::string out;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char line[256];
  if (std::fgets(line, sizeof line, pipe) != nullptr) out = line;
  pclose(pipe);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// The id of this process's visible window with exactly this title, waiting
// up to 20 s.
std::string waitForWindow(const std::string& title) {
  const std::string pid = std::to_string(getpid());
  for (int i = 0; i < 200; ++i) {
    const std::string id = firstLine("xdotool search --all --onlyvisible --pid " + pid + " --name '^" +
                                     title + "$'");
    if (!id.empty()) return id;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return {};
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool click(const std::string& window, int x, int y) {
  return run("xdotool mousemove --window " + window + " " + std::to_string(x) + " " +
             std::to_string(y) + " click 1");
}

}  // namespace

TEST(EndToEndTest, OpenThroughTheChooserAndRecord) {
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool missing";
  ensureApplicationObjects();
  WorkingFolderGuard workingFolder;
  g_ui->pixelThreshold->value(200);
  // The video alone in a folder, under a name the chooser's first filter shows.
  const std::string folder = videoDir() + "/session";
  mkdir(folder.c_str(), 0755);
  const std::string video = folder + "/session.wmv";
  ASSERT_EQ(std::rename(writeVideo("upper-centre-upper", {hidden(0), upper(1), centre(2), upper(3)},
                                   40, 10).c_str(),
                        video.c_str()),
            0);
  // The chooser starts in the working folder, where the user finds the video.
  ASSERT_EQ(chdir(folder.c_str()), 0);

  g_ui->window->show();
  std::atomic<bool> done{false};
  std::atomic<bool> failed{false};
  std::string failure;
  std::thread user([&] {
    auto fail = [&](const std::string& what) {
      failure = what;
      failed = true;
      done = true;
    };
    const std::string main = waitForWindow("Verdaxel");
    if (main.empty()) return fail("no main window");
    if (!click(main, 665 + 42, 11 + 12)) return fail("cannot click Open File");
    const std::string chooser = waitForWindow("Open File");
    if (chooser.empty()) return fail("no file chooser");
    // The list shows "../" and the video; a double click on the video chooses it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!run("xdotool mousemove --window " + chooser + " 60 74 click --repeat 2 --delay 80 1")) {
      return fail("cannot choose the file");
    }
    // The chooser closes and the file opens; then Record.
    for (int i = 0; i < 200 && g_tracker->mediaDet == nullptr; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (g_tracker->mediaDet == nullptr) {
      run("xdotool key --window " + chooser + " Escape");  // never leave the chooser waiting
      return fail("the video did not open: " + g_playback->fullPath);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!click(main, 665 + 32, 399 + 12)) return fail("cannot click Record");
    done = true;
  });

  // The program's event loop, until the run has started and ended.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool recorded = false;
  while (std::chrono::steady_clock::now() < deadline) {
    Fl::wait(0.05);
    if (done && !failed && g_ui->recordButton->value() == 0 &&
        std::string(g_ui->totalTimeOut->value()).size() > 0) {
      recorded = true;
      break;
    }
    if (failed) break;
  }
  user.join();
  g_ui->window->hide();
  Fl::flush();
  ASSERT_FALSE(failed) << failure;
  ASSERT_TRUE(recorded) << "the recording run did not end in time";

  EXPECT_EQ(std::string(g_ui->fileNameOut->value()), video);
  EXPECT_STREQ(g_ui->closedEntriesOut->value(), "2");
  EXPECT_STREQ(g_ui->openEntriesOut->value(), "0");
  EXPECT_STREQ(g_ui->openArmTimeOut->value(), "0.0");
  EXPECT_STREQ(g_ui->totalTimeOut->value(), g_ui->recordTimeOut->value());
}
