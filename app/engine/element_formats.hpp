#pragma once
// The value-format conversions for the element at the markup cursor: they
// read its attributes and never move the cursor for good.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/format_spec.hpp"
#include "engine/register_images.hpp"

namespace kestrova::markup {
class MarkupStore;
}

namespace kestrova::engine {

// The halves of `addr` (definition::ReadAddressPair): the read and the
// write address as hexadecimal text.
std::string ReadAddress(const markup::MarkupStore& store);
std::string WriteAddress(const markup::MarkupStore& store);

// The element's field placement; byte mode uses `bit` modulo 8, register mode
// `regbit` when present ("none": no part in the register).
std::int64_t PlaceField(const markup::MarkupStore& store, std::int64_t value, bool byteMode);
std::int64_t ExtractField(const markup::MarkupStore& store, std::int64_t raw, bool byteMode);

// The format of the element, with the divisor register and the conditional
// display ranges taken from the shown bytes.
FormatSpec GetFormat(markup::MarkupStore& store, const RegisterImages& images);
// The same for the register at the cursor: "hex" and "dec" span every bit its
// fields give the register value, so a 16-bit register is not cut to one byte.
FormatSpec GetRegisterFormat(markup::MarkupStore& store, const RegisterImages& images);

// The element's address caption, masked with the current group's mask.
std::string AddressCaption(const markup::MarkupStore& store, std::int32_t groupAddressMask,
                           bool showBoth);

}  // namespace kestrova::engine
