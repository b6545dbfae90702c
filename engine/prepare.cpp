// Image preparation: bring the grey frame to a working size, correct its tones,
// sharpen it, and binarise it with a histogram threshold whose offset and tone
// exponent follow the lighting from frame to frame.
#include "engine/prepare.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cordavex {
namespace {

constexpr int kModeThorough = 4;
constexpr double kExponentStep = 0.15;
constexpr double kMinExponent = 0.4;
constexpr double kMaxExponent = 1.6;

// Alternating filter: vertical reach is always 3 rows, and no pixel closer than
// 3 to any edge is written (the horizontal reach d is at most 3).
constexpr int kAlternatingReach = 3;
constexpr int kAlternatingRingRows = kAlternatingReach + 1;  // rows y-3 .. y
// 5 x 5 filter: rows y-2 .. y are kept, rows below y are still untouched.
constexpr int kBlockRadius = 2;
constexpr int kBlockRingRows = kBlockRadius + 1;
constexpr int kBlockChunk = 256;  // output columns per pass of column sums

uint8_t ClampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

int64_t PixelCount(const Recognizer& r) { return int64_t{r.imageWidth} * r.imageHeight; }

bool HasImage(const Recognizer& r) {
  return r.imageWidth > 0 && r.imageHeight > 0 && PixelCount(r) <= r.imageCapacity;
}

// The larger of the unused tail of the image area and the frame tables, which
// are dead until labelling rebuilds them.
std::span<uint8_t> WorkingArea(Recognizer& r) {
  const int64_t n = PixelCount(r);
  const std::span<uint8_t> spare{r.image() + n, static_cast<size_t>(std::max<int64_t>(0, r.imageCapacity - n))};
  const std::span<uint8_t> scratch = PreparationScratch(r);
  return spare.size() >= scratch.size() ? spare : scratch;
}

int64_t FloorSqrt(int64_t v) {
  auto root = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
  while (root * root > v) --root;
  while ((root + 1) * (root + 1) <= v) ++root;
  return root;
}

}  // namespace

int ReductionFactor(int64_t pixels) {
  if (pixels <= kSmallFramePixels) return 1;
  return static_cast<int>(FloorSqrt(pixels / kSmallFramePixels));
}

namespace {

// One output row of block means. K is a template argument for the common
// factors so that the division by K * K becomes a multiplication and the block
// loops unroll; kAnyFactor takes k at run time. The sum is never negative, so
// the quotient truncates exactly as sum / (k * k).
constexpr int kAnyFactor = 0;

template <int K>
void ReduceRow(const uint8_t* in, size_t inWidth, uint8_t* out, int outWidth, int k) {
  const int factor = K == kAnyFactor ? k : K;
  const int blockArea = factor * factor;
  for (int x = 0; x < outWidth; ++x) {
    const uint8_t* block = in + static_cast<size_t>(x) * factor;
    int sum = 0;  // at most 255 * k * k, and k <= sqrt(2^31 / 76800) < 168
    for (int dy = 0; dy < factor; ++dy) {
      const uint8_t* row = block + static_cast<size_t>(dy) * inWidth;
      for (int dx = 0; dx < factor; ++dx) sum += row[dx];
    }
    out[x] = static_cast<uint8_t>(sum / blockArea);
  }
}

// Eight pixels of a row as a little-endian word: byte i is pixel i.
uint64_t LoadPixels(const uint8_t* p) {
  uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, sizeof word);
  } else {
    for (int i = 7; i >= 0; --i) word = word << 8 | p[i];
  }
  return word;
}

// Each pair of neighbouring pixels of the word summed into a 16-bit lane
// (lane i holds pixels 2i and 2i + 1).
uint64_t PairSums(uint64_t word) {
  constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  return (word & kLowBytes) + ((word >> 8) & kLowBytes);
}

