#include "analysis/maze_detect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "analysis/frame_tracker.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;

__attribute__((format(printf, 1, 2))) std::string printed(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Otsu's split of the gray levels: the two classes' means, and the level
// midway between them that tells the classes apart.
struct LevelSplit {
  bool split = false;  // false: one gray level only
  double lowMean = 0;
  double highMean = 0;
  double threshold() const { return (lowMean + highMean) / 2; }
};

LevelSplit otsuSplit(const std::array<int64_t, 256>& histogram) {
  double total = 0;
  double levelSum = 0;
  for (int level = 0; level < 256; ++level) {
    total += static_cast<double>(histogram[level]);
    levelSum += static_cast<double>(level) * static_cast<double>(histogram[level]);
  }
  LevelSplit best;
  double bestSpread = -1;
  double lowCount = 0;
  double lowSum = 0;
  for (int level = 0; level < 255; ++level) {
    lowCount += static_cast<double>(histogram[level]);
    lowSum += static_cast<double>(level) * static_cast<double>(histogram[level]);
    const double highCount = total - lowCount;
    if (lowCount == 0 || highCount == 0) continue;
    const double lowMean = lowSum / lowCount;
    const double highMean = (levelSum - lowSum) / highCount;
    const double spread = lowCount * highCount * (highMean - lowMean) * (highMean - lowMean);
    if (spread > bestSpread) {
      bestSpread = spread;
      best = {true, lowMean, highMean};
    }
  }
  if (!best.split) {
    const double mean = total > 0 ? levelSum / total : 0;
    best.lowMean = best.highMean = mean;
  }
  return best;
}

// Calls onRow(y, sums) for each row y of the plane in turn, sums[x] the sum
// over the 3 x 3 pixels around (x, y); pixels beyond the frame's edge repeat
// the edge pixel. The sums for row y are taken before onRow sees it, so
// onRow may overwrite row y of the plane with a filtered one.
template <typename OnRow>
void boxSums(std::vector<uint8_t>& plane, int width, int height, OnRow onRow) {
  const size_t w = static_cast<size_t>(width);
  std::vector<uint16_t> sums(4 * w);  // rows y - 1, y and y + 1 along x, and the 3 x 3 sums
  auto rowSums = [&](int y, uint16_t* out) {
    const uint8_t* row = plane.data() + static_cast<size_t>(y) * w;
    for (size_t x = 0; x < w; ++x) {
      const unsigned left = row[x > 0 ? x - 1 : 0];
      const unsigned right = row[x + 1 < w ? x + 1 : w - 1];
      out[x] = static_cast<uint16_t>(left + row[x] + right);
    }
  };
  uint16_t* above = sums.data();
  uint16_t* here = above + w;
  uint16_t* below = here + w;
  uint16_t* total = below + w;
  rowSums(0, here);
  std::copy(here, here + w, above);
  for (int y = 0; y < height; ++y) {
    if (y + 1 < height) {
      rowSums(y + 1, below);
    } else {
      std::copy(here, here + w, below);
    }
    for (size_t x = 0; x < w; ++x) total[x] = static_cast<uint16_t>(above[x] + here[x] + below[x]);
    onRow(y, static_cast<const uint16_t*>(total));
    std::swap(above, here);
    std::swap(here, below);
  }
}

// A band of one profile: the indices [lo, hi) where the profile stands above
// half the way from its median to its peak.
struct ProfileBand {
  bool found = false;
  int lo = 0;
  int hi = 0;
  std::string why;  // when not found
};

// profile: maze pixels per column (or row); depth: the pixels each holds.
ProfileBand findBand(const std::vector<int>& profile, int depth, int minWidth) {
  ProfileBand band;
  const int n = static_cast<int>(profile.size());
  std::vector<int> sorted(profile);
  std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.end());
  const int median = sorted[static_cast<size_t>(n / 2)];
  const int peakAt = static_cast<int>(std::max_element(profile.begin(), profile.end()) -
                                      profile.begin());
  const int peak = profile[static_cast<size_t>(peakAt)];
  if (peak - median < std::max(minWidth, depth / 20)) {
    band.why = "no band stands out of the profile";
    return band;
  }
  // At or above half way, in whole numbers: 2p >= median + peak.
  const int64_t level = int64_t{median} + peak;
  auto high = [&](int i) { return 2 * int64_t{profile[static_cast<size_t>(i)]} >= level; };
  band.lo = peakAt;
  while (band.lo > 0 && high(band.lo - 1)) --band.lo;
  band.hi = peakAt + 1;
  while (band.hi < n && high(band.hi)) ++band.hi;
  const int bandWidth = band.hi - band.lo;
  if (bandWidth < minWidth) {
    band.why = printed("the only band is %d px wide", bandWidth);
    return band;
  }
  // A second band as high, clear of this one's flanks, means no single arm pair.
  for (int i = 0; i < n; ++i) {
    if ((i < band.lo - bandWidth || i >= band.hi + bandWidth) && high(i)) {
      band.why = "the profile has more than one band";
      return band;
    }
  }
  if (band.lo == 0 || band.hi == n) {
    band.why = "the band reaches the frame's edge, so the maze is not wholly in view";
    return band;
  }
  band.found = true;
  return band;
}

