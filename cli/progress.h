#pragma once
// The live progress display: a line per video being scored (percent of the
// run, steps per second, time left), redrawn in place on a terminal.
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

class ProgressDisplay {
 public:
  // With enabled false every call does nothing. slots: lines shown at once
  // (one per worker).
  ProgressDisplay(std::FILE* out, bool enabled, int slots);
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  ~ProgressDisplay();

  // A worker begins scoring the video called name on its line.
  void begin(int slot, const std::string& name);
  // The worker's run has reached recordTime of at most runLength seconds.
  // Redraws at most a few times a second. Safe from any thread.
  void update(int slot, double recordTime, double runLength);
  // The worker's line goes empty.
  void end(int slot);
  // Prints a line of text above the display (also when it is disabled).
  void print(const std::string& text);
  // Removes the display from the terminal.
  void close();

 private:
  using Clock = std::chrono::steady_clock;
  struct Line {
    std::string name;
    Clock::time_point started;
    double recordTime = 0;
    double runLength = 0;
    bool active = false;
  };
  void draw();  // with mutex_ held
  std::string lineText(const Line& line, Clock::time_point now) const;

  std::FILE* out_;
  bool enabled_;
  std::mutex mutex_;
  std::vector<Line> lines_;
  int drawnLines_ = 0;
  Clock::time_point lastDraw_;
};
