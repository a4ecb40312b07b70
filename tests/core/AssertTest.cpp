#include "core/DDAssert.h"

#include <gtest/gtest.h>

namespace {

// Checked builds stop at a broken invariant; release builds do not even
// evaluate the condition.
TEST(Assert, ActiveOnlyInCheckedBuilds) {
  int evaluations = 0;
  DD_ASSERT(++evaluations > 0);
#ifdef REDIVEZ_ASSERTIONS
  EXPECT_EQ(evaluations, 1);
  EXPECT_DEATH(DD_ASSERT(evaluations == 2), "'evaluations == 2' does not hold");
#else
  EXPECT_EQ(evaluations, 0);
#endif
}

} // namespace
