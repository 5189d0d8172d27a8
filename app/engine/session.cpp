#include "engine/session.hpp"

#include "markup/markup_store.hpp"

namespace kestrova::engine {

bool IsNoHardwareBus(std::int16_t busType) {
  return busType == 10 || busType == 11 || busType == 12 || busType == 14 || busType == 15;
}

Session::Session(markup::MarkupStore& store, DeviceLibrary& library, EngineFrontEnd& frontEnd)
    : store_(store), bridge_(library), frontEnd_(frontEnd) {}

void Session::OnPartOpened() {
  layout_.reset();
  layoutProblem_.clear();
  layoutRead_ = false;
}

const DefinitionLayout* Session::Layout() {
  // Loading lines (a new part, generated bit fields) changes the line count;
  // values changing in place do not touch what the layout holds.
  if (layoutRead_ && layoutLineCount_ != store_.LineCount()) {
    OnPartOpened();
  }
  if (!layoutRead_) {
    layoutRead_ = true;
    layoutLineCount_ = store_.LineCount();
    LayoutResult result = ReadDefinitionLayout(store_);
    if (result.problem.empty()) {
      layout_ = std::make_unique<DefinitionLayout>(std::move(result.layout));
    } else {
      layoutProblem_ = std::move(result.problem);
    }
  }
  return layout_.get();
}

void Session::ShowMessage(const std::string& text) {
  frontEnd_.Show(text, markup::MB_OK);
}

}  // namespace kestrova::engine
