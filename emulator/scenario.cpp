#include "emulator/scenario.hpp"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "emulator/part_chip.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::emulator {
namespace {

namespace fs = std::filesystem;
using markup::MarkupStore;

struct Context {
  const std::string& path;
  const std::vector<std::string>& dataFolders;
  Emulator& emulator;
  std::vector<std::string>& problems;
  MarkupStore& store;
  std::optional<BoardIdentity> firstPartIdentity;

  void Problem(const std::string& text) {
    problems.push_back(path + ":" + std::to_string(store.SourceLine(store.XmlFileIndex())) + ": " +
                       text);
  }
  std::optional<int32_t> Hex(std::string_view name) {
    const std::string text = store.GetAttribute(name);
    if (text.empty()) {
      return std::nullopt;
    }
    const auto value = definition::ParseHex(text);
    if (!value) {
      Problem(std::string(name) + " \"" + text + "\" is not hexadecimal");
    }
    return value;
  }
  double Decimal(std::string_view name, double fallback) {
    const std::string text = store.GetAttribute(name);
    if (text.empty()) {
      return fallback;
    }
    const auto value = definition::ParseDecimal(text);
    if (!value) {
      Problem(std::string(name) + " \"" + text + "\" is not a number");
      return fallback;
    }
    return *value;
  }
  // A whole number from 0 to `limit`; out-of-range values are reported.
  uint32_t WholeNumber(std::string_view name, uint32_t fallback, uint32_t limit) {
    const double value = Decimal(name, fallback);
    if (value < 0 || value > limit || value != static_cast<double>(static_cast<int64_t>(value))) {
      Problem(std::string(name) + " must be a whole number from 0 to " + std::to_string(limit));
      return fallback;
    }
    return static_cast<uint32_t>(value);
  }
};

// Hex byte list separated by spaces or commas ("0,100" or "01 02 03").
std::optional<std::vector<int32_t>> HexList(std::string_view text) {
  std::vector<int32_t> values;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == ',') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != ',') {
      ++end;
    }
    const auto value = definition::ParseHex(text.substr(i, end - i));
    if (!value) {
      return std::nullopt;
    }
    values.push_back(*value);
    i = end;
  }
  return values;
}

bool SafeDeviceName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

std::optional<std::string> ResolvePart(Context& c, const std::string& device,
                                       const std::string& file) {
  const fs::path scenarioFolder = fs::path(c.path).parent_path();
  std::error_code error;
  if (!file.empty()) {
    fs::path candidate = file;
    if (candidate.is_relative()) {
      candidate = scenarioFolder / candidate;
    }
    if (fs::is_regular_file(candidate, error)) {
      return candidate.string();
    }
    c.Problem("part file " + candidate.string() + " not found");
    return std::nullopt;
  }
  if (!SafeDeviceName(device)) {
    c.Problem("chip needs a device name (no \"/\") or a file");
    return std::nullopt;
  }
  const fs::path beside = scenarioFolder / ".." / "device" / device;
  if (fs::is_regular_file(beside, error)) {
    return beside.lexically_normal().string();
  }
  if (auto found = definition::FindDataFile(c.dataFolders, "device/" + device)) {
    return found;
  }
  c.Problem("part definition \"" + device + "\" not found in any device folder");
  return std::nullopt;
}

std::shared_ptr<TemperatureSource> SourceNamed(Context& c, const std::string& name) {
  if (name.empty()) {
    return c.emulator.DefaultTemperatureSource();
  }
  auto source = c.emulator.FindTemperatureSource(name);
  if (!source) {
    c.Problem("no temperature source \"" + name + "\"");
    return c.emulator.DefaultTemperatureSource();
  }
  return source;
}

