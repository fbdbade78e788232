// Virtual-key codes from Qt keys, and the keyboard state the application has seen.
#include <QtCore/Qt>

#include <bitset>
#include <cctype>

#include "platform/ui/menus.h"
#include "platform/ui/messages.h"
#include "platform/ui/peer.h"

namespace kv {

namespace {

Qt::KeyboardModifiers GModifiers;
Qt::MouseButtons GButtons;
std::bitset<256> GKeysDown;

}  // namespace

void NoteKeyState(uint16_t VirtKey, bool Down) {
  if (VirtKey < GKeysDown.size()) GKeysDown[VirtKey] = Down;
}

void NoteInputState(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons) {
  GModifiers = Modifiers;
  GButtons = Buttons;
}

int16_t GetKeyState(int32_t VirtKey) {
  bool down = false;
  switch (VirtKey) {
    case VK_SHIFT:
    case VK_LSHIFT:
    case VK_RSHIFT: down = GModifiers & Qt::ShiftModifier; break;
    case VK_CONTROL:
    case VK_LCONTROL:
    case VK_RCONTROL: down = GModifiers & Qt::ControlModifier; break;
    case VK_MENU:
    case VK_LMENU:
    case VK_RMENU: down = GModifiers & Qt::AltModifier; break;
    case VK_LBUTTON: down = GButtons & Qt::LeftButton; break;
    case VK_RBUTTON: down = GButtons & Qt::RightButton; break;
    case VK_MBUTTON: down = GButtons & Qt::MiddleButton; break;
    default: down = VirtKey >= 0 && VirtKey < int32_t(GKeysDown.size()) && GKeysDown[size_t(VirtKey)]; break;
  }
  return down ? static_cast<int16_t>(-32768) : 0;
}

TShiftState KeysToShiftState(uint32_t Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(int32_t KeyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (KeyData & AltMask) s.Include(ssAlt);
  return s;
}

uint16_t VirtualKeyOf(int QtKey, Qt::KeyboardModifiers Modifiers) {
  const bool keypad = Modifiers & Qt::KeypadModifier;
  if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) return static_cast<uint16_t>('A' + (QtKey - Qt::Key_A));
  if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9)
    return static_cast<uint16_t>((keypad ? VK_NUMPAD0 : '0') + (QtKey - Qt::Key_0));
  if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (QtKey - Qt::Key_F1));
  switch (QtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Select: return VK_SELECT;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Execute: return VK_EXECUTE;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Asterisk: return keypad ? VK_MULTIPLY : '8';
    case Qt::Key_Plus: return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus: return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Period: return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Slash: return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Comma: return keypad ? VK_SEPARATOR : VK_OEM_COMMA;
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return VK_OEM_7;
    // Shifted digits of the common layout give their digit key.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
  }
}

// ---- shortcuts ----

