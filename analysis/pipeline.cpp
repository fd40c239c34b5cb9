#include "analysis/pipeline.h"

#include <algorithm>

#include "analysis/truncate.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VERDAXEL_X86_VECTORS 1
#endif

// The conversion reads the grabbed frame row by row instead of gathering it
// byte by byte through flipIndex: display row y is source row height - 1 - y
// with each pixel's blue and red bytes swapped, which is exactly what the
// flip map encodes. The gray level, background removal, exclusion and
// threshold are done in the same walk over the row, while it is in cache.
//
// Byte arithmetic throughout: the level fits a byte, the background removal
// and the threshold are saturating subtractions, and a pixel is active
// exactly where its difference to the threshold t (0..255 here) is not 0.

namespace {

// The rule for count pixels, one at a time and branch-free: the whole row
// where there are no vector instructions, else the columns the vector loop
// leaves over.
template <bool kRemoveBackground, bool kExclude>
void analyseSpan(const uint8_t* __restrict source, uint8_t* __restrict rgb,
                 const uint8_t* __restrict background, const uint8_t* __restrict exclude,
                 uint8_t* __restrict gray, uint8_t* __restrict active, int64_t count,
                 uint8_t invert, uint8_t t) {
  for (int64_t x = 0; x < count; ++x) {
    const uint8_t blue = source[3 * x];
    const uint8_t green = source[3 * x + 1];
    const uint8_t red = source[3 * x + 2];
    rgb[3 * x] = red;
    rgb[3 * x + 1] = green;
    rgb[3 * x + 2] = blue;
    const uint16_t sum = static_cast<uint16_t>(red + green + blue);
    // invert is 0, or 255 to take each level as 255 - level.
    uint8_t level = static_cast<uint8_t>((sum / 3) ^ invert);
    if (kRemoveBackground) {
      const uint8_t b = static_cast<uint8_t>(background[x] ^ invert);
      level = static_cast<uint8_t>(level - std::min(level, b));
    }
    if (kExclude) {
      const int keep = -static_cast<int>(exclude[x] == 0);  // all ones outside the box
      level = static_cast<uint8_t>(level & keep);
    }
    const uint8_t above = static_cast<uint8_t>(level - std::min(level, t));
    gray[x] = above;
    active[x] = above != 0 ? 1 : 0;
  }
}

#ifdef VERDAXEL_X86_VECTORS
#define VERDAXEL_SSSE3 __attribute__((target("ssse3")))

struct ChunkConstants {
  __m128i swapBlueRed, pixelLanes, byteOnes, wordOnes, third, invert, threshold, zero;
};

VERDAXEL_SSSE3 ChunkConstants chunkConstants(uint8_t invert, uint8_t t) {
  return {_mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15),
          _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1),
          _mm_set1_epi8(1),
          _mm_set1_epi16(1),
          _mm_set1_epi16(21846),  // (s * 21846) >> 16 == s / 3 for s <= 765
          _mm_set1_epi8(static_cast<char>(invert)),
          _mm_set1_epi8(static_cast<char>(t)),
          _mm_setzero_si128()};
}

// The same rule for the 16 pixels from column x (SSSE3). The source is read
// as four overlapping 16-byte loads at 12-byte steps, each holding 4 whole
// pixels; one byte shuffle swaps blue and red for the colour row, stored
// with the same overlap, another puts each pixel in a 32-bit lane for the
// sums. A chunk reads and writes 4 bytes past its 48: 18 pixels must be left.
template <bool kRemoveBackground, bool kExclude>
VERDAXEL_SSSE3 inline __attribute__((always_inline)) void analyseChunk(
    const uint8_t* __restrict source, uint8_t* __restrict rgb,
    const uint8_t* __restrict background, const uint8_t* __restrict exclude,
    uint8_t* __restrict gray, uint8_t* __restrict active, int64_t x, const ChunkConstants& k) {
  const uint8_t* in = source + 3 * x;
  uint8_t* out = rgb + 3 * x;
  __m128i sums[4];
  for (int j = 0; j < 4; ++j) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12 * j));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12 * j),
                     _mm_shuffle_epi8(pixels, k.swapBlueRed));
    const __m128i lanes = _mm_shuffle_epi8(pixels, k.pixelLanes);
    sums[j] = _mm_madd_epi16(_mm_maddubs_epi16(lanes, k.byteOnes), k.wordOnes);
  }
  const __m128i low = _mm_mulhi_epu16(_mm_packs_epi32(sums[0], sums[1]), k.third);
  const __m128i high = _mm_mulhi_epu16(_mm_packs_epi32(sums[2], sums[3]), k.third);
  __m128i level = _mm_xor_si128(_mm_packus_epi16(low, high), k.invert);
  if (kRemoveBackground) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(background + x));
    level = _mm_subs_epu8(level, _mm_xor_si128(b, k.invert));
  }
  if (kExclude) {
    const __m128i box = _mm_loadu_si128(reinterpret_cast<const __m128i*>(exclude + x));
    level = _mm_and_si128(level, _mm_cmpeq_epi8(box, k.zero));
  }
  const __m128i above = _mm_subs_epu8(level, k.threshold);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(gray + x), above);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(active + x), _mm_min_epu8(above, k.byteOnes));
}