// The arms of one band measured across, line by line: centre = alpha + beta *
// t, t the distance along the arms from the other band's centre.
struct ArmFit {
  bool found = false;
  double alpha = 0;
  double beta = 0;
  double width = 0;
  int lines = 0;
  std::string why;
};

struct Run {
  double along;  // line position relative to the other band's centre
  int start, end;
};

bool fitLine(const std::vector<Run>& runs, double& alpha, double& beta) {
  const double n = static_cast<double>(runs.size());
  double meanT = 0, meanC = 0;
  for (const Run& run : runs) {
    meanT += run.along;
    meanC += (run.start + run.end) / 2.0;
  }
  meanT /= n;
  meanC /= n;
  double stt = 0, stc = 0;
  for (const Run& run : runs) {
    const double dt = run.along - meanT;
    stt += dt * dt;
    stc += dt * ((run.start + run.end) / 2.0 - meanC);
  }
  if (stt <= 0) return false;
  beta = stc / stt;
  alpha = meanC - beta * meanT;
  return true;
}

// isMaze(along, across) tells whether the pixel at that line and position is
// the maze's. [lo, hi): the band from the profile; the lines through the
// other band (centre otherCentre, half-width otherHalf) are skipped.
template <typename IsMaze>
ArmFit measureArms(IsMaze isMaze, int alongCount, int acrossCount, const ProfileBand& band,
                   double otherCentre, double otherHalf, int minLines) {
  ArmFit fit;
  const int bandWidth = band.hi - band.lo;
  const int windowLo = std::max(0, band.lo - bandWidth);
  const int windowHi = std::min(acrossCount, band.hi + bandWidth);
  const double skip = otherHalf + std::max(2.0, otherHalf / 2);
  std::vector<Run> runs;
  for (int a = 0; a < alongCount; ++a) {
    const double along = a + 0.5 - otherCentre;
    if (std::abs(along) < skip) continue;
    // The longest run of maze pixels across the window.
    int runStart = -1;
    Run best{along, 0, 0};
    for (int c = windowLo; c <= windowHi; ++c) {
      if (c < windowHi && isMaze(a, c)) {
        if (runStart < 0) runStart = c;
      } else if (runStart >= 0) {
        if (c - runStart > best.end - best.start) best = {along, runStart, c};
        runStart = -1;
      }
    }
    if (best.end - best.start >= 2) runs.push_back(best);
  }
  if (static_cast<int>(runs.size()) < minLines) {
    fit.why = printed("too short to measure across (%d lines)",
                      static_cast<int>(runs.size()));
    return fit;
  }
  // Lines cut by the arm's end, a hole or a neighbour differ from most in length.
  std::vector<int> lengths;
  lengths.reserve(runs.size());
  for (const Run& run : runs) lengths.push_back(run.end - run.start);
  const auto middle = lengths.begin() + static_cast<std::ptrdiff_t>(lengths.size() / 2);
  std::nth_element(lengths.begin(), middle, lengths.end());
  const double typical = *middle;
  const double spread = std::max(2.0, typical / 4);
  runs.erase(std::remove_if(runs.begin(), runs.end(),
                            [&](const Run& run) {
                              return std::abs(run.end - run.start - typical) > spread;
                            }),
             runs.end());
  // Fit, drop the lines far off the fitted centre line, fit again.
  for (int pass = 0; pass < 2; ++pass) {
    if (static_cast<int>(runs.size()) < minLines || !fitLine(runs, fit.alpha, fit.beta)) {
      fit.why = printed("edges too ragged to measure (%d even lines)",
                        static_cast<int>(runs.size()));
      return fit;
    }
    if (pass == 0) {
      runs.erase(std::remove_if(runs.begin(), runs.end(),
                                [&](const Run& run) {
                                  const double centre = (run.start + run.end) / 2.0;
                                  return std::abs(centre - fit.alpha - fit.beta * run.along) > 1.5;
                                }),
                 runs.end());
    }
  }
  // The mean of the middle half of the lengths: the lines at an arm's end,
  // whose corners the majority vote rounds off, do not count.
  lengths.clear();
  for (const Run& run : runs) lengths.push_back(run.end - run.start);
  std::sort(lengths.begin(), lengths.end());
  const size_t quarter = lengths.size() / 4;
  double lengthSum = 0;
  for (size_t i = quarter; i < lengths.size() - quarter; ++i) lengthSum += lengths[i];
  const double meanLength = lengthSum / static_cast<double>(lengths.size() - 2 * quarter);
  // A run across a tilted arm is longer than the arm is wide by 1 / cos(tilt).
  fit.width = meanLength / std::sqrt(1 + fit.beta * fit.beta);
  fit.lines = static_cast<int>(runs.size());
  fit.found = true;
  return fit;
}

