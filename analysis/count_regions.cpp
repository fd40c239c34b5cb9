#include <algorithm>

#include "analysis/frame_tracker.h"
#include "analysis/truncate.h"

namespace {

// A region rectangle in frame pixels, start included and end excluded. The
// bounds are 64-bit so that X0 + R and the like cannot overflow.
struct RegionRect {
  int64_t left, top, right, bottom;
};

// The five rectangles of the plus maze from its centre and arm half-width,
// indexed by region.
void buildRegionRects(int32_t x0, int32_t y0, int32_t r, int32_t width, int32_t height,
                      RegionRect rects[kRegionCount]) {
  const int64_t west = int64_t{x0} - r;
  const int64_t east = int64_t{x0} + r;
  const int64_t north = int64_t{y0} - r;
  const int64_t south = int64_t{y0} + r;
  rects[REGION_UPPER] = {west, 0, east, north};
  rects[REGION_RIGHT] = {east, north, width, south};
  rects[REGION_LOWER] = {west, south, east, height};
  rects[REGION_LEFT] = {0, north, west, south};
  rects[REGION_CENTER] = {west, north, east, south};
}

// Sums the mask over the part of rect that lies inside the frame: a column
// beyond the right edge is not a pixel of the next row.
int32_t countActive(const uint8_t* mask, int32_t width, int32_t height, const RegionRect& rect) {
  const int64_t left = std::max<int64_t>(rect.left, 0);
  const int64_t right = std::min<int64_t>(rect.right, width);
  const int64_t top = std::max<int64_t>(rect.top, 0);
  const int64_t bottom = std::min<int64_t>(rect.bottom, height);
  if (left >= right || top >= bottom) return 0;
  const int64_t span = right - left;
  int32_t total = 0;
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* row = mask + y * width + left;
    int32_t rowSum = 0;
    for (int64_t x = 0; x < span; ++x) rowSum += row[x];
    total += rowSum;
  }
  return total;
}

}  // namespace

void FrameTracker::countRegions(const AnalysisSettings& settings) {
  const int32_t x0 = truncateValue(settings.boundaryX0);
  const int32_t y0 = truncateValue(settings.boundaryY0);
  const int32_t r = truncateValue(settings.boundaryR);
  const double countThreshold = settings.pixelCountThreshold;
  const double ratioThreshold = settings.ratioThreshold;

  RegionRect rects[kRegionCount];
  buildRegionRects(x0, y0, r, width, height, rects);

  // The mask is walked only when it was made for the current size.
  const bool maskFits = activeMask != nullptr && width > 0 && height > 0 &&
                        int64_t{width} * height == pixelCount;
  activeTotal = 0;
  for (int k = 0; k < kRegionCount; ++k) {
    regionCount[k] = maskFits ? countActive(activeMask.get(), width, height, rects[k]) : 0;
    activeTotal += regionCount[k];
  }

  // No active pixel at all gives ratios of 0, not 0 / 0.
  const bool noRatios = countThreshold > activeTotal || activeTotal == 0;
  for (int k = 0; k < kRegionCount; ++k) {
    regionRatio[k] = noRatios ? 0.0 : regionCount[k] * 100.0 / activeTotal;
  }

  entered = false;
  if (!(activeTotal > countThreshold)) return;
  // Arms before the centre, upper before right before lower before left.
  int found = -1;
  for (int k = 0; k < kRegionCount && found < 0; ++k) {
    if (regionRatio[k] > ratioThreshold) found = k;
  }
  if (found >= 0) {
    currentRegion = found;
    currentRatio = regionRatio[found];
  } else {
    currentRatio = 0.0;
  }
  if (currentRegion != previousRegion) {
    entered = currentRegion != REGION_CENTER;
    previousRegion = currentRegion;
  }
}
