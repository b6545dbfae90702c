#include "cordavex/qr_encoder.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "decode/qr_layout.h"
#include "decode/qr_tables.h"
#include "decode/reed_solomon.h"

namespace cordavex {

namespace {

// Construction-time module values: data modules hold 0 or 1, function modules
// a space (light) or the digit zero (dark). (value & 0x11) != 0 is dark for both.
constexpr uint8_t kFunctionLight = 0x20;
constexpr uint8_t kFunctionDark = 0x30;

bool IsFunction(uint8_t module) { return module >= kFunctionLight; }
bool IsDarkModule(uint8_t module) { return (module & 0x11) != 0; }

// Pattern bitmaps, bit 1 = dark, most significant bit leftmost.
constexpr uint8_t kFinderRows[7] = {127, 65, 93, 93, 93, 65, 127};
constexpr uint8_t kAlignmentRows[5] = {31, 17, 21, 17, 31};

// ---------------------------------------------------------------- segments

constexpr int kNoRun = -1;

// A run record keeps its mode as the mode's number, so the public header needs
// no mode table.
QrMode ModeOf(const QrRun& run) { return static_cast<QrMode>(run.mode); }
constexpr uint8_t ModeNumber(QrMode mode) { return static_cast<uint8_t>(mode); }
static_assert(ModeNumber(QrMode::kNumeric) == 0 && ModeNumber(QrMode::kAlphanumeric) == 1 &&
                  ModeNumber(QrMode::kByte) == 2 && ModeNumber(QrMode::kKanji) == 3,
              "QrRun::mode numbers the modes as its comment in the header says");

bool IsKanjiPair(uint8_t lead, uint8_t trail) {
  if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEB))) return false;
  if (trail < 0x40) return false;
  // Above these the 13-bit kanji value would not decode back to the same pair.
  if (lead == 0x9F && trail > 0xFC) return false;
  if (lead == 0xEB && trail > 0xBF) return false;
  return true;
}

