#include "engine/qr_locator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/dispatch.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/prepare.h"
#include "engine/recognizer.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

using test::Frame;
using test::QrSymbol;
using test::RenderOptions;

// A caller-owned workspace block for one frame size, 8-byte aligned.
class Workspace {
 public:
  Workspace(int width, int height)
      : block_(static_cast<size_t>(GetRecognizerSize(width, height)) / 8 + 1, 0) {}
  void* data() { return block_.data(); }
  Recognizer& r() { return *static_cast<Recognizer*>(data()); }

 private:
  std::vector<uint64_t> block_;
};

struct Outcome {
  int status = 0;
  int calls = 0;
  std::string bytes;
  int symbology = 0;
};

// Calls RecognizeImage on the same frame up to `calls` times, as consecutive
// camera frames reach it, stopping at the first success.
Outcome Recognize(const Frame& f, int calls = 8, int mode = 0) {
  Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  Outcome out;
  for (out.calls = 1; out.calls <= calls; ++out.calls) {
    result->mode() = mode;
    result->symbologyMask() = 1;
    out.status = RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, f.bitsPerPixel,
                                result.get());
    if (out.status == 1) break;
  }
  const DecodedSymbol d = LastDecodedSymbol(ws.data());
  out.bytes.assign(d.bytes.begin(), d.bytes.end());
  out.symbology = d.symbology;
  return out;
}

QrSymbol Symbol(const std::string& text, int version, int level = test::kLevelM) {
  auto s = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                               version, level);
  EXPECT_TRUE(s.has_value()) << text << " v" << version;
  return s.value_or(QrSymbol{});
}

std::string Payload(int version, int level) {
  const int capacity = test::QrByteCapacity(version, level);
  std::string s = "https://cordavex.example/v" + std::to_string(version) + "?q=";
  while (static_cast<int>(s.size()) < capacity * 2 / 3) s += static_cast<char>('a' + s.size() % 26);
  return s.substr(0, static_cast<size_t>(capacity));
}

TEST(QrLocatorEndToEnd, UprightEveryVersionEveryPixelFormat) {
  for (int version = 1; version <= 13; ++version) {
    const std::string text = Payload(version, test::kLevelM);
    const QrSymbol symbol = Symbol(text, version);
    for (int bpp : {8, 16, 24, 32}) {
      RenderOptions o;
      o.width = 640;
      o.height = 480;
      o.bitsPerPixel = bpp;
      o.moduleSize = 360.0 / (symbol.size + 8);
      o.seed = static_cast<uint32_t>(version * 10 + bpp);
      o.blur = 0.6;
      o.noise = 3;
      const Outcome out = Recognize(test::RenderModules(symbol.modules, symbol.size, o));
      EXPECT_EQ(out.status, 1) << "version " << version << " bpp " << bpp;
      EXPECT_EQ(out.bytes, text) << "version " << version << " bpp " << bpp;
      EXPECT_EQ(out.symbology, kLockQr);
    }
  }
}

}  // namespace
}  // namespace cordavex
namespace cordavex {
namespace {
TEST(QrLocatorProbe, DISABLED_Rates) {
  struct Cond { const char* name; double rot; bool mirror; double persp; int w, h; double uneven; };
  const Cond conds[] = {
      {"upright320", 0, false, 0, 320, 240, 0},
      {"rot30", 30, false, 0, 640, 480, 0},
      {"rot90", 90, false, 0, 640, 480, 0},
      {"rot180", 180, false, 0, 640, 480, 0},
      {"rot270", 270, false, 0, 640, 480, 0},
      {"rot-20", -20, false, 0, 640, 480, 0},
      {"mirror", 0, true, 0, 640, 480, 0},
      {"mirror rot60", 60, true, 0, 640, 480, 0},
      {"persp0.1", 0, false, 0.1, 640, 480, 0},
      {"persp0.15 rot15", 15, false, 0.15, 640, 480, 0},
      {"uneven0.4", 0, false, 0, 640, 480, 0.4},
  };
  for (const Cond& c : conds) {
    std::string fails;
    int ok = 0;
    for (int version = 1; version <= 13; ++version) {
      const std::string text = Payload(version, test::kLevelM);
      const QrSymbol symbol = Symbol(text, version);
      RenderOptions o;
      o.width = c.w; o.height = c.h;
      o.moduleSize = (c.h * 0.75) / (symbol.size + 8);
      o.rotation = c.rot; o.mirror = c.mirror; o.perspective = c.persp; o.unevenLight = c.uneven;
      o.blur = 0.6; o.noise = 3; o.seed = static_cast<uint32_t>(version);
      const Outcome out = Recognize(test::RenderModules(symbol.modules, symbol.size, o));
      if (out.status == 1 && out.bytes == text) ++ok; else fails += " " + std::to_string(version);
    }
    printf("%-18s %2d/13 fails:%s\n", c.name, ok, fails.c_str());
  }
}
}
}
