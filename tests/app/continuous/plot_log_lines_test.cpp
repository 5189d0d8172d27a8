#include "continuous/plot_log_lines.hpp"

#include <gtest/gtest.h>

#include "../engine/engine_fixture.hpp"

namespace kestrova::continuous {
namespace {

// A 16-bit logged register, a register that is not logged, a logged one of
// another unit, and a logged one without units.
const char* kRegisters =
    ">register log=true title=Temp units=C textbox=true format=0.0 input=-2048:2047 "
    "display=-128:127.9375 >>bitfield label=Hi addr=0 bit=15:8 regbit=11:4 value=0 >>bitfield "
    "label=Lo addr=100 bit=7:4 regbit=3:0 value=0 >register title=Config units=C format=hex "
    ">>bitfield label=C addr=1 bit=7:0 value=0 >register log=true title=Supply units=V format=0.00 "
    "input=0:255 display=0:5 >>bitfield label=S addr=2 bit=7:0 value=0 >register log=true "
    "title=Status format=hex >>bitfield label=F addr=3 bit=7:0 value=0";

class PlotLogLinesTest : public engine::testing::EngineTest {};

TEST_F(PlotLogLinesTest, EveryLoggedRegisterOnceInListOrder) {
  Part(kRegisters);
  EXPECT_EQ(PlotLogLines(session), (std::vector<std::int16_t>{3, 10, 13}));
  Part(">register title=Config format=hex >>bitfield label=C addr=1 bit=7:0 value=0");
  EXPECT_TRUE(PlotLogLines(session).empty());
}

}  // namespace
}  // namespace kestrova::continuous
