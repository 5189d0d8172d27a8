#include "continuous/continuous_read.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "definition/walk.hpp"
#include "engine/definition_layout.hpp"
#include "engine/element_formats.hpp"
#include "engine/register_edit.hpp"
#include "engine/register_operations.hpp"
#include "engine/register_view.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::continuous {

namespace {

constexpr const char* kLineEnd = "\r\n";

// Saves the markup cursor on the index stack for the length of a step.
class IndexGuard {
 public:
  explicit IndexGuard(markup::MarkupStore& store) : store_(store), pushed_(store.PushIndex()) {}
  ~IndexGuard() {
    if (pushed_) {
      store_.PopIndex();
    }
  }
  IndexGuard(const IndexGuard&) = delete;
  IndexGuard& operator=(const IndexGuard&) = delete;

 private:
  markup::MarkupStore& store_;
  bool pushed_;
};

std::string PadTo(std::string text, std::size_t width) {
  if (text.size() < width) {
    text.append(width - text.size(), ' ');
  }
  return text;
}

}  // namespace

ContinuousRead::ContinuousRead(engine::Session& session, engine::EditState& edit,
                               DateTimeText& dateTime, Clock& clock, ContinuousFrontEnd& frontEnd)
    : session_(session), edit_(edit), dateTime_(dateTime), clock_(clock), frontEnd_(frontEnd) {}

void ContinuousRead::TakeReadBytes(const engine::TransferList& list) {
  readIndex_.Clear();
  // A later entry of an address (a repeated read) holds its newer byte.
  for (int i = 0; i < list.count; ++i) {
    readIndex_.Set(list.address[static_cast<std::size_t>(i)], i);
  }
}

std::optional<std::uint8_t> ContinuousRead::ReadByteAt(const engine::TransferList& list,
                                                       std::int32_t address) const {
  if (!engine::RegisterImages::InRange(address)) {
    return std::nullopt;
  }
  const int at = readIndex_.Find(static_cast<std::int16_t>(address));
  if (at == engine::AddressIndex::kNone) {
    return std::nullopt;
  }
  return list.data[static_cast<std::size_t>(at)];
}

std::string ContinuousRead::PadTitle(const std::string& title) {
  return PadTo(title, kLogColumnWidth);
}

void ContinuousRead::OnStepTimer() {
  if (!schedule_.Running()) {
    return;
  }
  if (!state.AnyActive()) {
    schedule_.Stop();
    return;
  }
  ContinuousStep(schedule_.BeginStep(clock_.NowMilliseconds()));
  if (schedule_.Running() && state.AnyActive()) {
    frontEnd_.ArmStepTimer(schedule_.DelayAfterStep(clock_.NowMilliseconds(), state.readInterval));
  }
}

void ContinuousRead::ContinuousStep(bool firstStep) {
  markup::MarkupStore& store = session_.Store();
  IndexGuard guard(store);

  if (firstStep) {
    if (writeStartupListOnFirstStep && !engine::WritePendingList(session_)) {
      StopContinuous();
      return;
    }
    engine::ResyncRegisters(session_, edit_);
  }

  std::string line;
  bool allRegisters = state.readAllRegisters;
  if (state.logHeaderPending) {
    line = std::string(kLineEnd) + "LogFile = " + state.logFileName + kLineEnd +
           dateTime_.DateAndTime() + kLineEnd + "All Registers";
    allRegisters = true;
  } else {
    if (state.titleRowPending) {
      line = std::string("Log Registers") + kLineEnd;
    }
    line += dateTime_.Time() + "\t";
  }
  if (!ReadStep(allRegisters, line)) {
    return;
  }

  if (state.loggingActive) {
    if (!store.WriteLogLine(line)) {
      session_.ShowMessage("File read/write error for " + state.logFileName);
      if (stopLoggingOnWriteFailure) {
        StopLogging();
      }
      return;
    }
    ++state.linesWritten;
    frontEnd_.LogLinesWritten(line);
    if (state.logLimit != kNoLogLimit) {
      if (state.logCount <= state.logLimit) {
        ++state.logCount;
      } else {
        StopLogging();
      }
    }
  }
  state.titleRowPending = state.logHeaderPending;
  state.logHeaderPending = false;
  if (state.plottingActive) {
    UpdatePlots();
    if (!state.plotDataEnabled) {
      state.plotDataEnabled = true;
      frontEnd_.ContinuousControlsChanged();
    }
  }
}

