// A status line along the bottom of a form. In simple mode it shows one text
// across its whole width; otherwise one text per panel of fixed width (the
// last panel takes the rest).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/controls.h"

namespace kv {

struct TStatusPanel {
  std::string Text;
  int32_t Width = 50;
};

class TStatusBar : public TCustomControl {
 public:
  explicit TStatusBar(TComponent* AOwner);

  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  const std::string& SimpleText() const { return FSimpleText; }
  // Repaints only when the text changed.
  void SetSimpleText(const std::string& Value);
  int32_t PanelCount() const { return static_cast<int32_t>(FPanels.size()); }
  void SetPanelCount(int32_t Value);
  // Out-of-range panels read as empty and are not written.
  std::string PanelText(int32_t Index) const;
  void SetPanelText(int32_t Index, const std::string& Value);
  void SetPanelWidth(int32_t Index, int32_t Value);

 protected:
  void Paint() override;

 private:
  void DrawSection(const TRect& R, const std::string& Text);
  bool FSimplePanel = false;
  std::string FSimpleText;
  std::vector<TStatusPanel> FPanels;
};

}  // namespace kv