// Blocks of 4 x 4 (a 1280 x 960 frame), eight input columns at a time, which
// the compiler does not vectorise by itself as it does blocks of 2 x 2: the
// 16-bit lanes cannot carry (at most 4 x 2 x 255 per lane), and each block sum
// is the same integer the general loop forms, so the means are identical.
template <>
void ReduceRow<4>(const uint8_t* in, size_t inWidth, uint8_t* out, int outWidth, int) {
  int x = 0;
  for (; x + 2 <= outWidth; x += 2) {
    const uint8_t* block = in + static_cast<size_t>(x) * 4;
    uint64_t sums = 0;
    for (int dy = 0; dy < 4; ++dy) sums += PairSums(LoadPixels(block + dy * inWidth));
    // Lanes 0 + 1 and 2 + 3: the two blocks of four columns.
    sums += sums >> 16;
    out[x] = static_cast<uint8_t>((sums & 0xFFFF) / 16);
    out[x + 1] = static_cast<uint8_t>(((sums >> 32) & 0xFFFF) / 16);
  }
  ReduceRow<kAnyFactor>(in + static_cast<size_t>(x) * 4, inWidth, out + x, outWidth - x, 4);
}

template <int K>
void ReduceRows(const uint8_t* in, size_t stride, uint8_t* img, int newWidth, int newHeight,
                int k) {
  // In place (in == img, stride w): output (x', y') lands at y' * w' + x', which
  // never passes an input pixel that a later block still has to read (w' <= w / k).
  for (int y = 0; y < newHeight; ++y) {
    ReduceRow<K>(in + static_cast<size_t>(y) * k * stride, stride,
                 img + static_cast<size_t>(y) * newWidth, newWidth, k);
  }
}

}  // namespace

void ReduceImageFrom(Recognizer& r, const uint8_t* source, size_t stride) {
  const int w = r.imageWidth, h = r.imageHeight;
  const int k = std::min({ReductionFactor(PixelCount(r)), w, h});
  uint8_t* img = r.image();
  if (k <= 1) {
    if (source == img) return;
    if (stride == static_cast<size_t>(w)) {
      std::memcpy(img, source, static_cast<size_t>(PixelCount(r)));
      return;
    }
    for (int y = 0; y < h; ++y) {
      std::memcpy(img + static_cast<size_t>(y) * w, source + y * stride, static_cast<size_t>(w));
    }
    return;
  }
  const int newWidth = w / k, newHeight = h / k;
  switch (k) {
    case 2:  // 640 x 480
      ReduceRows<2>(source, stride, img, newWidth, newHeight, k);
      break;
    case 3:
      ReduceRows<3>(source, stride, img, newWidth, newHeight, k);
      break;
    case 4:
      ReduceRows<4>(source, stride, img, newWidth, newHeight, k);
      break;
    default:
      ReduceRows<kAnyFactor>(source, stride, img, newWidth, newHeight, k);
      break;
  }
  r.imageWidth = newWidth;
  r.imageHeight = newHeight;
}

void ReduceImage(Recognizer& r) {
  ReduceImageFrom(r, r.image(), static_cast<size_t>(std::max(r.imageWidth, 0)));
}

void BuildToneTable(double toneExponent, uint8_t table[256]) {
  if (toneExponent == 1.0) {
    // Plain contrast stretch about mid-grey; >> 3 rounds towards minus infinity.
    for (int x = 0; x < 256; ++x) table[x] = ClampByte(x + ((x - 128) >> 3));
    return;
  }
  const double g = 1.0 / toneExponent;
  // F(x) = floor(255 (x / 255)^g), taken as the truncation of a negative value.
  const double scale = -255.0 / std::pow(255.0, g);
  for (int x = 0; x < 256; ++x) {
    const int f = -static_cast<int>(scale * std::pow(static_cast<double>(x), g));
    table[x] = ClampByte(x + ((f - 128) >> 3));
  }
}

void ApplyToneCurve(Recognizer& r) {
  uint8_t table[256];
  BuildToneTable(r.toneExponent, table);
  uint8_t* img = r.image();
  const int64_t n = PixelCount(r);
  int64_t i = 0;
#if defined(__SSE2__)
  if (r.toneExponent == 1.0) {
    // The usual curve is the plain stretch, x + ((x - 128) >> 3) clamped:
    // sixteen pixels a step in 16-bit lanes, where the saturating pack clamps.
    const __m128i zero = _mm_setzero_si128();
    const __m128i mid = _mm_set1_epi16(128);
    const auto stretch = [&](__m128i v) {
      return _mm_add_epi16(v, _mm_srai_epi16(_mm_sub_epi16(v, mid), 3));
    };
    for (; i + 16 <= n; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(img + i));
      const __m128i low = stretch(_mm_unpacklo_epi8(v, zero));
      const __m128i high = stretch(_mm_unpackhi_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(img + i), _mm_packus_epi16(low, high));
    }
  }