bool ContinuousRead::ReadStep(bool allRegisters, std::string& line) {
  markup::MarkupStore& store = session_.Store();
  engine::TransferList list;
  if (!engine::BuildTransferList(session_, engine::Direction::Read,
                                 allRegisters ? engine::Scope::All : engine::Scope::Log, list)) {
    StopContinuous();
    return false;
  }
  const engine::ConnectionValues& c = session_.connection;
  if (list.count > 0 &&
      !session_.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, c.deviceAddress, list.address,
                                   list.data, list.count, session_.IgnoreFailures())) {
    engine::ShowBoardError(session_);
    StopContinuous();
    return false;
  }
  bool matches = true;
  engine::ApplyTransferResult(session_, engine::Direction::Read, list, true, matches);
  TakeReadBytes(list);
  if (!matches) {
    engine::ShowVerifyFailure(session_);
  }
  if (state.contReadActive) {
    frontEnd_.RefreshPanel();
  }
  // The value of every register that takes part and shows with all its
  // fields read in this step, in definition order.
  std::vector<std::pair<int, std::string>> values;
  const engine::RegisterImages& images = session_.images;
  const definition::ByteImageConditionValues conditions(
      [&images](std::int32_t address) { return images.ValueAt(address); });
  definition::WalkOptions options;
  options.applyHiding = true;
  options.values = &conditions;
  options.usbLink = c.link == engine::kLinkUsb;
  definition::DefinitionWalk walk(store, options);
  store.SetXmlFileIndex(0);
  if (!walk.PositionOnPart()) {
    return true;
  }
  while (walk.FindNextRegister()) {
    const int registerLine = store.XmlFileIndex();
    const bool logged = store.GetAttributeView("log") == "true";
    if (!logged && !state.logHeaderPending) {
      continue;
    }
    std::int64_t value = 0;
    bool complete = true;
    bool anyField = false;
    while (walk.FindNextBitfield()) {
      anyField = true;
      const auto byte = ReadByteAt(list, definition::HexToLong(engine::ReadAddress(store)));
      if (!byte) {
        complete = false;
        continue;
      }
      const std::int64_t field = engine::ExtractField(store, *byte, true);
      value += engine::PlaceField(store, field, false);
    }
    store.SetXmlFileIndex(registerLine);
    if (!anyField || !complete) {
      continue;
    }
    const std::string text =
        engine::FormatDisplayText(engine::GetRegisterFormat(store, session_.images), value);
    if (state.plottingActive) {
      plots_.SetRegisterValue(static_cast<std::int16_t>(registerLine), PlotValueOfText(text), text);
    }
    values.emplace_back(registerLine, text);
  }
  if (state.logHeaderPending) {
    for (const auto& [registerLine, text] : values) {
      store.SetXmlFileIndex(registerLine);
      line += kLineEnd + store.GetAttribute("title") + "=" + text;
    }
    return true;
  }
  // Every row has a cell under each title of the run. A register hidden at
  // this step, or not read in it, leaves its cell empty: the bytes of a
  // hidden register may mean something else in the chip's present mode.
  // Columns and values both stand in definition order: one pass pairs them.
  auto value = values.begin();
  for (const int column : logColumns_) {
    store.SetXmlFileIndex(column);
    const std::string padded = PadTitle(store.GetAttribute("title"));
    if (state.titleRowPending) {
      line += padded + "\t";
      continue;
    }
    while (value != values.end() && value->first < column) {
      ++value;
    }
    const bool read = value != values.end() && value->first == column;
    line += PadTo(read ? value->second : std::string(), padded.size()) + "\t";
  }
  return true;
}

std::vector<int> ContinuousRead::LogColumns() {
  std::vector<int> columns;
  const engine::DefinitionLayout* layout = session_.Layout();
  if (layout == nullptr) {
    return columns;
  }
  const bool usbLink = session_.connection.link == engine::kLinkUsb;
  for (const engine::RegisterLayout& reg : layout->registers) {
    if (reg.log && reg.bitfieldCount > 0 && (usbLink || !reg.usbOnly)) {
      columns.push_back(reg.line);
    }
  }
  return columns;
}

void ContinuousRead::UpdatePlots() {
  markup::MarkupStore& store = session_.Store();
  std::array<SlotRange, kMaxPlotRegisters> ranges{};
  for (int w = 0; w < plots_.PlotWindowCount(); ++w) {
    PlotChart& window = plots_.Window(w);
    for (int slot = 0; slot < window.RegSize(); ++slot) {
      store.SetXmlFileIndex(window.PlotObjRegXmlFileIndex(slot));
      const engine::FormatSpec format = engine::GetRegisterFormat(store, session_.images);
      ranges[static_cast<std::size_t>(slot)] = {format.inMin, format.inMax, format.dispMin,
                                                format.dispMax};
    }
    window.Update(
        std::span<const SlotRange>(ranges.data(), static_cast<std::size_t>(window.RegSize())));
  }
  frontEnd_.PlotWindowsUpdated();
}

