#include "emulator/register_chip.hpp"

#include <gtest/gtest.h>

#include <memory>

#include "emulator/part_chip.hpp"

namespace kestrova::emulator {
namespace {

// Startup values at their bits (a value wider than its field is cut, bit
// numbers count modulo eight); writes change only the writable bits a field
// names, through the field's write address; addresses beyond the chip are
// harmless.
TEST(RegisterChipTest, FieldsHoldTheirStartupValuesAndTakeWritesAtTheirWriteAddress) {
  RegisterChip chip;
  chip.DefineField(0x01, 0x01, 7, 5, 0x5, true);
  chip.DefineField(0x01, 0x01, 4, 4, 0x1, false);
  chip.DefineField(0x01, 0x01, 1, 0, 0x7, true);
  chip.DefineField(0x100, 0x100, 15, 8, 0x12, true);
  chip.DefineField(0x03, 0x03, 7, 4, 0x0, true);
  chip.DefineField(0x03, 0x03, 3, 0, 0xA, false);
  chip.DefineField(0x04, 0x04, 0, 0, 0, true);
  chip.DefineField(0x10, 0x90, 7, 0, 0x00, true);
  chip.DefineField(0x400, 0x400, 7, 0, 0xFF, true);
  EXPECT_EQ(chip.Byte(0x01), 0xB3);
  EXPECT_EQ(chip.Byte(0x100), 0x12);
  EXPECT_TRUE(chip.Names(0x01));
  EXPECT_FALSE(chip.Names(0x02));
  EXPECT_FALSE(chip.Names(0x400));
  struct Write {
    uint16_t address;
    uint8_t value;
    uint16_t read;
    uint8_t after;
  };
  const Write writes[] = {{0x03, 0xFF, 0x03, 0xFA}, {0x03, 0x00, 0x03, 0x0A},
                          {0x04, 0xFF, 0x04, 0x01}, {0x10, 0x55, 0x10, 0x00},
                          {0x90, 0x55, 0x10, 0x55}, {0x90, 0x55, 0x90, 0x00},
                          {0x1000, 1, 0x400, 0xFF}};
  for (const Write& w : writes) {
    chip.WriteByte(w.address, w.value);
    EXPECT_EQ(chip.ReadByte(w.read), w.after) << std::hex << w.address;
  }
  chip.SetByte(0x7FFF, 1);
}

// A source that holds `celsius` and a clock that stands still.
std::shared_ptr<TemperatureSource> Steady(double celsius) {
  return std::make_shared<TemperatureSource>(
      TemperatureSource{.meanCelsius = celsius, .amplitudeCelsius = 0, .noiseCelsius = 0});
}

std::shared_ptr<SimClock> StoppedClock() {
  auto clock = std::make_shared<SimClock>();
  clock->SetManual(0);
  return clock;
}

TEST(RegisterChipTest, TemperatureBytesFollowTheSourceAndLatch) {
  const auto source = Steady(25.0);
  RegisterChip chip;
  chip.SetByte(0x100, 0x05);  // flag bits below the value stay as the chip sets them
  chip.BindTemperature(TemperatureRegister::FromLsb(0.0625, 4, true, {0x000, 0x100}), source,
                       StoppedClock());
  EXPECT_TRUE(chip.FollowsTemperature(0x100));
  EXPECT_FALSE(chip.FollowsTemperature(0x001));
  // 25 C = 400 steps of 1/16 C, shifted left by 4: 0x1900.
  EXPECT_EQ(chip.ReadByte(0x000), 0x19);
  EXPECT_EQ(chip.ReadByte(0x100), 0x05);
  source->meanCelsius = -0.5;  // -8 steps: 0xFF80
  EXPECT_EQ(chip.ReadByte(0x100), 0x05) << "the low byte keeps the latched reading";
  EXPECT_EQ(chip.ReadByte(0x000), 0xFF);
  EXPECT_EQ(chip.ReadByte(0x100), 0x85);
}

TEST(PartChipTest, TemperaturesFollowTheRangeTheConfigurationSelects) {
  std::string error;
  const auto part = LoadPartChip(
      std::string(KESTROVA_DATA_DIR) + "/device/remote-diode-temperature-sensor", &error);
  ASSERT_TRUE(part) << error;
  ASSERT_EQ(part->temperatures.size(), 2u);
  const auto source = Steady(0);
  const auto clock = StoppedClock();
  for (const PartTemperature& temperature : part->temperatures) {
    part->chip->BindTemperature(temperature.reg, source, clock);
  }
  RegisterChip& chip = *part->chip;
  // The range bit is bit 2 of the configuration, written at 09. Normal range:
  // two's complement degrees, the remote in eighths; beyond it, its top. The
  // range bit set: offset binary from -64 degrees.
  const struct {
    uint8_t configuration;
    double celsius;
    int local;
    int remote;  // in eighths
  } cases[] = {{0x00, 25.0, 0x19, 200},
               {0x00, -10.25, 0xF6, 2048 - 82},
               {0x04, -10.25, 54, 430},
               {0x04, 150.0, 214, 214 * 8},
               {0x00, 150.0, 0x7F, 1023}};
  for (const auto& c : cases) {
    chip.WriteByte(0x09, c.configuration);
    source->meanCelsius = c.celsius;
    EXPECT_EQ(chip.ReadByte(0x00), c.local) << c.celsius;
    const int high = chip.ReadByte(0x01);  // latches the low byte's reading
    EXPECT_EQ(high << 3 | chip.ReadByte(0x10) >> 5, c.remote) << c.celsius;
  }
}

// Readings beyond the value bits read their end; the demo part's ranges
// (raw -4096..4095 shows -256..255.9375 degrees) convert as displayed.
TEST(TemperatureTest, RawValuesClampToTheValueBits) {
  const TemperatureRegister lsb = TemperatureRegister::FromLsb(1.0, 0, true, {0x10});
  const TemperatureRegister unsignedLsb = TemperatureRegister::FromLsb(1.0, 0, false, {0x10});
  const TemperatureRegister ranges = TemperatureRegister::FromRanges(-4096, 4095, -256, 255.9375);
  const struct {
    const TemperatureRegister& reg;
    double celsius;
    int raw;
  } cases[] = {{lsb, 300, 127},       {lsb, -300, -128},       {lsb, 25.4, 25},
               {unsignedLsb, -5, 0},  {unsignedLsb, 300, 255}, {ranges, 25.0, 400},
               {ranges, -0.0625, -1}, {ranges, 1000, 4095},    {ranges, -1000, -4096}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.reg.RawFor(c.celsius), c.raw) << c.celsius;
  }
}

}  // namespace
}  // namespace kestrova::emulator
