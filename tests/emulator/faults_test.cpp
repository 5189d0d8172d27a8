#include "emulator/faults.hpp"

#include <gtest/gtest.h>

namespace kestrova::emulator {
namespace {

// Each kind counts its own events from the moment it is armed and fires once.
TEST(FaultPlanTest, FiresOnceOnTheNthEventOfItsKindSinceArming) {
  FaultPlan plan;
  plan.Fire(FaultKind::kTimeout);
  plan.Arm(FaultKind::kTimeout, 3);
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kShortResponse)) << "other kinds count apart";
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_EQ(plan.Pending(FaultKind::kTimeout), 0u);
  plan.Arm(FaultKind::kNak);
  EXPECT_TRUE(plan.Fire(FaultKind::kNak));
}

TEST(FaultPlanTest, ParsesTheTextFormOrArmsNothing) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(
      plan.ArmFromText("timeout@2, short ,long@1,nak,disconnect@4,download@2,reset", &error))
      << error;
  for (size_t i = 0; i < kFaultKindCount; ++i) {
    const auto kind = static_cast<FaultKind>(i);
    EXPECT_EQ(plan.Pending(kind), 1u) << FaultName(kind);
    EXPECT_EQ(FaultFromName(FaultName(kind)), kind);
  }
  EXPECT_FALSE(FaultFromName("Timeout").has_value());
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
  for (const char* text :
       {"timeout@0", "timeout@", "timeout@2x", "slow", "nak@-1", "short,bogus"}) {
    FaultPlan bad;
    EXPECT_FALSE(bad.ArmFromText(text, &error)) << text;
    EXPECT_NE(error.find("bad fault"), std::string::npos) << text;
    EXPECT_EQ(bad.Pending(FaultKind::kShortResponse) + bad.Pending(FaultKind::kTimeout), 0u)
        << text;
  }
}

}  // namespace
}  // namespace kestrova::emulator
