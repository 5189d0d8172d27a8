// BUS_STREAM reads: length-prefixed responses, the end of the stream, and
// the responses that would loop or overrun.
#include <gtest/gtest.h>

#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

class StreamTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    handle = OpenBoard();
  }

  // Queues a response of n bytes: length byte, payload, padding.
  void Respond(int n, uint8_t lengthByte, Bytes payload) {
    Bytes response = {lengthByte};
    response.insert(response.end(), payload.begin(), payload.end());
    response.resize(static_cast<std::size_t>(n), 0xEE);
    state->responses.push_back(response);
  }

  bool Read(int16_t& size) {
    data.assign(static_cast<std::size_t>(size), 0xCC);
    registers.assign(static_cast<std::size_t>(size), 0);
    return ReadDevice(handle, 0, BUS_STREAM, 0x30, registers.data(), data.data(), &size) == 1;
  }

  DeviceHandle handle = -1;
  Bytes data;
  std::vector<int16_t> registers;
};

TEST_F(StreamTest, ShortResponseEndsTheStreamAndLowersTheCount) {
  Respond(10, 5, {0xA1, 0xA2, 0xA3, 0xA4});
  int16_t size = 10;
  ASSERT_TRUE(Read(size)) << LastError();
  EXPECT_EQ(size, 4);
  EXPECT_EQ(Hex(state->sent[0]), "00 05 00 0A");
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{0xA1, 0xA2, 0xA3, 0xA4}));
  EXPECT_EQ(data[4], 0xCC);
}

TEST_F(StreamTest, FullResponsesContinueUntilTheStreamEnds) {
  Bytes first(57);
  for (int i = 0; i < 57; ++i) {
    first[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  }
  Respond(58, 58, first);
  Respond(13, 4, {0xF0, 0xF1, 0xF2});
  int16_t size = 70;
  ASSERT_TRUE(Read(size)) << LastError();
  ASSERT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[0]), "00 05 00 3A");
  EXPECT_EQ(Hex(state->sent[1]), "00 05 00 0D");
  EXPECT_EQ(size, 60);
  EXPECT_EQ(data[0], 0);
  EXPECT_EQ(data[56], 56);
  EXPECT_EQ(data[57], 0xF0);
  EXPECT_EQ(data[59], 0xF2);
}

TEST_F(StreamTest, EmptyStreamSucceedsWithCountZero) {
  Respond(5, 1, {});
  int16_t size = 5;
  ASSERT_TRUE(Read(size)) << LastError();
  EXPECT_EQ(size, 0);
}

TEST_F(StreamTest, LengthByteZeroStops) {
  Respond(5, 0, {});
  int16_t size = 5;
  EXPECT_FALSE(Read(size));
  EXPECT_EQ(LastError(), "ReadDevice: Stream length byte is 0");
  EXPECT_EQ(size, 5);
  EXPECT_EQ(data, Bytes(5, 0xCC));
}

TEST_F(StreamTest, LengthByteAboveTheRequestStops) {
  Respond(5, 6, {1, 2, 3, 4});
  int16_t size = 5;
  EXPECT_FALSE(Read(size));
  EXPECT_EQ(LastError(), "ReadDevice: Stream length byte > bytes requested");
  EXPECT_EQ(data, Bytes(5, 0xCC));
}

TEST_F(StreamTest, FullResponseToAOneByteRequestStopsInsteadOfLooping) {
  Respond(1, 1, {});
  int16_t size = 1;
  EXPECT_FALSE(Read(size));
  EXPECT_EQ(LastError(), "ReadDevice: Stream response to a one-byte request carries no data");
  EXPECT_EQ(state->sent.size(), 1u);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(data, Bytes(1, 0xCC));
}

TEST_F(StreamTest, ReadEndingInAOneByteRequestHandsOverWhatCame) {
  // A stream that fills every response leaves one byte to ask for at the
  // end; that request carries nothing, and the bytes already read are kept.
  Respond(3, 3, {0x11, 0x22});
  Respond(1, 1, {});
  int16_t size = 3;
  ASSERT_TRUE(Read(size)) << LastError();
  EXPECT_EQ(state->sent.size(), 2u);
  EXPECT_EQ(Hex(state->sent[1]), "00 05 00 01");
  EXPECT_EQ(size, 2);
  EXPECT_EQ(data, (Bytes{0x11, 0x22, 0xCC}));
}

TEST_F(StreamTest, StreamIsNotSplitIntoBoardPass) {
  Respond(2, 2, {0x99});
  Respond(1, 1, {});
  data.assign(2, 0);
  int16_t regs[2] = {1024, 1025};
  int16_t size = 2;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_STREAM, 0, regs, data.data(), &size), 1);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(data[0], 0x99);
  for (const Bytes& packet : state->sent) {
    EXPECT_EQ(packet[1], BUS_STREAM);
  }
}

TEST_F(StreamTest, MoreThan1024IsRefused) {
  int16_t size = 1025;
  EXPECT_FALSE(Read(size));
  EXPECT_EQ(LastError(), "ReadDevice: More than 1024 registers in one pass");
  EXPECT_TRUE(state->sent.empty());
}

TEST_F(StreamTest, ShortResponseFails) {
  state->responses.push_back(Bytes{3, 1});
  int16_t size = 3;
  EXPECT_FALSE(Read(size));
  EXPECT_EQ(LastError(), "ReadDevice: Wrong number of bytes returned");
}

}  // namespace
}  // namespace dravik::testing
