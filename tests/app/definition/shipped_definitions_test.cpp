// The part definitions, firmware images and conversion rows the program ships:
// every definition loads clean, is already in the form the program writes,
// and follows the conventions the engine and the emulated board rely on (the
// conversion rows are checked where they convert, in the engine's tests).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "definition/checker.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition {
namespace {

namespace fs = std::filesystem;
using markup::MarkupStore;

const fs::path kDeviceFolder = fs::path(KESTROVA_DATA_DIR) / "device";
const fs::path kFirmwareFolder = fs::path(KESTROVA_DATA_DIR) / "bix";

// Chip byte addresses from 0x100 on hold the further bytes of a wide register.
constexpr std::int32_t kSecondByteBase = 0x100;
constexpr std::int32_t kBoardRegisterBase = 0x400;

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> DeviceNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kDeviceFolder)) {
    if (entry.is_regular_file()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::int32_t HexOf(const std::string& text) {
  return std::stoi(text, nullptr, 16);
}

// One bit field as the engine sees it.
struct Field {
  std::string label;
  std::int32_t readAddress = 0;
  BitfieldInfo info;
};

// One register with its bit fields, in file order, hidden ones included.
struct Register {
  int line = 0;  // physical line of the register element
  RegisterInfo info;
  std::string format;
  std::vector<Field> fields;

  // The distinct read addresses of the fields, in the order the fields list them.
  std::vector<std::int32_t> ByteAddresses() const {
    std::vector<std::int32_t> addresses;
    for (const Field& field : fields) {
      if (std::find(addresses.begin(), addresses.end(), field.readAddress) == addresses.end()) {
        addresses.push_back(field.readAddress);
      }
    }
    return addresses;
  }
};

std::vector<Register> ReadRegisters(MarkupStore& store) {
  std::vector<Register> registers;
  WalkOptions options;
  options.usbLink = true;
  DefinitionWalk walk(store, options);
  if (!walk.PositionOnPart()) {
    return registers;
  }
  while (walk.FindNextRegister()) {
    Register reg;
    reg.line = store.SourceLine(store.XmlFileIndex());
    reg.info = ReadRegister(store);
    reg.format = store.GetAttribute("format");
    const int registerLine = store.XmlFileIndex();
    while (walk.FindNextBitfield()) {
      Field field;
      field.info = ReadBitfield(store);
      field.label = field.info.label;
      field.readAddress = HexOf(field.info.addr.read);
      reg.fields.push_back(field);
    }
    store.SetXmlFileIndex(registerLine);
    registers.push_back(reg);
  }
  return registers;
}

class ShippedDefinitions : public ::testing::Test {
 protected:
  void SetUp() override { names_ = DeviceNames(); }

  // Loads a definition into `store`; false (with a test failure) when it does not load.
  static bool Load(MarkupStore& store, const std::string& name) {
    const bool loaded = store.LoadMarkupFile((kDeviceFolder / name).string());
    EXPECT_TRUE(loaded) << name << ": " << store.LastError();
    return loaded;
  }

  std::vector<std::string> names_;
};

TEST_F(ShippedDefinitions, LoadWithoutAnyCheckerProblemOrMessage) {
  for (const std::string& name : names_) {
    MarkupStore store;
    markup::MessageBoxRecorder messages;
    const DefinitionLoad load = LoadDefinition(store, (kDeviceFolder / name).string(), messages);
    EXPECT_TRUE(load.loaded) << name;
    EXPECT_EQ(load.problems, std::vector<std::string>{}) << name;
    EXPECT_TRUE(messages.shown.empty()) << name;
  }
}

TEST_F(ShippedDefinitions, AreStoredExactlyAsTheProgramWritesThem) {
  for (const std::string& name : names_) {
    MarkupStore store;
    ASSERT_TRUE(Load(store, name));
    // One tag per line, one space per depth, CR LF, nothing before or after the root.
    EXPECT_EQ(FileBytes(kDeviceFolder / name), store.SavedText()) << name;
  }
}

TEST_F(ShippedDefinitions, AreSingleByteTextWithoutMultiByteSequences) {
  for (const std::string& name : names_) {
    const std::string bytes = FileBytes(kDeviceFolder / name);
    // A UTF-8 lead byte followed by a continuation byte would show as two
    // characters ("Â°") in a Latin-1 file.
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
      const auto lead = static_cast<unsigned char>(bytes[i]);
      const auto next = static_cast<unsigned char>(bytes[i + 1]);
      EXPECT_FALSE(lead >= 0xC2 && lead <= 0xF4 && next >= 0x80 && next <= 0xBF)
          << name << " at byte " << i;
    }
    EXPECT_EQ(bytes.find('\t'), std::string::npos) << name;
  }
}

TEST_F(ShippedDefinitions, FollowTheRegisterConventions) {
  for (const std::string& name : names_) {
    MarkupStore store;
    ASSERT_TRUE(Load(store, name));
    std::map<std::int32_t, int> ownerLine;  // byte address -> register line
    for (const Register& reg : ReadRegisters(store)) {
      SCOPED_TRACE(name + ":" + std::to_string(reg.line));
      // The log header lists every register by title and formatted value.
      EXPECT_FALSE(reg.info.title.empty());
      EXPECT_FALSE(reg.format.empty());
      ASSERT_FALSE(reg.fields.empty());

      const bool wholeValue = reg.info.textbox == RegisterTextbox::kTrue || reg.info.scrollbar;
      for (const Field& field : reg.fields) {
        SCOPED_TRACE(field.label);
        // A whole-register box places its value into every field through
        // regbit; a field without one would receive bits of the value.
        if (wholeValue) {
          EXPECT_NE(field.info.regBit.kind, RegBit::Kind::kAbsent);
        }
        if (field.info.regBit.kind == RegBit::Kind::kRange) {
          EXPECT_EQ(field.info.regBit.range.high - field.info.regBit.range.low,
                    field.info.bit.high - field.info.bit.low);
        }
        // A field box places its raw value into the byte unsigned.
        if (field.info.textbox && field.info.input.present) {
          EXPECT_GE(std::min(field.info.input.first, field.info.input.second), 0.0);
        }
        if (field.readAddress >= kBoardRegisterBase) {
          EXPECT_TRUE(reg.info.usb);
        }
        const auto [it, fresh] = ownerLine.emplace(field.readAddress, reg.line);
        EXPECT_TRUE(fresh || it->second == reg.line) << "byte shared with line " << it->second;
      }

      const std::vector<std::int32_t> addresses = reg.ByteAddresses();
      std::set<std::int32_t> chipRegisters;
      for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::int32_t address = addresses[i];
        if (address >= kSecondByteBase && address < kBoardRegisterBase) {
          // A further byte of a wide register directly follows the byte before it.
          ASSERT_GT(i, 0u);
          EXPECT_EQ(addresses[i - 1] + kSecondByteBase, address);
        }
        chipRegisters.insert(address % kSecondByteBase);
      }
      // Repeated readings of one wide register would form a run longer than the register.
      if (reg.info.verify) {
        EXPECT_EQ(chipRegisters.size(), addresses.size());
      }
    }
  }
}

TEST(ShippedFirmwareImages, FitTheBoardAndLeaveTheIdentityAreaFree) {
  for (const char* file : {"dravik.bix", "dravik.bi2"}) {
    SCOPED_TRACE(file);
    const std::string image = FileBytes(kFirmwareFolder / file);
    EXPECT_GE(image.size(), 4096u);
    EXPECT_LE(image.size(), 8192u);
    EXPECT_EQ(image.rfind("Kestrova emulated board firmware", 0), 0u);
    ASSERT_GT(image.size(), 0x0F0Bu);
    EXPECT_EQ(image.substr(0x0F08, 4), std::string(4, '\0'));
  }
}

}  // namespace
}  // namespace kestrova::definition