// How far one polarity's search got; the furthest failure is the one reported.
enum class Stage {
  kClosedBand, kOpenBand, kClosedArms, kOpenArms, kTilt, kWidths, kOutside, kFound
};

struct Attempt {
  Stage stage = Stage::kClosedBand;
  MazeDetection result;
};

Attempt searchPolarity(const std::vector<uint8_t>& mask, int width, int height, bool bright,
                       const std::vector<int>& columnsBright, const std::vector<int>& rowsBright,
                       const MazeDetectOptions& options) {
  Attempt attempt;
  MazeDetection& result = attempt.result;
  result.mazeIsBright = bright;
  const uint8_t mazeValue = bright ? 1 : 0;
  std::vector<int> columns(columnsBright);
  std::vector<int> rows(rowsBright);
  if (!bright) {
    for (int& c : columns) c = height - c;
    for (int& r : rows) r = width - r;
  }
  const size_t w = static_cast<size_t>(width);
  const int minWidth = std::max(1, options.minArmWidth);

  const ProfileBand closed = findBand(columns, height, minWidth);
  if (!closed.found) {
    result.reason = "no band of closed arms down the picture: " + closed.why;
    return attempt;
  }
  attempt.stage = Stage::kOpenBand;
  const ProfileBand open = findBand(rows, width, minWidth);
  if (!open.found) {
    result.reason = "no band of open arms across the picture: " + open.why;
    return attempt;
  }
  const double closedCentre = (closed.lo + closed.hi) / 2.0;
  const double openCentre = (open.lo + open.hi) / 2.0;

  attempt.stage = Stage::kClosedArms;
  const int minLines = std::max(2, options.minLines);
  auto mazeAt = [&](int x, int y) {
    return mask[static_cast<size_t>(y) * w + static_cast<size_t>(x)] == mazeValue;
  };
  const ArmFit vertical = measureArms([&](int y, int x) { return mazeAt(x, y); }, height, width,
                                      closed, openCentre, (open.hi - open.lo) / 2.0, minLines);
  if (!vertical.found) {
    result.reason = "closed arms: " + vertical.why;
    return attempt;
  }
  attempt.stage = Stage::kOpenArms;
  const ArmFit horizontal = measureArms(mazeAt, width, height, open, closedCentre,
                                        (closed.hi - closed.lo) / 2.0, minLines);
  if (!horizontal.found) {
    result.reason = "open arms: " + horizontal.why;
    return attempt;
  }

  // Where the centre lines cross: x = av + bv (y - openCentre) and
  // y = ah + bh (x - closedCentre).
  const double av = vertical.alpha, bv = vertical.beta;
  const double ah = horizontal.alpha, bh = horizontal.beta;
  const double crossX = (av + bv * (ah - bh * closedCentre - openCentre)) / (1 - bv * bh);
  const double crossY = ah + bh * (crossX - closedCentre);
  result.closedArms = {crossX - vertical.width / 2, crossX + vertical.width / 2, vertical.width,
                       std::atan(bv) * kDegreesPerRadian, vertical.lines};
  result.openArms = {crossY - horizontal.width / 2, crossY + horizontal.width / 2,
                     horizontal.width, std::atan(bh) * kDegreesPerRadian, horizontal.lines};

  attempt.stage = Stage::kTilt;
  for (const auto& [band, name] : {std::pair{&result.closedArms, "closed"},
                                   std::pair{&result.openArms, "open"}}) {
    if (!(std::abs(band->tiltDegrees) <= options.maxTiltDegrees)) {
      result.reason = printed("the %s arms are tilted %.1f deg (limit %.1f deg)", name,
                              band->tiltDegrees, options.maxTiltDegrees);
      return attempt;
    }
  }

  attempt.stage = Stage::kWidths;
  const double narrower = std::min(vertical.width, horizontal.width);
  const double tolerance = std::max(options.minWidthTolerance, options.widthTolerance * narrower);
  if (!(std::abs(vertical.width - horizontal.width) <= tolerance)) {
    result.reason = printed(
        "the arm widths disagree: closed arms %.1f px, open arms %.1f px (tolerance %.1f px)",
        vertical.width, horizontal.width, tolerance);
    return attempt;
  }

  // Outside the plus (clear of both bands by a margin for ragged edges) the
  // floor's level should hold.
  attempt.stage = Stage::kOutside;
  const double margin = 2;
  const double closedReach = vertical.width / 2 + margin;
  const double openReach = horizontal.width / 2 + margin;
  std::vector<double> openCentreAt(w);  // the open arms' centre y in each column
  for (size_t x = 0; x < w; ++x)
    openCentreAt[x] = ah + bh * (static_cast<double>(x) + 0.5 - closedCentre);
  int64_t outside = 0;
  int64_t outsideMaze = 0;
  for (int y = 0; y < height; ++y) {
    const double py = y + 0.5;
    const double closedCentreHere = av + bv * (py - openCentre);
    const uint8_t* row = mask.data() + static_cast<size_t>(y) * w;
    for (size_t x = 0; x < w; ++x) {
      if (std::abs(static_cast<double>(x) + 0.5 - closedCentreHere) < closedReach ||
          std::abs(py - openCentreAt[x]) < openReach)
        continue;
      ++outside;
      outsideMaze += row[x] == mazeValue;
    }
  }
  result.outsideShare =
      outside > 0 ? static_cast<double>(outsideMaze) / static_cast<double>(outside) : 0;
  if (!(result.outsideShare <= options.maxOutsideShare)) {
    result.reason = printed("no plus shape: %.0f%% of the area outside the arms has the "
                            "maze's level (limit %.0f%%)",
                            100 * result.outsideShare, 100 * options.maxOutsideShare);
    return attempt;
  }

  attempt.stage = Stage::kFound;
  result.found = true;
  result.geometry.x0 = static_cast<int>(std::lround(crossX));
  result.geometry.y0 = static_cast<int>(std::lround(crossY));
  result.geometry.r = static_cast<int>(std::lround(narrower / 2));
  return attempt;
}

