#pragma once
// A vector checked in one line: each component within eps, the failure naming both vectors.
#include <gtest/gtest.h>

#include <math.h>

#include "math.hpp"

inline testing::AssertionResult near(v3 got, v3 want, f64 eps) {
  if (fabs(got.x - want.x) <= eps && fabs(got.y - want.y) <= eps && fabs(got.z - want.z) <= eps)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within " << eps
                                     << " of (" << want.x << ", " << want.y << ", " << want.z << ")";
}

inline testing::AssertionResult near(v2 got, v2 want, f64 eps) {
  return near(v3{{got.x, got.y, 0}}, v3{{want.x, want.y, 0}}, eps);
}
