#include <gtest/gtest.h>

#include <vector>

#include "engine/recognizer.h"

namespace cordavex {
namespace {

TEST(RecognizerSize, FollowsFormula) {
  EXPECT_EQ(GetRecognizerSize(320, 240), 4 * 76800 + 34496);
}

}  // namespace
}  // namespace cordavex
