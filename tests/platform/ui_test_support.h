// Shared pieces of the headless control tests: a control that records the
// handler calls it gets, event senders, and a pixel reader.
#pragma once
#include <QtCore/QCoreApplication>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QWidget>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"

namespace kv::uitest {

// Every handler call as one line of text, so a test compares the whole sequence.
class TRecorder : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string> Log;
  std::function<void(TRecorder&)> OnPaintCall;
  int32_t Paints = 0;

  static std::string ShiftText(TShiftState S) {
    std::string t;
    const char* names[] = {"Shift", "Alt", "Ctrl", "Left", "Right", "Middle", "Double"};
    for (int i = 0; i < 7; ++i)
      if (S.Contains(static_cast<TShiftStateItem>(i))) t += std::string(t.empty() ? "" : "+") + names[i];
    return t.empty() ? "-" : t;
  }

 protected:
  void MouseDown(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log.push_back("down " + std::to_string(B) + " " + ShiftText(S) + " " + std::to_string(X) + "," + std::to_string(Y));
    TCustomControl::MouseDown(B, S, X, Y);
  }
  void MouseMove(TShiftState S, int32_t X, int32_t Y) override {
    Log.push_back("move " + ShiftText(S) + " " + std::to_string(X) + "," + std::to_string(Y));
    TCustomControl::MouseMove(S, X, Y);
  }
  void MouseUp(TMouseButton B, TShiftState S, int32_t X, int32_t Y) override {
    Log.push_back("up " + std::to_string(B) + " " + ShiftText(S) + " " + std::to_string(X) + "," + std::to_string(Y));
    TCustomControl::MouseUp(B, S, X, Y);
  }
  void Click() override {
    Log.push_back("click");
    TCustomControl::Click();
  }
  void DblClick() override {
    Log.push_back("dblclick");
    TCustomControl::DblClick();
  }
  void KeyDown(uint16_t& Key, TShiftState S) override {
    Log.push_back("keydown " + std::to_string(Key) + " " + ShiftText(S));
    TCustomControl::KeyDown(Key, S);
  }
  void KeyUp(uint16_t& Key, TShiftState S) override {
    Log.push_back("keyup " + std::to_string(Key) + " " + ShiftText(S));
    TCustomControl::KeyUp(Key, S);
  }
  void KeyPress(char32_t& Key) override {
    Log.push_back("char " + std::to_string(static_cast<uint32_t>(Key)));
    TCustomControl::KeyPress(Key);
  }
  void Resize() override {
    Log.push_back("resize " + std::to_string(ClientWidth()) + "x" + std::to_string(ClientHeight()));
    TCustomControl::Resize();
  }
  void Paint() override {
    ++Paints;
    if (OnPaintCall) OnPaintCall(*this);
  }
};

inline void SendMouse(TControl* C, QEvent::Type Type, int X, int Y, Qt::MouseButton Button, Qt::MouseButtons Buttons,
                      Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  QWidget* w = ClientWidget(C);
  ASSERT_NE(w, nullptr);
  QMouseEvent e(Type, QPointF(X, Y), w->mapToGlobal(QPointF(X, Y)), Button, Buttons, Mods);
  QCoreApplication::sendEvent(w, &e);
}

inline void SendKey(TControl* C, QEvent::Type Type, int Key, Qt::KeyboardModifiers Mods, const QString& Text = {},
                    bool AutoRepeat = false) {
  QWidget* w = PeerWidget(C);
  ASSERT_NE(w, nullptr);
  QKeyEvent e(Type, Key, Mods, Text, AutoRepeat);
  QCoreApplication::sendEvent(w, &e);
}

// Returns whether the event was accepted (a wheel nobody takes goes to the parent).
inline bool SendWheel(TControl* C, int DeltaY, int DeltaX = 0, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  QWidget* w = ClientWidget(C);
  QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(DeltaX, DeltaY), Qt::NoButton, Mods,
                Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(w, &e);
  return e.isAccepted();
}

// What the control shows on screen now, as the window system would copy it.
inline QImage Grab(TControl* C) { return ClientWidget(C)->grab().toImage(); }

inline TColor PixelAt(const QImage& Img, int X, int Y) {
  const QRgb p = Img.pixel(X, Y);
  return static_cast<TColor>(RGB(static_cast<uint8_t>(qRed(p)), static_cast<uint8_t>(qGreen(p)),
                                 static_cast<uint8_t>(qBlue(p))));
}

inline void Pump() {
  for (int i = 0; i < 3; ++i) Application->ProcessMessages();
}

}  // namespace kv::uitest