#endif
  // Otherwise eight pixels a step: a lookup cannot be vectorized, so this
  // saves the loop overhead instead.
  for (; i + 8 <= n; i += 8) {
    img[i] = table[img[i]];
    img[i + 1] = table[img[i + 1]];
    img[i + 2] = table[img[i + 2]];
    img[i + 3] = table[img[i + 3]];
    img[i + 4] = table[img[i + 4]];
    img[i + 5] = table[img[i + 5]];
    img[i + 6] = table[img[i + 6]];
    img[i + 7] = table[img[i + 7]];
  }
  for (; i < n; ++i) img[i] = table[img[i]];
  if (!(r.toneExponent >= kMinExponent && r.toneExponent <= kMaxExponent)) r.toneExponent = 1.0;
}

bool SharpenAlternating(Recognizer& r, int d) {
  const int w = r.imageWidth, h = r.imageHeight;
  const int margin = kAlternatingReach;
  if (d < 1 || d > margin) return true;
  if (h < 2 * margin + 1 || w < 2 * margin + 1) return true;  // no pixel far enough from the edges
  const std::span<uint8_t> area = WorkingArea(r);
  const size_t rowBytes = static_cast<size_t>(w);
  if (area.size() < kAlternatingRingRows * rowBytes) return false;
  uint8_t* img = r.image();
  // Ring of the original rows y-3 .. y: rows above y are overwritten already,
  // row y is overwritten while it is read, rows below are untouched.
  auto slot = [&](int y) { return area.data() + static_cast<size_t>(y % kAlternatingRingRows) * rowBytes; };
  for (int y = 0; y < margin; ++y) std::memcpy(slot(y), img + y * rowBytes, rowBytes);
  for (int y = margin; y < h - margin; ++y) {
    uint8_t* out = img + y * rowBytes;
    std::memcpy(slot(y), out, rowBytes);
    const uint8_t* north = slot(y - margin);
    const uint8_t* centre = slot(y);
    const uint8_t* south = img + (y + margin) * rowBytes;
    for (int x = margin; x < w - margin; ++x) {
      const int v = 6 * centre[x] - north[x] - south[x] - centre[x - d] - centre[x + d];
      out[x] = ClampByte(v >> 1);  // arithmetic shift: rounds towards minus infinity
    }
  }
  return true;
}

bool SharpenFiveByFive(Recognizer& r) {
  const int w = r.imageWidth, h = r.imageHeight;
  const int radius = kBlockRadius;
  if (h < 2 * radius + 1 || w < 2 * radius + 1) return true;
  const std::span<uint8_t> area = WorkingArea(r);
  const size_t rowBytes = static_cast<size_t>(w);
  if (area.size() < kBlockRingRows * rowBytes) return false;
  uint8_t* img = r.image();
  auto slot = [&](int y) { return area.data() + static_cast<size_t>(y % kBlockRingRows) * rowBytes; };
  for (int y = 0; y < radius; ++y) std::memcpy(slot(y), img + y * rowBytes, rowBytes);
  for (int y = radius; y < h - radius; ++y) {
    uint8_t* out = img + y * rowBytes;
    std::memcpy(slot(y), out, rowBytes);
    const uint8_t* row0 = slot(y - 2);
    const uint8_t* row1 = slot(y - 1);
    const uint8_t* row2 = slot(y);
    const uint8_t* row3 = img + (y + 1) * rowBytes;
    const uint8_t* row4 = img + (y + 2) * rowBytes;
    // Column sums of the 3 middle rows and of all 5 rows, a chunk of columns at
    // a time, then the 3 x 3 and 5 x 5 block sums from them: each output pixel
    // costs a constant number of additions, in loops without a carried sum.
    // Every sum and the result fit 16 bits (the 5 x 5 sum is at most 6375, the
    // result between -6375 and 8925), so the loops run in 16-bit lanes, twice
    // as many to a vector as in 32-bit ones.
    for (int x0 = radius; x0 < w - radius; x0 += kBlockChunk) {
      const int x1 = std::min(x0 + kBlockChunk, w - radius);  // outputs x0 .. x1-1
      const int first = x0 - radius;                           // column of sums[0]
      int16_t sums3[kBlockChunk + 2 * kBlockRadius];
      int16_t sums5[kBlockChunk + 2 * kBlockRadius];
      for (int i = 0; i < x1 - x0 + 2 * radius; ++i) {
        const int x = first + i;
        sums3[i] = static_cast<int16_t>(row1[x] + row2[x] + row3[x]);
        sums5[i] = static_cast<int16_t>(sums3[i] + row0[x] + row4[x]);
      }
      for (int x = x0; x < x1; ++x) {
        const int i = x - first;  // sums index of column x
        const auto sum3 = static_cast<int16_t>(sums3[i - 1] + sums3[i] + sums3[i + 1]);
        const auto sum5 = static_cast<int16_t>(sums5[i - 2] + sums5[i - 1] + sums5[i] +
                                               sums5[i + 1] + sums5[i + 2]);
        const auto v = static_cast<int16_t>(17 * row2[x] + 2 * sum3 - sum5);
        const auto eighth = static_cast<int16_t>(v >> 3);  // arithmetic shift
        out[x] = static_cast<uint8_t>(std::clamp<int16_t>(eighth, 0, 255));
      }
    }
  }
  return true;
}

