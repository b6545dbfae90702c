// Drawing into a frame buffer: clipping, pictures and the built-in font.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/canvas.h"

namespace cordavex::ui {
namespace {

constexpr uint32_t kInk = 0x0000FF, kPaper = 0xFFFFFF;

// The canvas as rows of '#' (ink) and '.' (anything else).
std::vector<std::string> Art(const Canvas& canvas) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < canvas.height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < canvas.width(); ++x) row += canvas.PixelAt(x, y) == kInk ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(UiCanvas, FillRectIsClippedToTheBuffer) {
  struct Case {
    Rect rect;
    std::vector<std::string> art;
  };
  const Case cases[] = {
      {{-2, -2, 2, 1}, {"##..", "....", "...."}},
      {{3, 1, 99, 99}, {"....", "...#", "...#"}},
      {{2, 2, 1, 3}, {"....", "....", "...."}},  // inverted: nothing
      {{-100, 5, 100, 9}, {"....", "....", "...."}},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> pixels(4 * 3, kPaper);
    Canvas canvas(pixels.data(), 4, 3);
    canvas.FillRect(c.rect, kInk);
    EXPECT_EQ(Art(canvas), c.art) << c.rect.left << "," << c.rect.top;
  }
}

TEST(UiCanvas, PicturesAreClippedAndStretchedToTheNearestPixel) {
  const std::vector<uint32_t> source = {kInk, kPaper,  //
                                        kPaper, kInk};
  const Picture picture{2, 2, source};
  std::vector<uint32_t> pixels(4 * 4, 0);
  Canvas canvas(pixels.data(), 4, 4);
  canvas.DrawPicture(picture, 3, -1);  // only its bottom-left pixel lands
  canvas.DrawPicture(picture, 0, 2);
  EXPECT_EQ(Art(canvas), (std::vector<std::string>{"....", "....", "#...", ".#.."}));
  canvas.StretchPicture(picture, {0, 0, 4, 4});
  EXPECT_EQ(Art(canvas), (std::vector<std::string>{"##..", "##..", "..##", "..##"}));
  // A picture with fewer pixels than its size claims draws nothing.
  canvas.FillRect({0, 0, 4, 4}, kPaper);
  canvas.DrawPicture({3, 3, source}, 0, 0);
  EXPECT_EQ(Art(canvas), std::vector<std::string>(4, "...."));
}

TEST(UiCanvas, TextUsesTheBuiltInFontScaledToItsHeight) {
  std::vector<uint32_t> pixels(12 * 7, kPaper);
  Canvas canvas(pixels.data(), 12, 7);
  canvas.DrawText(u"T1", 0, 0, {7, false}, kInk);
  EXPECT_EQ(Art(canvas), (std::vector<std::string>{"#####...#...",  //
                                                   "..#....##...",  //
                                                   "..#.....#...",  //
                                                   "..#.....#...",  //
                                                   "..#.....#...",  //
                                                   "..#.....#...",  //
                                                   "..#....###.."}));
  // Height 14 doubles every font pixel; bold widens each stroke by one.
  struct Case {
    Font font;
    int32_t advance;
    std::string stemRow;  // a row through the stem of "I"
  };
  const Case cases[] = {{{14, false}, 12, "....##......"}, {{14, true}, 13, "....###....."}};
  for (const Case& c : cases) {
    std::vector<uint32_t> big(12 * 14, kPaper);
    Canvas large(big.data(), 12, 14);
    large.DrawText(u"I", 0, 0, c.font, kInk);
    EXPECT_EQ(Art(large)[4], c.stemRow);
    EXPECT_EQ(Canvas::MeasureText(u"ab", c.font), 2 * c.advance);
  }
}

TEST(UiCanvas, CharactersOutsideTheFontAreBoxesAndTextIsClipped) {
  std::vector<uint32_t> pixels(8 * 7, kPaper);
  Canvas canvas(pixels.data(), 8, 7);
  canvas.DrawText(u"中", -2, 0, {7, false}, kInk);
  canvas.DrawText(u"WWWW", 5, 3, {7, false}, kInk);  // runs off the right and bottom
  EXPECT_EQ(Art(canvas), (std::vector<std::string>{"###.....",  //
                                                   "..#.....",  //
                                                   "..#.....",  //
                                                   "..#..#..",  //
                                                   "..#..#..",  //
                                                   "..#..#..",  //
                                                   "###..#.#"}));
  Canvas none;
  none.FillRect({0, 0, 5, 5}, kInk);  // an invalid canvas draws nothing and does not crash
  none.DrawText(u"x", 0, 0, {}, kInk);
  EXPECT_FALSE(none.valid());
}

}  // namespace
}  // namespace cordavex::ui