void ReadTemperatureSource(Context& c) {
  TemperatureSource source;
  const std::string name = c.store.GetAttribute("name");
  if (!name.empty()) {
    source.name = name;
  }
  source.meanCelsius = c.Decimal("mean", source.meanCelsius);
  source.amplitudeCelsius = c.Decimal("amplitude", source.amplitudeCelsius);
  source.periodSeconds = c.Decimal("period", source.periodSeconds);
  source.noiseCelsius = c.Decimal("noise", source.noiseCelsius);
  source.seed = c.WholeNumber("seed", source.seed, 0xFFFFFFFFu);
  if (c.emulator.FindTemperatureSource(source.name)) {
    c.Problem("temperature source \"" + source.name + "\" defined twice");
    return;
  }
  c.emulator.AddTemperatureSource(std::move(source));
}

void ReadChipChildren(Context& c, PartChip& part, bool follow, const std::string& chipSource) {
  std::vector<std::string> rebound;  // titles given their own source
  const auto clock = c.emulator.GetBuses()->Clock();
  c.store.PushIndex();
  while (c.store.FindElement(2, "temp")) {
    const std::string title = c.store.GetAttribute("title");
    const auto source = SourceNamed(
        c, c.store.GetAttribute("source").empty() ? chipSource : c.store.GetAttribute("source"));
    const std::string addr = c.store.GetAttribute("addr");
    if (!addr.empty()) {
      const auto addresses = HexList(addr);
      if (!addresses || addresses->empty() || addresses->size() > 4 ||
          std::any_of(addresses->begin(), addresses->end(),
                      [](int32_t a) { return a < 0 || a >= kChipAddressCount; })) {
        c.Problem("temp addr \"" + addr + "\" is not 1 to 4 chip addresses below 400");
        continue;
      }
      const std::vector<uint16_t> bytes(addresses->begin(), addresses->end());
      const bool isSigned = c.store.GetAttribute("signed") != "false";
      part.chip->BindTemperature(
          TemperatureRegister::FromLsb(c.Decimal("lsb", 0.0625),
                                       static_cast<int>(c.WholeNumber("shift", 0, 31)), isSigned,
                                       bytes),
          source, clock);
      continue;
    }
    const auto it = std::find_if(part.temperatures.begin(), part.temperatures.end(),
                                 [&](const PartTemperature& t) { return t.title == title; });
    if (it == part.temperatures.end()) {
      c.Problem("the part has no temperature register titled \"" + title + "\"");
      continue;
    }
    part.chip->BindTemperature(it->reg, source, clock);
    rebound.push_back(title);
  }
  c.store.PopIndex();

  c.store.PushIndex();
  while (c.store.FindElement(2, "byte")) {
    const auto address = c.Hex("addr");
    const auto value = c.Hex("value");
    if (!address || !value || *address < 0 || *address >= kChipAddressCount || *value < 0 ||
        *value > 0xFF) {
      c.Problem("byte needs a chip addr below 400 and a value up to FF");
      continue;
    }
    part.chip->SetByte(static_cast<uint16_t>(*address), static_cast<uint8_t>(*value));
  }
  c.store.PopIndex();

  if (!follow) {
    return;
  }
  const auto source = SourceNamed(c, chipSource);
  for (const PartTemperature& temperature : part.temperatures) {
    if (std::find(rebound.begin(), rebound.end(), temperature.title) == rebound.end()) {
      part.chip->BindTemperature(temperature.reg, source, clock);
    }
  }
}

std::optional<ChipBus> BusOfInterface(const std::string& type) {
  return ChipBusFromName(type);
}

void PlacePart(Emulator& emulator, const std::string& name, PartChip& part, ChipBus bus,
               uint8_t address, std::vector<uint16_t> window, std::vector<std::string>& problems,
               const std::string& where) {
  for (const std::string& warning : part.warnings) {
    problems.push_back(warning);
  }
  {
    std::lock_guard<std::mutex> lock(emulator.GetBuses()->Mutex());
    for (const auto& [reg, value] : part.boardRegisters) {
      emulator.GetBuses()->Registers().SetPowerUp(reg, value);
    }
  }
  if (!emulator.PlaceChip(name, bus, address, part.chip, std::move(window))) {
    problems.push_back(where + "cannot place \"" + name + "\" at " + definition::Hex2(address) +
                       " on " + std::string(ChipBusName(bus)) +
                       " (taken, or beyond the bus's addresses)");
  }
}