void Sharpen(Recognizer& r, int mode) {
  switch (mode) {
    case 0:
    case 2: {
      const int phase = r.sharpenPhase;
      if (phase == 1 || phase == 3) {
        SharpenAlternating(r, phase);
        r.sharpenPhase = 2;
      } else if (phase == 2) {
        SharpenAlternating(r, 2);
        r.sharpenPhase = 3;
      } else {
        r.sharpenPhase = 3;
      }
      break;
    }
    case 1:
    case 3:
      SharpenFiveByFive(r);
      r.sharpenPhase = 1;
      break;
    default:
      break;
  }
}

namespace {

// Even output row from source row `src` (w pixels): each source pixel, then
// the truncated mean of it and its right neighbour; the last pixel twice.
// Written forwards, so `dst` must not overlap `src`.
void EnlargeEvenRow(const uint8_t* src, int w, uint8_t* dst) {
  for (int x = 0; x + 1 < w; ++x) {
    dst[2 * x] = src[x];
    dst[2 * x + 1] = static_cast<uint8_t>((src[x] + src[x + 1]) >> 1);
  }
  dst[2 * w - 2] = src[w - 1];
  dst[2 * w - 1] = src[w - 1];
}

// Odd output row between the even rows `above` and `below`: even pixels are the
// truncated mean of the pixels above and below, odd pixels that of their left
// and right neighbours so formed; the last pixel copies the one to its left.
void EnlargeOddRow(const uint8_t* above, const uint8_t* below, size_t outWidth, uint8_t* row) {
  for (size_t x = 0; x + 2 < outWidth; x += 2) {
    const int left = (above[x] + below[x]) >> 1;
    const int right = (above[x + 2] + below[x + 2]) >> 1;
    row[x] = static_cast<uint8_t>(left);
    row[x + 1] = static_cast<uint8_t>((left + right) >> 1);
  }
  row[outWidth - 2] = static_cast<uint8_t>((above[outWidth - 2] + below[outWidth - 2]) >> 1);
  row[outWidth - 1] = row[outWidth - 2];
}

}  // namespace

bool EnlargeImage(Recognizer& r) {
  const int w = r.imageWidth, h = r.imageHeight;
  if (4 * PixelCount(r) > r.imageCapacity) return false;
  const size_t outWidth = 2 * static_cast<size_t>(w);
  const int outHeight = 2 * h;
  uint8_t* img = r.image();
  // Even rows first, from the bottom row up, so that every source row is read
  // before its place is reused: row 2y occupies [4yw, 4yw + 2w), clear of source
  // row y and of the rows above it for y >= 1.
  for (int y = h - 1; y >= 1; --y) {
    EnlargeEvenRow(img + static_cast<size_t>(y) * w, w, img + static_cast<size_t>(2 * y) * outWidth);
  }
  // Row 0 is enlarged onto itself from the right end: pixel x goes to 2x >= x.
  {
    uint8_t* row = img;
    int right = row[w - 1];
    for (int x = w - 1; x >= 0; --x) {
      const int v = row[x];
      row[2 * x + 1] = static_cast<uint8_t>(x == w - 1 ? v : (v + right) >> 1);
      row[2 * x] = static_cast<uint8_t>(v);
      right = v;
    }
  }
  // Odd rows between them; the last row copies the one above it.
  for (int y = 1; y < outHeight - 1; y += 2) {
    EnlargeOddRow(img + static_cast<size_t>(y - 1) * outWidth,
                  img + static_cast<size_t>(y + 1) * outWidth, outWidth,
                  img + static_cast<size_t>(y) * outWidth);
  }
  std::memcpy(img + static_cast<size_t>(outHeight - 1) * outWidth,
              img + static_cast<size_t>(outHeight - 2) * outWidth, outWidth);
  r.imageWidth = static_cast<int32_t>(outWidth);
  r.imageHeight = outHeight;
  return true;
}