namespace {

struct TKeyName {
  uint16_t Key;
  const char* Name;
  int QtKey;
};

// Keys whose name is not their own character; letters, digits and F1..F24 are made up below.
constexpr TKeyName kKeyNames[] = {
    {VK_BACK, "Rück", Qt::Key_Backspace},
    {VK_TAB, "Tab", Qt::Key_Tab},
    {VK_RETURN, "Eingabe", Qt::Key_Return},
    {VK_ESCAPE, "Esc", Qt::Key_Escape},
    {VK_SPACE, "Leer", Qt::Key_Space},
    {VK_PRIOR, "Bild auf", Qt::Key_PageUp},
    {VK_NEXT, "Bild ab", Qt::Key_PageDown},
    {VK_END, "Ende", Qt::Key_End},
    {VK_HOME, "Pos1", Qt::Key_Home},
    {VK_LEFT, "Links", Qt::Key_Left},
    {VK_UP, "Oben", Qt::Key_Up},
    {VK_RIGHT, "Rechts", Qt::Key_Right},
    {VK_DOWN, "Unten", Qt::Key_Down},
    {VK_INSERT, "Einfg", Qt::Key_Insert},
    {VK_DELETE, "Entf", Qt::Key_Delete},
    {VK_PAUSE, "Pause", Qt::Key_Pause},
    {VK_ADD, "Num +", Qt::Key_Plus},
    {VK_SUBTRACT, "Num -", Qt::Key_Minus},
    {VK_MULTIPLY, "Num *", Qt::Key_Asterisk},
    {VK_DIVIDE, "Num /", Qt::Key_Slash},
    {VK_OEM_PLUS, "+", Qt::Key_Plus},
    {VK_OEM_MINUS, "-", Qt::Key_Minus},
    {VK_OEM_COMMA, ",", Qt::Key_Comma},
    {VK_OEM_PERIOD, ".", Qt::Key_Period},
};

struct TModifierName {
  TShortCut Bit;
  const char* Name;
};
// In the order they are written; the English names are only read.
constexpr TModifierName kModifierNames[] = {
    {scShift, "Umsch+"}, {scCtrl, "Strg+"}, {scAlt, "Alt+"}, {scShift, "Shift+"}, {scCtrl, "Ctrl+"},
};
constexpr int kWrittenModifiers = 3;

std::string KeyName(uint16_t Key) {
  if ((Key >= 'A' && Key <= 'Z') || (Key >= '0' && Key <= '9')) return std::string(1, char(Key));
  if (Key >= VK_F1 && Key <= VK_F24) return "F" + std::to_string(Key - VK_F1 + 1);
  if (Key >= VK_NUMPAD0 && Key <= VK_NUMPAD9) return "Num " + std::to_string(Key - VK_NUMPAD0);
  for (const TKeyName& k : kKeyNames)
    if (k.Key == Key) return k.Name;
  return {};
}

// Byte-wise upper case: the German names differ from each other in ASCII letters already.
std::string Upper(std::string S) {
  for (char& c : S) c = char(std::toupper(static_cast<unsigned char>(c)));
  return S;
}

}  // namespace

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
  if (Key == 0 || Key > 0xFF) return TShortCut(0);
  TShortCut s = Key;
  if (Shift.Contains(ssShift)) s |= scShift;
  if (Shift.Contains(ssCtrl)) s |= scCtrl;
  if (Shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

std::string ShortCutToText(TShortCut Value) {
  const std::string key = KeyName(uint16_t(Value & 0xFF));
  if (key.empty()) return {};
  std::string text;
  for (int i = 0; i < kWrittenModifiers; ++i)
    if (Value & kModifierNames[i].Bit) text += kModifierNames[i].Name;
  return text + key;
}

TShortCut TextToShortCut(const std::string& Text) {
  std::string rest = Upper(Text);
  TShortCut mods = 0;
  for (bool found = true; found;) {
    found = false;
    for (const TModifierName& m : kModifierNames) {
      const std::string name = Upper(m.Name);
      // "+" alone is a key, not a modifier without its name.
      if (rest.size() > name.size() && rest.compare(0, name.size(), name) == 0) {
        mods |= m.Bit;
        rest.erase(0, name.size());
        found = true;
      }
    }
  }
  if (rest.empty()) return TShortCut(0);
  for (uint16_t key = 1; key <= 0xFF; ++key) {
    const std::string name = KeyName(key);
    if (!name.empty() && Upper(name) == rest) return TShortCut(key | mods);
  }
  return TShortCut(0);
}

int QtKeyOfShortCut(TShortCut Value) {
  const uint16_t key = Value & 0xFF;
  int qt = 0;
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) qt = key;  // Qt's codes are the same
  else if (key >= VK_F1 && key <= VK_F24) qt = Qt::Key_F1 + (key - VK_F1);
  else if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) qt = (Qt::Key_0 + (key - VK_NUMPAD0)) | Qt::KeypadModifier;
  else
    for (const TKeyName& k : kKeyNames)
      if (k.Key == key) {
        qt = k.QtKey;
        if (key >= VK_MULTIPLY && key <= VK_DIVIDE) qt |= Qt::KeypadModifier;
        break;
      }
  if (qt == 0) return 0;
  if (Value & scShift) qt |= Qt::ShiftModifier;
  if (Value & scCtrl) qt |= Qt::ControlModifier;
  if (Value & scAlt) qt |= Qt::AltModifier;
  return qt;
}

}  // namespace kv
