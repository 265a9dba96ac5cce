// Reading the f0 of EST tracks: the channel chosen by its name, and headers that announce
// absurd channel counts refused at once.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "convert/convert_error.h"
#include "convert/est_track.h"
#include "run_program.h"

namespace {

TEST(ReadEstF0, TakesTheChannelNamedF0WithTheHighestNumber) {
  // Channel_10 sorts before Channel_2 as a text: the number decides, as in the header's order.
  testsupport::ScratchDir dir;
  const std::string path = dir / "t.est";
  std::ofstream(path) << "EST_File Track\nDataType ascii\nNumChannels 12\nChannel_2 F0\n"
                         "Channel_10 f0\nChannel_007 F0\nEST_Header_End\n"
                         "0.01 1 0 0 200 0 0 0 0 0 0 0 110 0\n";
  const F0Track tr = read_est_f0(path);
  ASSERT_EQ(tr.t.size(), 1u);
  EXPECT_EQ(tr.f0[0], 110.0);
}

TEST(ReadEstF0, HugeChannelCountsAreRefusedAtTheFirstFrame) {
  // The channel names were looked up for every number below NumChannels: minutes for 9e8,
  // forever for the largest count, and an overflow in the field count.
  for (const char* count : {"900000000", "9223372036854775807", "99999999999999999999999"}) {
    SCOPED_TRACE(count);
    testsupport::ScratchDir dir;
    const std::string path = dir / "t.est";
    std::ofstream(path) << "EST_File Track\nDataType ascii\nNumChannels " << count
                        << "\nChannel_0 F0\nEST_Header_End\n0.01 1 100\n";
    try {
      (void)read_est_f0(path);
      ADD_FAILURE() << "no refusal";
    } catch (const ConvertError& e) {
      EXPECT_NE(std::string(e.what()).find(path + ":6: expected the time, the flag and "),
                std::string::npos)
          << e.what();
    }
  }
}

}  // namespace
