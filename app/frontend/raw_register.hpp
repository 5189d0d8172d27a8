#pragma once
// The raw register dialog (`Rwreg`) without widgets: the rules of its three
// hexadecimal boxes and its Read, Write and "Addr+1" buttons. One register of
// any bus address, 8 or 16 bits, moves through the engine's RegRead and
// RegWrite, so the open board, bus type and port apply.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova::engine {
class Session;
}

namespace kestrova::frontend {

inline constexpr const char* kInvalidReadInput = "Invalid I2C or Register Address";
inline constexpr const char* kInvalidWriteInput = "Invalid I2C or Register Address or Data";

// What a keystroke leaves in a box (and in the panel's `RegValue`): the text
// in upper case, or nothing when it is not a hexadecimal number.
std::string RawTypedText(std::string_view text);

// What leaving a box leaves: a hexadecimal number without leading zeros (one
// digit stays: "007" gives "7", "0" stays "0"); other text as it is.
std::string RawLeadingZerosRemoved(std::string_view text);

// A box's number: one to four hexadecimal digits as a 16-bit signed value
// ("FFFF" is -1). Nothing for longer or other text.
std::optional<std::int16_t> RawHexValue(std::string_view text);

// A value as Write takes it from the value box: two hexadecimal digits at
// most for an 8-bit register, four for a 16-bit one. Nothing for other text.
std::optional<std::int16_t> RawDataValue(std::string_view text, bool sixteenBits);

// The 8 or 16 bits of a register value that the value box shows.
std::uint16_t RawShownValue(std::int16_t value, bool sixteenBits);

// A value for the value box: upper-case hexadecimal of its 8 or 16 bits,
// padded with "0" to 2 or 4 digits.
std::string RawValueText(std::int16_t value, bool sixteenBits);

// The boxes and check boxes of the dialog.
struct RawInput {
  std::string busAddress;          // `I2CBox`
  std::string registerAddress;     // `AddrBox`
  std::string value;               // `ValueBoxHex`
  bool noRegisterAddress = false;  // `NoAddr`
  bool sixteenBits = false;        // `Data16Bits`
  bool repeat = false;             // `Repeat`
};

class RawRegisterDialog {
 public:
  explicit RawRegisterDialog(engine::Session& session) : session_(session) {}

  // Read: the text for the value box, empty when the input was refused (with
  // its message) or the read failed (the engine showed why).
  std::string Read(const RawInput& input);
  // Write: false when the input was refused (with its message); a failed
  // transfer is shown by the engine.
  bool Write(const RawInput& input);

  // "Addr+1": the next register address (the low byte counts up, shown as
  // two digits: "0F" gives "10", "FF" gives "00"), or the box's text when it
  // holds no number.
  static std::string NextRegisterAddress(std::string_view text);
  // Whether "Addr+1" repeats a transfer ("Repeat" ticked), and which: the
  // last one done.
  enum class Repeat { None, Read, Write };
  Repeat RepeatAfterIncrement(const RawInput& input) const;

 private:
  // The bus address and register address (-1 without one) of the input.
  bool Addresses(const RawInput& input, std::int16_t& bus, std::int16_t& reg) const;

  engine::Session& session_;
  bool lastWasWrite_ = false;
};

}  // namespace kestrova::frontend