void ReadChip(Context& c) {
  const std::string device = c.store.GetAttribute("device");
  const std::string file = c.store.GetAttribute("file");
  const auto path = ResolvePart(c, device, file);
  if (!path) {
    return;
  }
  std::string error;
  auto part = LoadPartChip(*path, &error);
  if (!part) {
    c.Problem(error);
    return;
  }
  const std::string busText = c.store.GetAttribute("bus");
  const auto bus = BusOfInterface(busText.empty() ? part->interfaceType : busText);
  if (!bus) {
    c.Problem("no emulated bus for \"" + (busText.empty() ? part->interfaceType : busText) + "\"");
    return;
  }
  std::optional<int32_t> address = c.Hex("addr");
  if (!address && !c.store.GetAttribute("addr").empty()) {
    return;  // reported by Hex
  }
  if (!address) {
    if (part->defaultAddress) {
      address = *part->defaultAddress;
    } else if (*bus == ChipBus::kMicrowire || *bus == ChipBus::kQx3Test) {
      address = 0;
    } else {
      c.Problem("chip needs an addr (the part names none)");
      return;
    }
  }
  if (*address < 0 || *address > 0xFF) {
    c.Problem("addr beyond FF");
    return;
  }
  std::vector<uint16_t> window;
  const std::string windowText = c.store.GetAttribute("window");
  if (!windowText.empty()) {
    const auto list = HexList(windowText);
    if (!list) {
      c.Problem("window \"" + windowText + "\" is not a list of hex addresses");
    } else {
      window.assign(list->begin(), list->end());
    }
  }
  if (!c.firstPartIdentity && part->usbIdentity) {
    c.firstPartIdentity = part->usbIdentity;
  }
  ReadChipChildren(c, *part, c.store.GetAttribute("follow") != "false",
                   c.store.GetAttribute("source"));
  const std::string where =
      c.path + ":" + std::to_string(c.store.SourceLine(c.store.XmlFileIndex())) + ": ";
  PlacePart(c.emulator, device.empty() ? file : device, *part, *bus, static_cast<uint8_t>(*address),
            std::move(window), c.problems, where);
}

void ReadBoard(Context& c) {
  const std::string classText = definition::LowerCase(c.store.GetAttribute("class"));
  BoardClass boardClass = BoardClass::kHighSpeed;
  if (classText == "fullspeed" || classText == "0110") {
    boardClass = BoardClass::kFullSpeed;
  } else if (!classText.empty() && classText != "highspeed" && classText != "0200") {
    c.Problem("board class \"" + classText + "\" is neither fullspeed nor highspeed");
  }
  BoardIdentity identity = c.firstPartIdentity.value_or(
      BoardIdentity{kBootVendorId, TraitsOf(boardClass).bootProductId});
  if (const auto vid = c.Hex("vid"); vid && *vid >= 0 && *vid <= 0xFFFF) {
    identity.vendorId = static_cast<uint16_t>(*vid);
  }
  if (const auto pid = c.Hex("pid"); pid && *pid >= 0 && *pid <= 0xFFFF) {
    identity.productId = static_cast<uint16_t>(*pid);
  }
  Board& board = c.emulator.AddBoard(boardClass, identity);
  board.SetReplugsOnSearch(c.store.GetAttribute("replug") != "false");
  board.SetReEnumerationSearches(c.WholeNumber("reenumerate", 0, 1000000));
}

void ReadStream(Context& c) {
  StreamSource& stream = c.emulator.GetBuses()->Stream();
  std::vector<uint8_t> bytes;
  const std::string hex = c.store.GetAttribute("hex");
  if (!hex.empty()) {
    const auto list = HexList(hex);
    if (!list ||
        std::any_of(list->begin(), list->end(), [](int32_t v) { return v < 0 || v > 0xFF; })) {
      c.Problem("stream hex \"" + hex + "\" is not a list of bytes");
      return;
    }
    bytes.assign(list->begin(), list->end());
  } else {
    const std::string text = c.store.GetAttribute("text");
    bytes.assign(text.begin(), text.end());
  }
  std::lock_guard<std::mutex> lock(c.emulator.GetBuses()->Mutex());
  if (c.store.GetAttribute("repeat") == "true") {
    stream.SetRepeat(std::move(bytes));
  } else {
    stream.Push(bytes);
  }
}

