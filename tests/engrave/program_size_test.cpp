#include "engrave/layouts/program_size.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

TEST(RequireRoom, RefusesAProgramLargerThanTheFreeSpaceGivingBoth) {
  EXPECT_NO_THROW(RequireRoom(1000, 1000, "from its first number", "/out/"));
  EXPECT_NO_THROW(RequireRoom(std::uint64_t{1} << 50, std::nullopt, "x", "/out/"));
  EXPECT_THAT([] { RequireRoom(1'600'000'000'000, 20'300'000'000, "estimated from its first "
                               "and last number, 1000000000 numbers", "/out/"); },
              ThrowsMessage<Error>(HasSubstr(
                  "The program would take about 1.6 TB (estimated from its first and last "
                  "number, 1000000000 numbers), but the folder '/out/' has 20.3 GB free")));
  EXPECT_THAT([] { RequireRoom(1001, 1000, "x", ""); },
              ThrowsMessage<Error>(HasSubstr("1001 bytes (x), but the folder '.' has 1000 bytes")));
}

TEST(ShownSize, BytesBelowAMegabyteThenOneDecimal) {
  EXPECT_EQ(ShownSize(0), "0 bytes");
  EXPECT_EQ(ShownSize(999'999), "999999 bytes");
  EXPECT_EQ(ShownSize(10'500'000'000), "10.5 GB");
  EXPECT_EQ(ShownSize(2'000'000), "2.0 MB");
}

TEST(FreeBytesFor, AsksTheFolderOfThePath) {
  EXPECT_TRUE(FreeBytesFor("/tmp/no-such-program.eia").has_value());
  EXPECT_FALSE(FreeBytesFor("/no/such/folder/job.eia").has_value());
}

}  // namespace
}  // namespace stylor
