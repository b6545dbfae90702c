#include "app/skin.h"

#include <algorithm>

namespace cordavex::app {
namespace {

uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(std::clamp(r, 0, 255)) << 16 |
         static_cast<uint32_t>(std::clamp(g, 0, 255)) << 8 | static_cast<uint32_t>(std::clamp(b, 0, 255));
}

// A brushed-metal strip: a horizontal light band with fine vertical grain, so
// that tiles meet without a seam.
SkinPicture Strip(int32_t width, int32_t height, bool mirrored) {
  SkinPicture picture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const int32_t across = mirrored ? width - 1 - x : x;
      const int light = 150 + 80 * across / std::max(1, width - 1);
      const int grain = ((y * 7 + across * 3) % 5) * 2;
      const int edge = across == width - 1 ? -60 : 0;
      picture.pixels[static_cast<size_t>(y) * width + x] =
          Rgb(light - 40 + grain + edge, light - 20 + grain + edge, light + grain + edge);
    }
  }
  return picture;
}

// The focus indicator: a ring, filled when the focus mode is on.
SkinPicture FocusIndicator(bool on) {
  constexpr int32_t kSide = 25;
  SkinPicture picture{kSide, kSide, std::vector<uint32_t>(kSide * kSide, 0xFFFFFF)};
  for (int32_t y = 0; y < kSide; ++y) {
    for (int32_t x = 0; x < kSide; ++x) {
      const int32_t dx = x - 12, dy = y - 12;
      const int32_t r2 = dx * dx + dy * dy;
      if (r2 <= 121 && r2 >= 81) picture.pixels[y * kSide + x] = 0x1F4E9A;
      if (on && r2 < 81) picture.pixels[y * kSide + x] = 0x3C8CE6;
    }
  }
  return picture;
}

}  // namespace

Skin LoadSkin(const DeviceIdentity& device) {
  Skin skin;
  const bool singleStrip = device.smartphone && !SameModel(device.model, u"ASUS ARIES") &&
                           !SameModel(device.model, u"LIBR100") && device.deviceClass != 14 &&
                           device.deviceClass != 15;
  const int32_t stripWidth = std::max(8, device.screenWidth / 16);
  if (singleStrip) {
    skin.single = Strip(stripWidth, 64, false);
  } else {
    skin.left = Strip(stripWidth, 64, false);
    skin.right = Strip(stripWidth, 64, true);
  }
  skin.focusOn = FocusIndicator(true);
  skin.focusOff = FocusIndicator(false);
  return skin;
}

void PaintSkin(const Skin& skin, ui::Canvas& canvas) {
  canvas.FillRect({0, 0, canvas.width(), canvas.height()}, 0xFFFFFF);
  auto tile = [&canvas](const SkinPicture& picture, int32_t x) {
    if (picture.empty()) return;
    for (int32_t y = 0; y < canvas.height(); y += picture.height) canvas.DrawPicture(picture.view(), x, y);
  };
  if (!skin.single.empty()) {
    tile(skin.single, canvas.width() - skin.single.width);
  } else {
    tile(skin.left, 0);
    tile(skin.right, canvas.width() - skin.right.width);
  }
}

void PaintZoomBar(ui::Canvas& canvas, int32_t x, int32_t y, int32_t width, int32_t position,
                  int32_t steps) {
  constexpr int32_t kHeight = 9;
  canvas.FillRect({x, y, x + width, y + kHeight}, 0xDCDCDC);
  canvas.FillRect({x + 1, y + 1, x + width - 1, y + kHeight - 1}, 0xA0A0A0);
  if (steps > 0) {
    const int32_t inside = width - 2;
    const int32_t filled = inside * std::clamp(position, 0, steps) / steps;
    canvas.FillRect({x + 1, y + 1, x + 1 + filled, y + kHeight - 1}, 0xDCDCDC);
  }
  // Colour reference 0xC36800 is blue 0xC3, green 0x68, red 0x00.
  const ui::Font font{14, true};
  constexpr uint32_t kSignColour = 0x0068C3;
  canvas.DrawText(u"+", x + width + 10, y - 5, font, kSignColour);
  canvas.DrawText(u"-", x - 15, y - 5, font, kSignColour);
}

}  // namespace cordavex::app