void ReadBoardRegister(Context& c) {
  const auto address = c.Hex("addr");
  const auto value = c.Hex("value");
  if (!address || !value || *address < 0 || *address > 0xFFFF || *value < 0 || *value > 0xFF) {
    c.Problem("boardreg needs an addr up to FFFF and a value up to FF");
    return;
  }
  std::lock_guard<std::mutex> lock(c.emulator.GetBuses()->Mutex());
  c.emulator.GetBuses()->Registers().SetPowerUp(static_cast<uint16_t>(*address),
                                                static_cast<uint8_t>(*value));
}

template <typename Reader>
void ForEach(Context& c, std::string_view name, Reader reader) {
  c.store.FindElement(0, "definition");
  c.store.PushIndex();
  while (c.store.FindElement(1, name)) {
    c.store.PushIndex();
    reader(c);
    c.store.PopIndex();
  }
  c.store.PopIndex();
}

}  // namespace

bool LoadScenario(const std::string& path, const std::vector<std::string>& dataFolders,
                  Emulator& emulator, std::vector<std::string>& problems) {
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  if (!store.LoadMarkupFile(path)) {
    problems.push_back("cannot read emulator scenario " + path + ": " + store.LastError());
    return false;
  }
  Context c{path, dataFolders, emulator, problems, store, std::nullopt};
  if (!store.FindElement(0, "definition")) {
    problems.push_back(path + ": no definition root element");
    return false;
  }
  // Sources first (chips refer to them), chips before boards (a board takes
  // its identity from the first chip's part).
  ForEach(c, "temperature", ReadTemperatureSource);
  ForEach(c, "chip", ReadChip);
  const size_t boardsBefore = emulator.BoardCount();
  ForEach(c, "board", ReadBoard);
  if (emulator.BoardCount() == boardsBefore) {
    emulator.AddBoard(BoardClass::kHighSpeed,
                      c.firstPartIdentity.value_or(BoardIdentity{
                          kBootVendorId, TraitsOf(BoardClass::kHighSpeed).bootProductId}));
  }
  ForEach(c, "stream", ReadStream);
  ForEach(c, "boardreg", ReadBoardRegister);
  return true;
}

void BuildDefaultBench(const std::vector<std::string>& dataFolders, Emulator& emulator,
                       std::vector<std::string>& problems) {
  std::optional<BoardIdentity> identity;
  for (const std::string& folder : dataFolders) {
    const fs::path devices = fs::path(folder) / "device";
    std::error_code error;
    if (!fs::is_directory(devices, error)) {
      continue;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(devices, error)) {
      if (entry.is_regular_file(error)) {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    const auto source = emulator.DefaultTemperatureSource();
    for (const fs::path& file : files) {
      std::string loadError;
      auto part = LoadPartChip(file.string(), &loadError);
      if (!part) {
        problems.push_back(loadError);
        continue;
      }
      const auto bus = ChipBusFromName(part->interfaceType);
      if (!bus || !part->defaultAddress) {
        continue;  // no chip to emulate (no hardware, or no address)
      }
      for (const PartTemperature& temperature : part->temperatures) {
        part->chip->BindTemperature(temperature.reg, source, emulator.GetBuses()->Clock());
      }
      if (!identity && part->usbIdentity) {
        identity = part->usbIdentity;
      }
      PlacePart(emulator, file.filename().string(), *part, *bus, *part->defaultAddress, {},
                problems, file.string() + ": ");
    }
    break;
  }
  emulator.AddBoard(BoardClass::kHighSpeed,
                    identity.value_or(BoardIdentity{
                        kBootVendorId, TraitsOf(BoardClass::kHighSpeed).bootProductId}));
}

}  // namespace kestrova::emulator