namespace {

// The histogram of an image that is black and white already (the still
// reader's locally thresholded views): counted 16 pixels a step, which a grey
// image gives up on within its first few pixels. False, with the histogram
// untouched, when some pixel is neither 0 nor 255.
bool CountBlackAndWhite(const uint8_t* img, int64_t n, int64_t histogram[256]) {
#if defined(__SSE2__)
  const __m128i white = _mm_set1_epi8(-1);
  const __m128i black = _mm_setzero_si128();
  int64_t zeros = 0, i = 0;
  while (i + 16 <= n) {
    // Each lane of `counts` takes one black pixel per step (a compare gives
    // -1) for at most 255 steps, then the lanes are summed.
    __m128i counts = _mm_setzero_si128();
    const int64_t stop = std::min(n, i + 255 * 16);
    for (; i + 16 <= stop; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(img + i));
      const __m128i isBlack = _mm_cmpeq_epi8(v, black);
      if (_mm_movemask_epi8(_mm_or_si128(isBlack, _mm_cmpeq_epi8(v, white))) != 0xFFFF) return false;
      counts = _mm_sub_epi8(counts, isBlack);
    }
    const __m128i sums = _mm_sad_epu8(counts, black);
    zeros += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  }
  for (; i < n; ++i) {
    if (img[i] != 0 && img[i] != 255) return false;
    zeros += img[i] == 0 ? 1 : 0;
  }
  std::fill(histogram, histogram + 256, 0);
  histogram[0] = zeros;
  histogram[255] = n - zeros;
  return true;
#else
  (void)img;
  (void)n;
  (void)histogram;
  return false;
#endif
}

// Counts of each grey level. Eight pixels are read at a time, each byte of the
// word into its own partial table, so that even a run of one level (paper, a
// dark module) never adds to the same counter twice in a row. A partial count
// fits in 32 bits: the image area is below 2^31 bytes.
void Histogram(const uint8_t* img, int64_t n, int64_t histogram[256]) {
  if (CountBlackAndWhite(img, n, histogram)) return;
  constexpr int kTables = 8;
  uint32_t partial[kTables][256] = {};
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, img + i, sizeof word);
    ++partial[0][word & 0xFF];
    ++partial[1][(word >> 8) & 0xFF];
    ++partial[2][(word >> 16) & 0xFF];
    ++partial[3][(word >> 24) & 0xFF];
    ++partial[4][(word >> 32) & 0xFF];
    ++partial[5][(word >> 40) & 0xFF];
    ++partial[6][(word >> 48) & 0xFF];
    ++partial[7][word >> 56];
  }
  for (; i < n; ++i) ++partial[0][img[i]];
  for (int level = 0; level < 256; ++level) {
    int64_t count = 0;
    for (int b = 0; b < kTables; ++b) count += partial[b][level];
    histogram[level] = count;
  }
}

// Every pixel below `level` (0..256) becomes dark (0), every other light (255).
void Binarise(uint8_t* img, int64_t n, int level) {
  if (level > 255) {
    std::memset(img, 0, static_cast<size_t>(n));
    return;
  }
  const auto below = static_cast<uint8_t>(level);
  for (int64_t k = 0; k < n; ++k) img[k] = img[k] < below ? 0 : kLight;
}

}  // namespace

