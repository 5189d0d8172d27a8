#pragma once
// Puts one page of the panel model onto the grid: on a changed page the rows
// are relabelled, reconfigured and shown or hidden; otherwise only values,
// colours, locks and changed drop-down texts are touched, so a refresh by the
// read loop costs little.

namespace kestrova::frontend {
struct PanelView;
}

namespace kestrova::mainwindow {

class RegisterGrid;

void ShowPanelPage(RegisterGrid& grid, const frontend::PanelView& view);

}  // namespace kestrova::mainwindow