// True when the text holds at least one multi-byte UTF-8 sequence and is
// well-formed UTF-8 throughout. Such a text is not Shift-JIS: its lead/trail
// pairs that look like kanji must stay bytes, or other readers would show them
// as Japanese characters.
bool IsMultiByteUtf8(const uint8_t* text, int length) {
  bool multiByte = false;
  for (int i = 0; i < length;) {
    const uint8_t lead = text[i];
    int extra = 0;
    uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= length) return false;  // cut off by the end of the text
    for (int k = 1; k <= extra; ++k) {
      if ((text[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (text[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    if ((extra == 2 && code < 0x800) || (extra == 3 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    multiByte = true;
    i += extra + 1;
  }
  return multiByte;
}

// Bits of a segment of `n` bytes, with its mode indicator and count field.
int SegmentCost(QrMode mode, int n, int group) {
  const int header = 4 + kQrModes[static_cast<int>(mode)].countBits[group];
  switch (mode) {
    case QrMode::kNumeric:
      return header + 10 * (n / 3) + (n % 3 == 1 ? 4 : (n % 3 == 2 ? 7 : 0));
    case QrMode::kAlphanumeric:
      return header + 11 * (n / 2) + 6 * (n % 2);
    case QrMode::kKanji:
      return header + 13 * (n / 2);
    default:
      return header + 8 * n;
  }
}

struct Segmenter {
  QrEncoder& c;
  int group;

  QrRun& Run(int index) { return c.runs[index]; }
  int Cost(int index) const { return SegmentCost(ModeOf(c.runs[index]), c.runs[index].length, group); }
  int ByteNeighbour(int index) const {
    return index != kNoRun && ModeOf(c.runs[index]) == QrMode::kByte ? index : kNoRun;
  }

  void Unlink(int index) {
    const QrRun& run = c.runs[index];
    if (run.prev != kNoRun) c.runs[run.prev].next = run.next;
    if (run.next != kNoRun) c.runs[run.next].prev = run.prev;
    if (c.firstRun == index) c.firstRun = run.next;
    --c.runCount;
  }

  // Appends `from` to `into`, its left neighbour, and drops it.
  void Absorb(int into, int from) {
    c.runs[into].length = static_cast<int16_t>(c.runs[into].length + c.runs[from].length);
    Unlink(from);
  }

  // Joins a run with neighbours of its own mode; returns the surviving run.
  int Coalesce(int index) {
    const int prev = c.runs[index].prev;
    if (prev != kNoRun && c.runs[prev].mode == c.runs[index].mode) {
      Absorb(prev, index);
      index = prev;
    }
    const int next = c.runs[index].next;
    if (next != kNoRun && c.runs[next].mode == c.runs[index].mode) Absorb(index, next);
    return index;
  }

  // After a merge the run before it may now gain from merging too.
  int StepBack(int index) const {
    return c.runs[index].prev != kNoRun ? c.runs[index].prev : index;
  }

  // Numeric and alphanumeric neighbours become one alphanumeric run when that
  // is shorter, unless handing one of them to a byte neighbour is shorter still.
  void MergeAlphanumeric() {
    int a = c.firstRun;
    while (a != kNoRun && Run(a).next != kNoRun) {
      const int b = Run(a).next;
      const QrMode ma = ModeOf(Run(a));
      const QrMode mb = ModeOf(Run(b));
      const bool pair = (ma == QrMode::kNumeric && mb == QrMode::kAlphanumeric) ||
                        (ma == QrMode::kAlphanumeric && mb == QrMode::kNumeric);
      const int merged = SegmentCost(QrMode::kAlphanumeric, Run(a).length + Run(b).length, group);
      if (!pair || merged >= Cost(a) + Cost(b)) {
        a = b;
        continue;
      }
      const int p = ByteNeighbour(Run(a).prev);
      const int n = ByteNeighbour(Run(b).next);
      const int pCost = p != kNoRun ? Cost(p) : 0;
      const int nCost = n != kNoRun ? Cost(n) : 0;
      const int keep = pCost + merged + nCost;
      constexpr int kImpossible = 1 << 30;
      const int intoPrev =
          p != kNoRun
              ? SegmentCost(QrMode::kByte, Run(p).length + Run(a).length, group) + Cost(b) + nCost
              : kImpossible;
      const int intoNext =
          n != kNoRun
              ? pCost + Cost(a) + SegmentCost(QrMode::kByte, Run(b).length + Run(n).length, group)
              : kImpossible;
      if (intoPrev < keep && intoPrev <= intoNext) {
        Absorb(p, a);
        a = b;
      } else if (intoNext < keep) {
        Run(n).length = static_cast<int16_t>(Run(n).length + Run(b).length);
        Unlink(b);
        // a now faces the byte run; nothing more to do for it here.
        a = n;
      } else {
        Run(a).mode = ModeNumber(QrMode::kAlphanumeric);
        Absorb(a, b);
        a = StepBack(Coalesce(a));
      }
    }
  }

  // Any two neighbours become one byte run, together with the byte runs beside
  // them, when that is shorter than keeping them apart.
  void MergeBytes() {
    int a = c.firstRun;
    while (a != kNoRun && Run(a).next != kNoRun) {
      const int b = Run(a).next;
      const int p = ByteNeighbour(Run(a).prev);
      const int n = ByteNeighbour(Run(b).next);
      int apart = Cost(a) + Cost(b);
      int total = Run(a).length + Run(b).length;
      if (p != kNoRun) {
        apart += Cost(p);
        total += Run(p).length;
      }
      if (n != kNoRun) {
        apart += Cost(n);
        total += Run(n).length;
      }
      if (SegmentCost(QrMode::kByte, total, group) >= apart) {
        a = b;
        continue;
      }
      Run(a).mode = ModeNumber(QrMode::kByte);
      Absorb(a, b);
      a = StepBack(Coalesce(a));
    }
  }
};

// Splits the text into runs of one character class.
void BuildRuns(QrEncoder& c, const uint8_t* text, int length, bool kanjiAllowed) {
  c.firstRun = kNoRun;
  c.runCount = 0;
  int last = kNoRun;
  for (int i = 0; i < length;) {
    QrMode mode;
    int width = 1;
    if (kanjiAllowed && i + 1 < length && IsKanjiPair(text[i], text[i + 1])) {
      mode = QrMode::kKanji;
      width = 2;
    } else if (text[i] >= '0' && text[i] <= '9') {
      mode = QrMode::kNumeric;
    } else if (QrAlphanumericValue(text[i]) >= 0) {
      mode = QrMode::kAlphanumeric;
    } else {
      mode = QrMode::kByte;
    }
    if (last != kNoRun && ModeOf(c.runs[last]) == mode) {
      c.runs[last].length = static_cast<int16_t>(c.runs[last].length + width);
    } else {
      const int index = c.runCount++;
      c.runs[index] = QrRun{ModeNumber(mode), static_cast<int16_t>(last), static_cast<int16_t>(kNoRun),
                            static_cast<int16_t>(width)};
      if (last != kNoRun) c.runs[last].next = static_cast<int16_t>(index);
      if (c.firstRun == kNoRun) c.firstRun = index;
      last = index;
    }
    i += width;
  }
}

// ---------------------------------------------------------------- bit stream

class BitWriter {
 public:
  explicit BitWriter(QrEncoder& c) : c_(c) {}

  // Appends the low `count` bits of value, most significant first; false when
  // the stream would pass the largest symbol's data capacity.
  bool Append(uint32_t value, int count) {
    if (c_.bitCount + count > kQrMaxDataBits) return false;
    for (int bit = count - 1; bit >= 0; --bit) {
      const int position = c_.bitCount++;
      if ((position & 7) == 0) c_.bits[position >> 3] = 0;
      if ((value >> bit) & 1u) c_.bits[position >> 3] |= static_cast<uint8_t>(0x80 >> (position & 7));
    }
    return true;
  }

 private:
  QrEncoder& c_;
};

bool EncodeRuns(QrEncoder& c, const uint8_t* text, int group) {
  c.bitCount = 0;
  BitWriter writer(c);
  int offset = 0;
  for (int index = c.firstRun; index != kNoRun; index = c.runs[index].next) {
    const QrRun& run = c.runs[index];
    const QrModeInfo& mode = QrModeRow(ModeOf(run));
    const int countBits = mode.countBits[group];
    const int count = ModeOf(run) == QrMode::kKanji ? run.length / 2 : run.length;
    // A count too wide for this group's field means the group's versions are
    // too small anyway; the next group has wider fields.
    if (count >= (1 << countBits)) return false;
    if (!writer.Append(static_cast<uint32_t>(mode.indicator), 4)) return false;
    if (!writer.Append(static_cast<uint32_t>(count), countBits)) return false;
    const uint8_t* p = text + offset;
    const int n = run.length;
    bool ok = true;
    switch (ModeOf(run)) {
      case QrMode::kNumeric:
        for (int i = 0; ok && i < n; i += 3) {
          const int digits = n - i < 3 ? n - i : 3;
          uint32_t value = 0;
          for (int k = 0; k < digits; ++k) value = value * 10 + static_cast<uint32_t>(p[i + k] - '0');
          ok = writer.Append(value, digits == 3 ? 10 : (digits == 2 ? 7 : 4));
        }
        break;
      case QrMode::kAlphanumeric:
        for (int i = 0; ok && i < n; i += 2) {
          if (n - i >= 2) {
            const int value = 45 * QrAlphanumericValue(p[i]) + QrAlphanumericValue(p[i + 1]);
            ok = writer.Append(static_cast<uint32_t>(value), 11);
          } else {
            ok = writer.Append(static_cast<uint32_t>(QrAlphanumericValue(p[i])), 6);
          }
        }
        break;
      case QrMode::kKanji:
        for (int i = 0; ok && i < n; i += 2) {
          uint32_t code = (uint32_t{p[i]} << 8) | p[i + 1];
          code -= code <= 0x9FFC ? 0x8140 : 0xC140;
          ok = writer.Append((code >> 8) * 0xC0 + (code & 0xFF), 13);
        }
        break;
      default:
        for (int i = 0; ok && i < n; ++i) ok = writer.Append(p[i], 8);
        break;
    }
    if (!ok) return false;
    offset += n;
  }
  return true;
}

// Terminator, bit padding to a whole codeword, then the pad codewords 236 and
// 17 alternately. The caller has checked that the stream fits.
void Pad(QrEncoder& c, int dataCodewords) {
  const int capacity = dataCodewords * 8;
  BitWriter writer(c);
  const int terminator = capacity - c.bitCount < 4 ? capacity - c.bitCount : 4;
  writer.Append(0, terminator);
  writer.Append(0, (8 - (c.bitCount & 7)) & 7);
  for (int k = c.bitCount / 8, pad = 0; k < dataCodewords; ++k, pad ^= 1) {
    c.bits[k] = pad == 0 ? 236 : 17;
  }
  c.bitCount = capacity;
}

// ---------------------------------------------------------------- matrix

struct Matrix {
  uint8_t* m;
  int n;
  uint8_t& At(int row, int column) { return m[row * kQrMatrixStride + column]; }
  void SetFunction(int row, int column, bool dark) {
    At(row, column) = dark ? kFunctionDark : kFunctionLight;
  }
};

void DrawFinder(Matrix& m, int top, int left) {
  for (int r = -1; r <= 7; ++r) {
    for (int col = -1; col <= 7; ++col) {
      const int row = top + r;
      const int column = left + col;
      if (row < 0 || row >= m.n || column < 0 || column >= m.n) continue;
      // The ring around the 7x7 pattern is its light separator.
      const bool inside = r >= 0 && r < 7 && col >= 0 && col < 7;
      m.SetFunction(row, column, inside && ((kFinderRows[r] >> (6 - col)) & 1));
    }
  }
}

void DrawAlignment(Matrix& m, int row, int column) {
  for (int r = 0; r < 5; ++r) {
    for (int col = 0; col < 5; ++col) {
      m.SetFunction(row - 2 + r, column - 2 + col, (kAlignmentRows[r] >> (4 - col)) & 1);
    }
  }
}

// Writes the 15-bit format word (bit 14 first along each copy, ISO/IEC 18004
// Figure 25) and the dark module beside the bottom-left copy.
void DrawFormat(Matrix& m, int level, int mask) {
  const uint32_t word = QrFormatInformation(level, mask);
  const QrFormatCells cells = QrFormatPositions(m.n);
  for (int i = 0; i < 15; ++i) {
    const bool dark = ((word >> i) & 1u) != 0;
    m.SetFunction(cells.corner[i].row, cells.corner[i].column, dark);
    m.SetFunction(cells.split[i].row, cells.split[i].column, dark);
  }
  const QrCell darkModule = QrDarkModule(m.n);
  m.SetFunction(darkModule.row, darkModule.column, true);
}

void DrawFunctionPatterns(Matrix& m, int version) {
  const int n = m.n;
  for (int row = 0; row < kQrMatrixStride; ++row) std::memset(&m.At(row, 0), 0, kQrMatrixStride);
  DrawFinder(m, 0, 0);
  DrawFinder(m, 0, n - 7);
  DrawFinder(m, n - 7, 0);
  // Format areas: reserved now, written with the mask.
  DrawFormat(m, 0, 0);
  const QrVersionInfo& info = *QrVersion(version);
  if (version >= 7) {
    // Bit i at (i div 3, n - 11 + i mod 3) beside the top-right finder and
    // transposed above the bottom-left one; bit 0 is the least significant.
    for (int i = 0; i < 18; ++i) {
      const bool dark = ((info.versionInformation >> i) & 1u) != 0;
      m.SetFunction(i / 3, n - 11 + i % 3, dark);
      m.SetFunction(n - 11 + i % 3, i / 3, dark);
    }
  }
  int centres[kQrMaxAlignment + 1];
  const int count = QrAlignmentCentres(version, centres);
  for (int i = 0; i < count; ++i) {
    for (int k = 0; k < count; ++k) {
      // Centres on a finder are already function modules and get no pattern.
      if (IsFunction(m.At(centres[i], centres[k]))) continue;
      DrawAlignment(m, centres[i], centres[k]);
    }
  }
  for (int i = 8; i < n - 8; ++i) {
    if (!IsFunction(m.At(6, i))) m.SetFunction(6, i, (i & 1) == 0);
    if (!IsFunction(m.At(i, 6))) m.SetFunction(i, 6, (i & 1) == 0);
  }
}

// Codeword bits into the data modules in placement order; modules left over
// after the last codeword (remainder bits) stay light.
void PlaceCodewords(Matrix& m, int version, const uint8_t* codewords, int count) {
  const int totalBits = count * 8;
  int bit = 0;
  QrForEachDataModule(version, [&](int row, int column) {
    uint8_t& module = m.At(row, column);
    if (bit < totalBits) {
      module = (codewords[bit >> 3] >> (7 - (bit & 7))) & 1;
      ++bit;
    } else {
      module = 0;
    }
    return true;
  });
}

// Every mask repeats within 12 rows and 12 columns (mask 4 has period 4 by 6,
// the others divide 6 by 6), so one 12 x 12 tile per mask replaces the
// divisions in the per-module conditions.
struct MaskTiles {
  uint8_t tile[8][12][12];
};

constexpr MaskTiles MakeMaskTiles() {
  MaskTiles t{};
  for (int mask = 0; mask < 8; ++mask) {
    for (int i = 0; i < 12; ++i) {
      for (int j = 0; j < 12; ++j) t.tile[mask][i][j] = QrMaskCondition(mask, i, j) ? 1 : 0;
    }
  }
  return t;
}

constexpr MaskTiles kMaskTiles = MakeMaskTiles();

// XORs the mask into the data modules; applying it twice restores them.
void ApplyMask(Matrix& m, int mask) {
  for (int i = 0; i < m.n; ++i) {
    const uint8_t* tileRow = kMaskTiles.tile[mask][i % 12];
    uint8_t* row = &m.At(i, 0);
    for (int j = 0, tileColumn = 0; j < m.n; ++j) {
      if (!IsFunction(row[j])) row[j] ^= tileRow[tileColumn];
      if (++tileColumn == 12) tileColumn = 0;
    }
  }
}

// Light modules assumed beyond each end of a line: the quiet zone, as far as
// the finder-like rule looks.
constexpr int kLinePad = 4;

// Penalty of one line of `n` modules (0/1) with kLinePad light modules on
// either side already in place: runs of five or more, and 1:1:3:1:1 patterns
// with a light module on both sides and four on at least one. A 15-module
// window, oldest module in the highest bit, holds 4 before, the 7 of the
// pattern and 4 after.
int LinePenalty(const uint8_t* padded, int n) {
  const uint8_t* line = padded + kLinePad;
  int score = 0;
  int runLength = 1;
  for (int k = 1; k <= n; ++k) {
    if (k < n && line[k] == line[k - 1]) {
      ++runLength;
      continue;
    }
    if (runLength >= 5) score += runLength - 2;
    runLength = 1;
  }
  constexpr uint32_t kPattern = 0b1011101;
  uint32_t window = 0;
  for (int k = 0; k < n + 2 * kLinePad; ++k) {
    window = ((window << 1) | padded[k]) & 0x7FFF;
    if (k < 14 || ((window >> 4) & 0x7F) != kPattern) continue;
    const bool lightBefore4 = (window >> 11) == 0;
    const bool lightAfter4 = (window & 0xF) == 0;
    const bool lightBefore = ((window >> 11) & 1) == 0;
    const bool lightAfter = ((window >> 3) & 1) == 0;
    if ((lightBefore4 && lightAfter) || (lightAfter4 && lightBefore)) score += 40;
  }
  return score;
}

// Splits the padded data codewords into the level's blocks, appends each
// block's check codewords and interleaves both column by column.
void Interleave(QrEncoder& c, const QrVersionInfo& info) {
  const QrBlockLayout layout = QrBlocks(info, c.level);
  RsGenerator generator;
  RsMakeGenerator(generator, kRsQrCode, layout.check);
  int offset = 0;
  for (int j = 0; j < layout.blocks; ++j) {
    const int dataCount = layout.DataLength(j);
    const uint8_t* data = c.bits + offset;
    for (int k = 0; k < dataCount; ++k) c.codewords[layout.DataIndex(j, k)] = data[k];
    RsEncode(generator, {data, static_cast<size_t>(dataCount)},
             {c.block, static_cast<size_t>(layout.check)});
    for (int e = 0; e < layout.check; ++e) c.codewords[layout.CheckIndex(j, e)] = c.block[e];
    offset += dataCount;
  }
}

// Finds the smallest version from `lowest` that holds the text, encoding it
// with the count widths of each version group in turn. Returns the version
// with c.bits holding the unpadded stream, or 0.
int ChooseVersion(QrEncoder& c, int level, int lowest, const uint8_t* text, int length) {
  const bool kanjiAllowed = !IsMultiByteUtf8(text, length);
  for (int group = QrVersionGroup(lowest); group < 3; ++group) {
    BuildRuns(c, text, length, kanjiAllowed);
    Segmenter segmenter{c, group};
    segmenter.MergeAlphanumeric();
    segmenter.MergeBytes();
    if (!EncodeRuns(c, text, group)) continue;
    const int bytes = (c.bitCount + 7) / 8;
    const int from = lowest > QrGroupFirstVersion(group) ? lowest : QrGroupFirstVersion(group);
    for (int v = from; v <= QrGroupLastVersion(group); ++v) {
      if (QrVersion(v)->dataCodewords[level] >= bytes) return v;
    }
  }
  return 0;
}

int Encode(QrEncoder& c, int level, int version, int allowLarger, int mask, const uint8_t* text,
           int length) {
  c.version = 0;
  c.side = 0;
  c.mask = -1;
  const int chosen = ChooseVersion(c, level, version == 0 ? 1 : version, text, length);
  if (chosen == 0) return 0;
  if (version != 0 && chosen != version && allowLarger == 0) return 0;
  const QrVersionInfo& info = *QrVersion(chosen);
  c.level = level;
  c.version = chosen;
  c.side = QrSide(chosen);
  Pad(c, info.dataCodewords[level]);
  Interleave(c, info);

  Matrix m{c.matrix, c.side};
  DrawFunctionPatterns(m, chosen);
  PlaceCodewords(m, c.version, c.codewords, info.totalCodewords);
  if (mask < 0) {
    int bestScore = 0;
    for (int candidate = 0; candidate < 8; ++candidate) {
      ApplyMask(m, candidate);
      DrawFormat(m, level, candidate);
      const int score = QrPenaltyScore(c.matrix, c.side, kQrMatrixStride);
      ApplyMask(m, candidate);
      // Only a strictly lower score displaces an earlier mask.
      if (candidate == 0 || score < bestScore) {
        bestScore = score;
        mask = candidate;
      }
    }
  }
  ApplyMask(m, mask);
  DrawFormat(m, level, mask);
  c.mask = mask;
  for (int row = 0; row < c.side; ++row) {
    for (int column = 0; column < c.side; ++column) {
      uint8_t& module = m.At(row, column);
      module = IsDarkModule(module) ? 1 : 0;
    }
  }
  return 1;
}

}  // namespace

int QrPenaltyScore(const uint8_t* matrix, int side, int stride) {
  if (side <= 0 || side > kQrMaxSide) return 0;
  uint8_t line[kQrMaxSide + 2 * kLinePad] = {};  // padding stays light
  int score = 0;
  int darkCount = 0;
  for (int i = 0; i < side; ++i) {
    const uint8_t* row = matrix + i * stride;
    for (int k = 0; k < side; ++k) line[kLinePad + k] = IsDarkModule(row[k]) ? 1 : 0;
    score += LinePenalty(line, side);
    for (int k = 0; k < side; ++k) darkCount += line[kLinePad + k];
    for (int k = 0; k < side; ++k) line[kLinePad + k] = IsDarkModule(matrix[k * stride + i]) ? 1 : 0;
    score += LinePenalty(line, side);
  }
  for (int i = 0; i + 1 < side; ++i) {
    const uint8_t* top = matrix + i * stride;
    const uint8_t* bottom = top + stride;
    bool topLeft = IsDarkModule(top[0]);
    bool bottomLeft = IsDarkModule(bottom[0]);
    for (int k = 1; k < side; ++k) {
      const bool topRight = IsDarkModule(top[k]);
      const bool bottomRight = IsDarkModule(bottom[k]);
      if (topLeft == topRight && topLeft == bottomLeft && topLeft == bottomRight) score += 3;
      topLeft = topRight;
      bottomLeft = bottomRight;
    }
  }
  const int percent = darkCount * 100 / (side * side);
  score += 10 * (std::abs(percent - 50) / 5);
  return score;
}

int QrEncode(QrEncoder& context, int level, int version, int allowLarger, int mask,
             const char* text, int length) {
  context.version = 0;
  context.side = 0;
  if (text == nullptr) return 0;
  if (length <= 0) length = static_cast<int>(std::strlen(text));
  if (length <= 0 || length > kQrMaxTextLength) return 0;
  if (level < 0 || level > 3 || version < 0 || version > kQrMaxVersion || mask < -1 || mask > 7) {
    return 0;
  }
  return Encode(context, level, version, allowLarger, mask, reinterpret_cast<const uint8_t*>(text),
                length);
}

}  // namespace cordavex
