#include "cli/progress.h"

#include <algorithm>
#include <filesystem>

#include "cli/score_video.h"

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr size_t kNameWidth = 32;
}  // namespace

ProgressDisplay::ProgressDisplay(std::FILE* out, bool enabled, int slots)
    : out_(out), enabled_(enabled), lines_(static_cast<size_t>(slots > 0 ? slots : 1)) {}

ProgressDisplay::~ProgressDisplay() { close(); }

void ProgressDisplay::begin(int slot, const std::string& name) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  Line& line = lines_.at(static_cast<size_t>(slot));
  line.name = std::filesystem::path(name).filename().string();
  if (line.name.size() > kNameWidth) line.name = "..." + line.name.substr(line.name.size() - kNameWidth + 3);
  line.started = Clock::now();
  line.recordTime = 0;
  line.runLength = 0;
  line.active = true;
  draw();
}

void ProgressDisplay::update(int slot, double recordTime, double runLength) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  Line& line = lines_.at(static_cast<size_t>(slot));
  line.recordTime = recordTime;
  line.runLength = runLength;
  if (Clock::now() - lastDraw_ >= kRedrawInterval) draw();
}

void ProgressDisplay::end(int slot) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.at(static_cast<size_t>(slot)).active = false;
  draw();
}

void ProgressDisplay::print(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (enabled_ && drawnLines_ > 0) {
    std::fprintf(out_, "\x1b[%dA\r\x1b[J", drawnLines_);
    drawnLines_ = 0;
  }
  std::fprintf(out_, "%s\n", text.c_str());
  if (enabled_) draw();
  std::fflush(out_);
}

void ProgressDisplay::close() {
  if (!enabled_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (drawnLines_ > 0) {
    std::fprintf(out_, "\x1b[%dA\r\x1b[J", drawnLines_);
    std::fflush(out_);
  }
  drawnLines_ = 0;
  enabled_ = false;
}

std::string ProgressDisplay::lineText(const Line& line, Clock::time_point now) const {
  if (!line.active) return std::string();
  const double seconds = std::chrono::duration<double>(now - line.started).count();
  const double steps = line.recordTime / kPlaybackStep;
  const double rate = seconds > 0 ? steps / seconds : 0;
  const double fraction = line.runLength > 0 ? std::min(1.0, line.recordTime / line.runLength) : 0;
  const double left = rate > 0 ? (line.runLength - line.recordTime) / kPlaybackStep / rate : 0;
  char text[160];
  std::snprintf(text, sizeof text, "%-*s %3.0f%%  %6.0f steps/s  %3.0f s left",
                static_cast<int>(kNameWidth), line.name.c_str(), 100 * fraction, rate,
                left > 0 ? left : 0.0);
  return text;
}

void ProgressDisplay::draw() {
  const Clock::time_point now = Clock::now();
  lastDraw_ = now;
  std::string block;
  if (drawnLines_ > 0) block += "\x1b[" + std::to_string(drawnLines_) + "A";
  for (const Line& line : lines_) block += "\r\x1b[K" + lineText(line, now) + "\n";
  std::fputs(block.c_str(), out_);
  std::fflush(out_);
  drawnLines_ = static_cast<int>(lines_.size());
}
