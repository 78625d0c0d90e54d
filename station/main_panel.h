#pragma once
// The state of the main panel's controls as the station set them. Every change is passed on
// to the operator surface; a change that leaves a control as it was is not. The operator
// front asks it whether a control can be used (visible and not dimmed). UI thread only.

#include <array>
#include <optional>
#include <string>

#include "host/operator_surface.h"

class MainPanel {
 public:
  // Forgets every state; the next setting of each control is shown whatever it is.
  void reset();

  host::ControlState state(host::Control control) const;
  // Visible and not dimmed (and, for a platform item, its menu not dimmed).
  bool usable(host::Control control) const;

  void set(host::Control control, const host::ControlState& state);
  void setVisible(host::Control control, bool visible);
  void setDimmed(host::Control control, bool dimmed);
  void setChecked(host::Control control, bool checked);

  bool filePanelShown() const { return filePanelShown_; }
  void showFilePanel(bool shown);

 private:
  std::array<std::optional<host::ControlState>, host::kControlCount> states_;
  bool filePanelShown_ = false;
};

MainPanel& mainPanel();