void ContinuousRead::StartReadTimer() {
  frontEnd_.ArmStepTimer(schedule_.Start());
}

void ContinuousRead::LastActivityStopped() {
  schedule_.Stop();
  engine::ResyncRegisters(session_, edit_);
}

void ContinuousRead::ToggleContRead(int readContIndex) {
  state.readAllRegisters = readContIndex == kReadContAllRegs;
  if (readContIndex != kReadContOff && !state.contReadActive) {
    state.contReadActive = true;
    if (!state.loggingActive && !state.plottingActive) {
      StartReadTimer();
    }
  } else if (readContIndex == kReadContOff && state.contReadActive) {
    state.contReadActive = false;
    if (!state.loggingActive && !state.plottingActive) {
      LastActivityStopped();
    }
  }
  frontEnd_.ContinuousControlsChanged();
}

void ContinuousRead::ToggleLog() {
  if (state.loggingActive) {
    StopLogging();
    return;
  }
  if (engine::PendingWritePrompt(session_, edit_) == markup::IDCANCEL) {
    return;
  }
  std::string path = state.logFileName;
  if (!session_.Front().ShowFileDialog(kLogFileFilter, kLogFileTitle, path, kLogFileDialogFlags,
                                       false)) {
    return;
  }
  BeginLogging(path);
}

bool ContinuousRead::StartLogging(const std::string& path) {
  if (engine::PendingWritePrompt(session_, edit_) == markup::IDCANCEL) {
    return false;
  }
  return BeginLogging(path);
}

bool ContinuousRead::BeginLogging(const std::string& path) {
  if (!session_.Store().OpenLogFile(path)) {
    session_.ShowMessage("File read/write error for " + path);
    return false;
  }
  state.logFileName = path;
  logColumns_ = LogColumns();
  state.logHeaderPending = true;
  state.loggingActive = true;
  state.logCount = 0;
  state.linesWritten = 0;
  if (!state.contReadActive && !state.plottingActive) {
    StartReadTimer();
  }
  frontEnd_.ContinuousControlsChanged();
  return true;
}

void ContinuousRead::StopLogging() {
  if (!state.loggingActive) {
    return;
  }
  state.loggingActive = false;
  if (!session_.Store().CloseLogFile()) {
    session_.ShowMessage("File read/write error for " + state.logFileName);
  }
  if (!state.contReadActive && !state.plottingActive) {
    LastActivityStopped();
  }
  frontEnd_.ContinuousControlsChanged();
}

void ContinuousRead::TogglePlot(std::span<const Plot> plots) {
  if (state.plottingActive) {
    StopPlotting();
    return;
  }
  if (engine::PendingWritePrompt(session_, edit_) == markup::IDCANCEL) {
    return;
  }
  plots_.OpenPlotWindows(plots);
  frontEnd_.PlotWindowsOpened();
  state.plottingActive = true;
  state.plotDataEnabled = false;
  if (!state.contReadActive && !state.loggingActive) {
    StartReadTimer();
  }
  frontEnd_.ContinuousControlsChanged();
}

void ContinuousRead::StopPlotting() {
  if (!state.plottingActive) {
    return;
  }
  // Closing the windows one by one must not end plotting a second time.
  closingPlots_ = true;
  for (int index = plots_.PlotWindowCount() - 1; index >= 0; --index) {
    RemovePlot(index);
  }
  closingPlots_ = false;
  state.plottingActive = false;
  state.plotDataEnabled = true;
  if (!state.contReadActive && !state.loggingActive) {
    LastActivityStopped();
  }
  frontEnd_.ContinuousControlsChanged();
}

void ContinuousRead::RemovePlot(int index) {
  if (index < 0 || index >= plots_.PlotWindowCount()) {
    return;
  }
  frontEnd_.PlotWindowClosing(index);
  if (plots_.RemovePlot(index) && !closingPlots_) {
    StopPlotting();
  }
}

void ContinuousRead::StopContinuous() {
  if (state.contReadActive) {
    ToggleContRead(kReadContOff);
  }
  StopLogging();
  StopPlotting();
}

ContinuousControls ContinuousRead::Controls() const {
  ContinuousControls controls;
  if (state.contReadActive) {
    controls.readContIndex = state.readAllRegisters ? kReadContAllRegs : kReadContValueRegs;
  }
  controls.logCaption = state.loggingActive ? kStopLogCaption : kStartLogCaption;
  controls.plotCaption = state.plottingActive ? kStopPlotCaption : kStartPlotCaption;
  controls.plotDataEnabled = state.plotDataEnabled;
  controls.setLogLimitEnabled = !state.loggingActive;
  controls.selectPlotEnabled = !state.plottingActive;
  return controls;
}

}  // namespace kestrova::continuous