// Runs analyseChunk over a row of count pixels; returns how many pixels were
// done: all but the last 2, or none in a row shorter than 18.
template <bool kRemoveBackground, bool kExclude>
VERDAXEL_SSSE3 int64_t analyseChunks(const uint8_t* __restrict source, uint8_t* __restrict rgb,
                                     const uint8_t* __restrict background,
                                     const uint8_t* __restrict exclude, uint8_t* __restrict gray,
                                     uint8_t* __restrict active, int64_t count, uint8_t invert,
                                     uint8_t t) {
  if (count < 18) return 0;
  const ChunkConstants k = chunkConstants(invert, t);
  int64_t x = 0;
  for (; x + 18 <= count; x += 16) {
    analyseChunk<kRemoveBackground, kExclude>(source, rgb, background, exclude, gray, active, x,
                                              k);
  }
  // The last chunk may cover pixels done already; it writes them again with
  // the same values.
  if (x < count - 2) {
    x = count - 18;
    analyseChunk<kRemoveBackground, kExclude>(source, rgb, background, exclude, gray, active, x,
                                              k);
    x += 16;
  }
  return x;
}

bool haveChunkInstructions() {
  static const bool have = __builtin_cpu_supports("ssse3") != 0;
  return have;
}
#endif

template <bool kRemoveBackground, bool kExclude>
void analyseRows(FrameTracker& tracker, uint8_t invert, uint8_t t) {
  const int64_t width = tracker.width;
  const int64_t height = tracker.height;
#ifdef VERDAXEL_X86_VECTORS
  const bool chunks = haveChunkInstructions();
#endif
  for (int64_t y = 0; y < height; ++y) {
    const int64_t row = y * width;
    const uint8_t* source = tracker.frameBits + 3 * (height - 1 - y) * width;
    uint8_t* rgb = tracker.rgbBuf.get() + 3 * row;
    const uint8_t* background = tracker.backgroundBuf.get() + row;
    const uint8_t* exclude = tracker.excludeMask.get() + row;
    uint8_t* gray = tracker.grayBuf.get() + row;
    uint8_t* active = tracker.activeMask.get() + row;
    int64_t done = 0;
#ifdef VERDAXEL_X86_VECTORS
    if (chunks) {
      done = analyseChunks<kRemoveBackground, kExclude>(source, rgb, background, exclude, gray,
                                                        active, width, invert, t);
    }
#endif
    analyseSpan<kRemoveBackground, kExclude>(source + 3 * done, rgb + 3 * done, background + done,
                                             exclude + done, gray + done, active + done,
                                             width - done, invert, t);
  }
}

void analysePixels(FrameTracker& tracker, bool removeBackground, bool exclude, uint8_t invert,
                   uint8_t t) {
  if (removeBackground) {
    if (exclude) {
      analyseRows<true, true>(tracker, invert, t);
    } else {
      analyseRows<true, false>(tracker, invert, t);
    }
  } else if (exclude) {
    analyseRows<false, true>(tracker, invert, t);
  } else {
    analyseRows<false, false>(tracker, invert, t);
  }
}

// Whether frameBits holds a grabbed frame of the size the buffers were made for.
bool frameReady(const FrameTracker& tracker) {
  const int64_t pixels = int64_t{tracker.width} * tracker.height;
  return tracker.width > 0 && tracker.height > 0 && pixels == tracker.pixelCount &&
         3 * pixels == tracker.byteCount && tracker.frameBuffer != nullptr &&
         tracker.frameBits == tracker.frameBuffer.get() + 40 &&
         int64_t{tracker.frameBufferSize} >= 40 + 3 * pixels && tracker.rgbBuf != nullptr &&
         tracker.grayBuf != nullptr && tracker.backgroundBuf != nullptr &&
         tracker.activeMask != nullptr && tracker.excludeMask != nullptr;
}

}  // namespace

bool processFrame(FrameTracker& tracker, const AnalysisSettings& settings, double streamTime) {
  if (tracker.mediaDet == nullptr) return false;
  if (!tracker.grabFrame(streamTime)) return false;
  return analyseFrame(tracker, settings);
}

bool analyseFrame(FrameTracker& tracker, const AnalysisSettings& settings) {
  if (!frameReady(tracker)) return false;
  // The control gives 0 to 255; from 255 up no pixel is active. Below 0 every
  // pixel is: the levels are taken at threshold 0 and then moved on by -t,
  // kept as bytes like every processed level.
  const int32_t t = truncateValue(settings.pixelThreshold);
  const uint8_t invert = settings.invertLevels ? 255 : 0;
  analysePixels(tracker, settings.removeBackground, settings.excludeBox, invert,
                static_cast<uint8_t>(std::clamp<int32_t>(t, 0, 255)));
  if (t < 0) {
    for (int32_t i = 0; i < tracker.pixelCount; ++i) {
      tracker.grayBuf[i] = static_cast<uint8_t>(tracker.grayBuf[i] - static_cast<uint32_t>(t));
      tracker.activeMask[i] = 1;
    }
  }
  tracker.countRegions(settings);
  return true;
}

void saveBackground(FrameTracker& tracker) {
  if (tracker.rgbBuf == nullptr || tracker.backgroundBuf == nullptr) return;
  const uint8_t* rgb = tracker.rgbBuf.get();
  uint8_t* background = tracker.backgroundBuf.get();
  const int32_t pixels = std::min(tracker.pixelCount, tracker.byteCount / 3);
  for (int32_t i = 0; i < pixels; ++i) {
    const uint32_t sum = uint32_t{rgb[3 * i]} + rgb[3 * i + 1] + rgb[3 * i + 2];
    background[i] = static_cast<uint8_t>(sum / 3);
  }
}
