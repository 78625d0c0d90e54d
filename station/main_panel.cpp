#include "station/main_panel.h"

#include "station/platform_menu.h"

void MainPanel::reset() {
  states_.fill(std::nullopt);
  filePanelShown_ = false;
}

host::ControlState MainPanel::state(host::Control control) const {
  return states_[static_cast<size_t>(control)].value_or(host::ControlState{});
}

bool MainPanel::usable(host::Control control) const {
  host::ControlState s = state(control);
  if (!s.visible || s.dimmed) return false;
  if (platformMenuItem(control)) return usable(host::Control::PlatformMenu);
  return true;
}

void MainPanel::set(host::Control control, const host::ControlState& state) {
  auto& current = states_[static_cast<size_t>(control)];
  if (current && *current == state) return;
  current = state;
  host::surface().setControl(control, state);
}

void MainPanel::setVisible(host::Control control, bool visible) {
  host::ControlState s = state(control);
  s.visible = visible;
  set(control, s);
}

void MainPanel::setDimmed(host::Control control, bool dimmed) {
  host::ControlState s = state(control);
  s.dimmed = dimmed;
  set(control, s);
}

void MainPanel::setChecked(host::Control control, bool checked) {
  host::ControlState s = state(control);
  s.checked = checked;
  set(control, s);
}

void MainPanel::showFilePanel(bool shown) {
  if (filePanelShown_ == shown) return;
  filePanelShown_ = shown;
  host::surface().showFilePanel(shown);
}

MainPanel& mainPanel() {
  static MainPanel panel;
  return panel;
}
