// What the bundled camera clip shows, in order, one second each: shared by the
// tool that renders it and the tests that read it back.
#pragma once

namespace cordavex::clip {

constexpr char kQrText[] = "https://cordavex.example/live";
constexpr char kDmText[] = "CORDAVEX CLIP 2026";
constexpr char16_t kCvText[] = u"Cordavex live scan";

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFramesPerSecond = 15;
constexpr int kFramesPerSymbol = 15;
constexpr int kSymbols = 3;

}  // namespace cordavex::clip
