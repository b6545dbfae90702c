// Reed-Solomon correction of one full-length block (255 codewords), clean and
// with the most errors the check codewords can correct, as a decoder runs it:
// copy the block in, RsInit, RsCorrect.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "decode/reed_solomon.h"

namespace cordavex {
namespace {

constexpr int kBlock = 255;

// A codeword of the Cordavex code variant with `check` check codewords and,
// when `damage` is set, check / 2 codewords changed at seeded positions.
std::vector<int32_t> MakeBlock(int check, bool damage) {
  std::mt19937 rng(255);
  std::vector<uint8_t> bytes(kBlock);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  RsEncodeBlocks(bytes, kBlock - check, check, 8, 1);
  std::vector<int32_t> block(bytes.begin(), bytes.end());
  if (damage) {
    std::vector<int> positions(kBlock);
    for (int i = 0; i < kBlock; ++i) positions[static_cast<size_t>(i)] = i;
    std::shuffle(positions.begin(), positions.end(), rng);
    for (int i = 0; i < check / 2; ++i) block[static_cast<size_t>(positions[static_cast<size_t>(i)])] ^= 1 + static_cast<int32_t>(rng() % 255);
  }
  return block;
}

void RunCorrect(benchmark::State& state, bool damage) {
  const int check = static_cast<int>(state.range(0));
  const std::vector<int32_t> received = MakeBlock(check, damage);
  std::vector<int32_t> block(received.size());
  RsContext context;
  context.variant = kRsCordavexCode;
  for (auto _ : state) {
    std::copy(received.begin(), received.end(), block.begin());
    RsInit(context, block.data(), kBlock, check);
    const int ok = RsCorrect(context);
    if (ok != 1) state.SkipWithError("block not corrected");
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

void BM_RsCorrectClean(benchmark::State& state) { RunCorrect(state, false); }
void BM_RsCorrectHalfCheckErrors(benchmark::State& state) { RunCorrect(state, true); }
BENCHMARK(BM_RsCorrectClean)->Arg(10)->Arg(30)->Arg(68);
BENCHMARK(BM_RsCorrectHalfCheckErrors)->Arg(10)->Arg(30)->Arg(68);

// Parity for the largest Cordavex code layout: 6 blocks, 381 codewords at level 3.
void BM_RsEncodeBlocks(benchmark::State& state) {
  std::vector<uint8_t> buffer(381);
  std::mt19937 rng(381);
  for (auto& b : buffer) b = static_cast<uint8_t>(rng());
  for (auto _ : state) {
    benchmark::DoNotOptimize(RsEncodeBlocks(buffer, 189, 192, 8, 6));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RsEncodeBlocks);

}  // namespace
}  // namespace cordavex
