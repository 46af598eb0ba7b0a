#include <gtest/gtest.h>

#include "math.hpp"
#include "types.hpp"

TEST(Scalars, ClampSignAndRadians) {
  EXPECT_EQ(clamp(5.0f, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(clamp(-1.0f, 0.0f, 1.0f), 0.0f);
  EXPECT_EQ(clamp1(-3.0f), -3.0f);
  EXPECT_EQ(signof(0.0f), 1.0f);
  EXPECT_FLOAT_EQ(normalize_radians(pi), pi);
  EXPECT_FLOAT_EQ(normalize_radians(-pi), pi);
  EXPECT_NEAR(normalize_radians(3 * pi / 2), -pi / 2, 1e-5f);
}
