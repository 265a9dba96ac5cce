// Failures handed back by the library and printed by the program.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/failure.h"

namespace {

Expected<int> half(int x) {
  if (x % 2 != 0) return Failure("\n *** Error ***\n -> odd\n", "detail\n", 3);
  return x / 2;
}

TEST(Failure, ValueOrFailureWithItsTextAndStatus) {
  const Expected<int> ok = half(8);
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(*ok, 4);
  const Expected<int> odd = half(7);
  ASSERT_FALSE(odd.ok());
  EXPECT_EQ(odd.error().text, "\n *** Error ***\n -> odd\n");
  EXPECT_EQ(odd.error().status, 3);
  EXPECT_THROW((void)odd.value(), std::bad_variant_access);

  const Status fine;
  EXPECT_TRUE(fine.ok());
  const Status failed = Failure("x");
  EXPECT_FALSE(failed.ok());
  EXPECT_EQ(failed.error().status, 1);
}

TEST(Failure, PrintedExactlyOnItsTwoStreams) {
  std::ostringstream out, err;
  print_failure(Failure("\n *** Error : readsf ***\n -> no\n *** Exiting program ***\n\n", "why\n"),
                out, err);
  EXPECT_EQ(out.str(), "\n *** Error : readsf ***\n -> no\n *** Exiting program ***\n\n");
  EXPECT_EQ(err.str(), "why\n");
  std::ostringstream out2, err2;
  print_failure(Failure("text without line end"), out2, err2);
  EXPECT_EQ(out2.str(), "text without line end");
  EXPECT_EQ(err2.str(), "");
}

}  // namespace
