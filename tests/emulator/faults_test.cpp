#include "emulator/faults.hpp"

#include <gtest/gtest.h>

namespace kestrova::emulator {
namespace {

TEST(FaultPlanTest, FiresOnceOnTheNthEventOfItsKind) {
  FaultPlan plan;
  plan.Arm(FaultKind::kTimeout, 3);
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kShortResponse)) << "other kinds count apart";
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_EQ(plan.Pending(FaultKind::kTimeout), 0u);
}

TEST(FaultPlanTest, CountsFromTheMomentItIsArmed) {
  FaultPlan plan;
  plan.Fire(FaultKind::kNak);
  plan.Fire(FaultKind::kNak);
  plan.Arm(FaultKind::kNak);
  EXPECT_TRUE(plan.Fire(FaultKind::kNak));
}

TEST(FaultPlanTest, ParsesTheTextForm) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(
      plan.ArmFromText("timeout@2, short ,long@1,nak,disconnect@4,download@2,reset", &error))
      << error;
  EXPECT_EQ(plan.Pending(FaultKind::kTimeout), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kShortResponse), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kLongResponse), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kNak), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kDisconnect), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kDownloadFailure), 1u);
  EXPECT_EQ(plan.Pending(FaultKind::kResetFailure), 1u);
  EXPECT_FALSE(plan.Fire(FaultKind::kTimeout));
  EXPECT_TRUE(plan.Fire(FaultKind::kTimeout));
}

TEST(FaultPlanTest, RefusesBadItemsAndArmsNothing) {
  for (const char* text :
       {"timeout@0", "timeout@", "timeout@2x", "slow", "nak@-1", "short,bogus"}) {
    FaultPlan plan;
    std::string error;
    EXPECT_FALSE(plan.ArmFromText(text, &error)) << text;
    EXPECT_NE(error.find("bad fault"), std::string::npos) << text;
    EXPECT_EQ(plan.Pending(FaultKind::kShortResponse), 0u) << text;
    EXPECT_EQ(plan.Pending(FaultKind::kTimeout), 0u) << text;
  }
}

TEST(FaultPlanTest, NamesRoundTrip) {
  for (size_t i = 0; i < kFaultKindCount; ++i) {
    const auto kind = static_cast<FaultKind>(i);
    EXPECT_EQ(FaultFromName(FaultName(kind)), kind);
  }
  EXPECT_FALSE(FaultFromName("Timeout").has_value());
}

}  // namespace
}  // namespace kestrova::emulator