// Why a picture cannot be searched, or empty when it can.
std::string sizeProblem(const uint8_t* data, int width, int height,
                        const MazeDetectOptions& options) {
  if (data == nullptr || width < 1 || height < 1)
    return printed("no picture to search (frame %d x %d)", width, height);
  if (!frameSizeAllowed(width, height) || int64_t{width} * height > options.maxPixels)
    return printed("the frame of %d x %d pixels is too large to search", width, height);
  return {};
}

}  // namespace

MazeDetection detectMazeInGray(const uint8_t* gray, int width, int height,
                               const MazeDetectOptions& options) {
  MazeDetection result;
  result.reason = sizeProblem(gray, width, height, options);
  if (!result.reason.empty()) return result;
  const int64_t pixels = int64_t{width} * height;
  const size_t count = static_cast<size_t>(pixels);

  // The split is made on the levels averaged over 3 x 3 pixels: noise
  // shrinks to a third, so a maze that covers little of the frame is not
  // swamped by the floor's noise. The threshold applies to the plain levels.
  std::vector<uint8_t> mask(gray, gray + count);
  std::array<int64_t, 256> histogram{};
  boxSums(mask, width, height, [&](int, const uint16_t* sums) {
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) ++histogram[(sums[x] + 4u) / 9u];
  });
  const LevelSplit split = otsuSplit(histogram);
  if (!split.split || split.highMean - split.lowMean < options.minContrast) {
    result.reason = printed("uniform frame: the gray levels split into means %.1f and %.1f, "
                            "less than %.0f apart",
                            split.lowMean, split.highMean, options.minContrast);
    return result;
  }
  result.threshold = split.threshold();

  // The maze mask (1: above the threshold), then the majority of each 3 x 3
  // pixels, which clears isolated noise pixels without moving a straight edge.
  for (size_t i = 0; i < count; ++i) mask[i] = gray[i] > result.threshold ? 1 : 0;
  boxSums(mask, width, height, [&](int y, const uint16_t* sums) {
    uint8_t* row = mask.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (size_t x = 0; x < static_cast<size_t>(width); ++x) row[x] = sums[x] >= 5 ? 1 : 0;
  });
  std::vector<int> columns(static_cast<size_t>(width));  // bright pixels per column
  std::vector<int> rows(static_cast<size_t>(height));    // and per row
  int64_t brightTotal = 0;
  for (size_t y = 0; y < rows.size(); ++y) {
    const uint8_t* row = mask.data() + y * columns.size();
    int inRow = 0;
    for (size_t x = 0; x < columns.size(); ++x) {
      columns[x] += row[x];
      inRow += row[x];
    }
    rows[y] = inRow;
    brightTotal += inRow;
  }

  // The maze is usually the smaller class: it is tried first and its failure
  // reported when both polarities fail at the same stage.
  const bool brightFirst = 2 * brightTotal <= pixels;
  Attempt best;
  bool haveBest = false;
  for (const bool bright : {brightFirst, !brightFirst}) {
    Attempt attempt = searchPolarity(mask, width, height, bright, columns, rows, options);
    const bool better =
        !haveBest || attempt.stage > best.stage ||
        (attempt.stage == Stage::kFound && best.stage == Stage::kFound &&
         attempt.result.outsideShare < best.result.outsideShare);
    if (better) {
      best = std::move(attempt);
      haveBest = true;
    }
  }
  best.result.threshold = result.threshold;
  return best.result;
}

MazeDetection detectMaze(const uint8_t* rgb, int width, int height,
                         const MazeDetectOptions& options) {
  MazeDetection refused;
  refused.reason = sizeProblem(rgb, width, height, options);
  if (!refused.reason.empty()) return refused;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> gray(count);
  for (size_t i = 0; i < count; ++i) {
    const unsigned sum = unsigned{rgb[3 * i]} + rgb[3 * i + 1] + rgb[3 * i + 2];
    gray[i] = static_cast<uint8_t>(sum / 3);
  }
  return detectMazeInGray(gray.data(), width, height, options);
}