namespace {

// ApplyThreshold on the image as the monotone table `tone` would leave it, when
// `tone` is given, without writing the toned pixels: a table that never goes
// down keeps every level's pixels together, so the toned histogram is the
// untoned one moved level by level, and the pixels that end below a toned
// threshold are exactly those below the first level the table lifts to it.
int ThresholdThrough(Recognizer& r, const uint8_t* tone) {
  uint8_t* img = r.image();
  const int64_t n = PixelCount(r);
  int64_t histogram[256];
  Histogram(img, n, histogram);
  if (tone != nullptr) {
    int64_t toned[256] = {};
    for (int v = 0; v < 256; ++v) toned[tone[v]] += histogram[v];
    std::copy(std::begin(toned), std::end(toned), histogram);
  }
  // count[j]: pixels of level <= j; weighted[j]: sum of their levels.
  int64_t count[256], weighted[256];
  count[0] = histogram[0];
  weighted[0] = 0;
  for (int j = 1; j < 256; ++j) {
    count[j] = count[j - 1] + histogram[j];
    weighted[j] = weighted[j - 1] + j * histogram[j];
  }

  // The darkest and brightest fifths (whole levels) give the threshold midpoint.
  const int64_t fifth = n / 5;
  int64_t darkCount = fifth, darkSum = 0;
  int64_t brightCount = n - fifth, brightSum = 0;
  bool darkFound = false, brightFound = false;
  for (int j = 1; j < 256; ++j) {
    bool darkJustFound = false;
    if (!darkFound && count[j] >= fifth && weighted[j] != 0) {
      darkCount = count[j];
      darkSum = weighted[j];
      darkFound = darkJustFound = true;
    }
    if (!darkJustFound && !brightFound && count[j] >= n - fifth && j - 1 > 0) {
      brightCount = n - count[j - 1];
      brightSum = weighted[255] - weighted[j - 1];
      brightFound = true;
    }
  }
  r.meanGrey = static_cast<int32_t>(-(weighted[255] / n));
  const int64_t mid = (darkCount >= 1 && brightCount >= 1)
                          ? (darkSum + brightSum) / (darkCount + brightCount)
                          : 1;
  r.thresholdMid = static_cast<int32_t>(mid);  // a mean of levels: 0..255

  // Ordinary scenes move the threshold down by the offset, very bright ones up.
  int t = r.thresholdMid > 192 ? r.thresholdMid + r.thresholdOffset
                               : r.thresholdMid - r.thresholdOffset;
  t = std::clamp(t, 1, 254);
  int level = t;
  if (tone != nullptr) {
    level = 0;
    while (level < 256 && tone[level] < t) ++level;
  }
  Binarise(img, n, level);

  // A threshold near either end means the offset has run away: start again
  // with a tone curve bent towards the middle.
  if (t < 32 || t > 223) {
    r.thresholdOffset = 0;
    if (r.thresholdMid >= 167) {
      r.toneExponent -= kExponentStep;
    } else if (r.thresholdMid < 90) {
      r.toneExponent += kExponentStep;
    }
  }
  return t;
}

bool NonDecreasing(const uint8_t table[256]) {
  return std::is_sorted(table, table + 256);
}

// Whether Sharpen(r, mode) leaves the pixels as they are (it may still move the
// phase on): the first frame of modes 0 and 2, and the modes that never sharpen.
bool SharpenKeepsPixels(const Recognizer& r, int mode) {
  if (mode == 1 || mode == 3) return false;
  if (mode == 0 || mode == 2) return r.sharpenPhase < 1 || r.sharpenPhase > 3;
  return true;
}

}  // namespace

int ApplyThreshold(Recognizer& r) { return ThresholdThrough(r, nullptr); }

int PrepareImage(Recognizer& r, int mode) {
  if (!HasImage(r)) return 0;
  ReduceImage(r);
  if (mode == kModeThorough) {
    ApplyThreshold(r);
    return 1;
  }
  const bool enlarge = (mode == 0 || mode == 1) && PixelCount(r) <= kSmallFramePixels;
  uint8_t table[256];
  BuildToneTable(r.toneExponent, table);
  if (!enlarge && SharpenKeepsPixels(r, mode) && NonDecreasing(table)) {
    // Nothing changes the pixels between the tone curve and the threshold:
    // the threshold applies the table on the way, a pass over the image fewer.
    if (!(r.toneExponent >= kMinExponent && r.toneExponent <= kMaxExponent)) r.toneExponent = 1.0;
    Sharpen(r, mode);
    ThresholdThrough(r, table);
    return 1;
  }
  ApplyToneCurve(r);
  Sharpen(r, mode);
  if (enlarge) EnlargeImage(r);
  ApplyThreshold(r);
  return 1;
}

}  // namespace cordavex
