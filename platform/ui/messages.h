// Window messages, their parameter layouts, virtual-key codes, shift states,
// scroll codes, window style bits, modal results and message-box flags: the
// window system's numbers, so that code written against them reads as written.
#pragma once
#include <cstdint>

#include "platform/rtl/set.h"
#include "platform/rtl/types.h"

namespace kv {

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT = uint32_t;

// One message as a window procedure sees it. Typed views (TWMMouse ...) read
// the packed parameters; they are built from a TMessage and write Result back
// through it.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

constexpr uint16_t LoWord(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HiWord(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr int16_t SmallLo(uintptr_t v) { return static_cast<int16_t>(LoWord(v)); }
constexpr int16_t SmallHi(uintptr_t v) { return static_cast<int16_t>(HiWord(v)); }
// Two 16-bit halves; negative values keep their low 16 bits, as the window system packs them.
constexpr uintptr_t MakeLong(int32_t Lo, int32_t Hi) {
  return (static_cast<uintptr_t>(static_cast<uint16_t>(Lo))) |
         (static_cast<uintptr_t>(static_cast<uint16_t>(Hi)) << 16);
}

// ---- message numbers ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSEHWHEEL = 0x020E;
constexpr UINT WM_MOUSELAST = 0x020E;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_CUT = 0x0300;
constexpr UINT WM_COPY = 0x0301;
constexpr UINT WM_PASTE = 0x0302;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// Messages of the control framework.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;  // 0xB013
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;  // 0xB014
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 22;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 28;
constexpr UINT CM_ICONCHANGED = CM_BASE + 29;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;  // 0xB01E
constexpr UINT CM_INVOKEHELP = CM_BASE + 31;
constexpr UINT CM_WINDOWHOOK = CM_BASE + 32;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr UINT CM_WININICHANGE = CM_BASE + 37;
constexpr UINT CM_FONTCHANGE = CM_BASE + 38;
constexpr UINT CM_TIMECHANGE = CM_BASE + 39;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 43;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_GETDATALINK = CM_BASE + 45;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
constexpr UINT CM_DRAG = CM_BASE + 47;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_DIALOGHANDLE = CM_BASE + 49;
constexpr UINT CM_ISTOOLCONTROL = CM_BASE + 50;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
constexpr UINT CM_CHANGED = CM_BASE + 55;
constexpr UINT CM_BORDERCHANGED = CM_BASE + 59;
constexpr UINT CM_SPEEDBUTTONPRESSED = CM_BASE + 81;  // 0xB051

// Control notifications reflected back to the control that caused them.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;

// WM_ACTIVATE states (low word of WParam).
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t WA_CLICKACTIVE = 2;

// ---- mouse key flags (WParam of mouse messages) ----
constexpr uint32_t MK_LBUTTON = 0x0001;
constexpr uint32_t MK_RBUTTON = 0x0002;
constexpr uint32_t MK_SHIFT = 0x0004;
constexpr uint32_t MK_CONTROL = 0x0008;
constexpr uint32_t MK_MBUTTON = 0x0010;

// One wheel notch.
constexpr int32_t WHEEL_DELTA = 120;

// ---- WM_SIZE request codes ----
constexpr uint32_t SIZE_RESTORED = 0;
constexpr uint32_t SIZE_MINIMIZED = 1;
constexpr uint32_t SIZE_MAXIMIZED = 2;

// ---- scroll bars ----
constexpr int32_t SB_HORZ = 0;
constexpr int32_t SB_VERT = 1;
constexpr int32_t SB_CTL = 2;
constexpr int32_t SB_BOTH = 3;

constexpr uint16_t SB_LINEUP = 0;
constexpr uint16_t SB_LINELEFT = 0;
constexpr uint16_t SB_LINEDOWN = 1;
constexpr uint16_t SB_LINERIGHT = 1;
constexpr uint16_t SB_PAGEUP = 2;
constexpr uint16_t SB_PAGELEFT = 2;
constexpr uint16_t SB_PAGEDOWN = 3;
constexpr uint16_t SB_PAGERIGHT = 3;
constexpr uint16_t SB_THUMBPOSITION = 4;
constexpr uint16_t SB_THUMBTRACK = 5;
constexpr uint16_t SB_TOP = 6;
constexpr uint16_t SB_LEFT = 6;
constexpr uint16_t SB_BOTTOM = 7;
constexpr uint16_t SB_RIGHT = 7;
constexpr uint16_t SB_ENDSCROLL = 8;

// Masks of TScrollInfo.fMask.
constexpr uint32_t SIF_RANGE = 0x0001;
constexpr uint32_t SIF_PAGE = 0x0002;
constexpr uint32_t SIF_POS = 0x0004;
constexpr uint32_t SIF_DISABLENOSCROLL = 0x0008;
constexpr uint32_t SIF_TRACKPOS = 0x0010;
constexpr uint32_t SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

// EnableScrollBar arrows.
constexpr uint32_t ESB_ENABLE_BOTH = 0x0000;
constexpr uint32_t ESB_DISABLE_LTUP = 0x0001;
constexpr uint32_t ESB_DISABLE_RTDN = 0x0002;
constexpr uint32_t ESB_DISABLE_BOTH = 0x0003;

// ---- window styles ----
constexpr uint32_t WS_OVERLAPPED = 0x00000000;
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_CHILD = 0x40000000;
constexpr uint32_t WS_MINIMIZE = 0x20000000;
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_DISABLED = 0x08000000;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
constexpr uint32_t WS_MAXIMIZE = 0x01000000;
constexpr uint32_t WS_CAPTION = 0x00C00000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_DLGFRAME = 0x00400000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_HSCROLL = 0x00100000;
constexpr uint32_t WS_SYSMENU = 0x00080000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;
constexpr uint32_t WS_GROUP = 0x00020000;
constexpr uint32_t WS_TABSTOP = 0x00010000;
constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr uint32_t WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001;
constexpr uint32_t WS_EX_TOPMOST = 0x00000008;
constexpr uint32_t WS_EX_ACCEPTFILES = 0x00000010;
constexpr uint32_t WS_EX_TRANSPARENT = 0x00000020;
constexpr uint32_t WS_EX_MDICHILD = 0x00000040;
constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100;
constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200;
constexpr uint32_t WS_EX_CONTEXTHELP = 0x00000400;
constexpr uint32_t WS_EX_STATICEDGE = 0x00020000;
constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;

constexpr uint32_t CS_VREDRAW = 0x0001;
constexpr uint32_t CS_HREDRAW = 0x0002;
constexpr uint32_t CS_DBLCLKS = 0x0008;
constexpr uint32_t CS_OWNDC = 0x0020;
constexpr uint32_t CS_SAVEBITS = 0x0800;

// ---- virtual-key codes ----
constexpr uint16_t VK_LBUTTON = 0x01;
constexpr uint16_t VK_RBUTTON = 0x02;
constexpr uint16_t VK_CANCEL = 0x03;
constexpr uint16_t VK_MBUTTON = 0x04;
constexpr uint16_t VK_BACK = 0x08;
constexpr uint16_t VK_TAB = 0x09;
constexpr uint16_t VK_CLEAR = 0x0C;
constexpr uint16_t VK_RETURN = 0x0D;
constexpr uint16_t VK_SHIFT = 0x10;
constexpr uint16_t VK_CONTROL = 0x11;
constexpr uint16_t VK_MENU = 0x12;
constexpr uint16_t VK_PAUSE = 0x13;
constexpr uint16_t VK_CAPITAL = 0x14;
constexpr uint16_t VK_ESCAPE = 0x1B;
constexpr uint16_t VK_SPACE = 0x20;
constexpr uint16_t VK_PRIOR = 0x21;
constexpr uint16_t VK_NEXT = 0x22;
constexpr uint16_t VK_END = 0x23;
constexpr uint16_t VK_HOME = 0x24;
constexpr uint16_t VK_LEFT = 0x25;
constexpr uint16_t VK_UP = 0x26;
constexpr uint16_t VK_RIGHT = 0x27;
constexpr uint16_t VK_DOWN = 0x28;
constexpr uint16_t VK_SELECT = 0x29;
constexpr uint16_t VK_PRINT = 0x2A;
constexpr uint16_t VK_EXECUTE = 0x2B;
constexpr uint16_t VK_SNAPSHOT = 0x2C;
constexpr uint16_t VK_INSERT = 0x2D;
constexpr uint16_t VK_DELETE = 0x2E;
constexpr uint16_t VK_HELP = 0x2F;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
constexpr uint16_t VK_LWIN = 0x5B;
constexpr uint16_t VK_RWIN = 0x5C;
constexpr uint16_t VK_APPS = 0x5D;
constexpr uint16_t VK_NUMPAD0 = 0x60;
constexpr uint16_t VK_NUMPAD1 = 0x61;
constexpr uint16_t VK_NUMPAD2 = 0x62;
constexpr uint16_t VK_NUMPAD3 = 0x63;
constexpr uint16_t VK_NUMPAD4 = 0x64;
constexpr uint16_t VK_NUMPAD5 = 0x65;
constexpr uint16_t VK_NUMPAD6 = 0x66;
constexpr uint16_t VK_NUMPAD7 = 0x67;
constexpr uint16_t VK_NUMPAD8 = 0x68;
constexpr uint16_t VK_NUMPAD9 = 0x69;
constexpr uint16_t VK_MULTIPLY = 0x6A;
constexpr uint16_t VK_ADD = 0x6B;
constexpr uint16_t VK_SEPARATOR = 0x6C;
constexpr uint16_t VK_SUBTRACT = 0x6D;
constexpr uint16_t VK_DECIMAL = 0x6E;
constexpr uint16_t VK_DIVIDE = 0x6F;
constexpr uint16_t VK_F1 = 0x70;
constexpr uint16_t VK_F2 = 0x71;
constexpr uint16_t VK_F3 = 0x72;
constexpr uint16_t VK_F4 = 0x73;
constexpr uint16_t VK_F5 = 0x74;
constexpr uint16_t VK_F6 = 0x75;
constexpr uint16_t VK_F7 = 0x76;
constexpr uint16_t VK_F8 = 0x77;
constexpr uint16_t VK_F9 = 0x78;
constexpr uint16_t VK_F10 = 0x79;
constexpr uint16_t VK_F11 = 0x7A;
constexpr uint16_t VK_F12 = 0x7B;
constexpr uint16_t VK_F24 = 0x87;
constexpr uint16_t VK_NUMLOCK = 0x90;
constexpr uint16_t VK_SCROLL = 0x91;
constexpr uint16_t VK_LSHIFT = 0xA0;
constexpr uint16_t VK_RSHIFT = 0xA1;
constexpr uint16_t VK_LCONTROL = 0xA2;
constexpr uint16_t VK_RCONTROL = 0xA3;
constexpr uint16_t VK_LMENU = 0xA4;
constexpr uint16_t VK_RMENU = 0xA5;
constexpr uint16_t VK_OEM_1 = 0xBA;       // ;:
constexpr uint16_t VK_OEM_PLUS = 0xBB;    // =+
constexpr uint16_t VK_OEM_COMMA = 0xBC;   // ,<
constexpr uint16_t VK_OEM_MINUS = 0xBD;   // -_
constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // .>
constexpr uint16_t VK_OEM_2 = 0xBF;       // /?
constexpr uint16_t VK_OEM_3 = 0xC0;       // `~
constexpr uint16_t VK_OEM_4 = 0xDB;       // [{
constexpr uint16_t VK_OEM_5 = 0xDC;       // \|
constexpr uint16_t VK_OEM_6 = 0xDD;       // ]}
constexpr uint16_t VK_OEM_7 = 0xDE;       // '"

// WM_GETDLGCODE answers: the keys a control wants for itself instead of the
// form's dialog navigation.
constexpr uint32_t DLGC_WANTARROWS = 0x0001;
constexpr uint32_t DLGC_WANTTAB = 0x0002;
constexpr uint32_t DLGC_WANTALLKEYS = 0x0004;
constexpr uint32_t DLGC_WANTCHARS = 0x0080;

// KeyData (LParam of key messages): bit 29 is set while Alt is held, bit 30
// when the key was already down (auto-repeat), bit 31 on release.
constexpr uint32_t KF_ALTDOWN = 0x2000;
constexpr int32_t AltMask = 0x20000000;

// ---- shift states and mouse buttons ----
enum TShiftStateItem : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateItem, 8>;
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Shift state from the MK_ flags of a mouse message (Alt from the keyboard state).
TShiftState KeysToShiftState(uint32_t Keys);
// Shift state from a key message's KeyData (Shift and Ctrl from the keyboard state).
TShiftState KeyDataToShiftState(int32_t KeyData);
// Negative while the key is held, as the window system reports it; tracks the
// keyboard and mouse events the application has seen.
int16_t GetKeyState(int32_t VirtKey);
// Records a key going down or up, so GetKeyState answers for it (Escape during long work).
void NoteKeyState(uint16_t VirtKey, bool Down);

// ---- typed views of the parameters ----

// Mouse messages: WParam the MK_ flags, LParam the client point as two 16-bit halves.
struct TWMMouse {
  TMessage& M;
  explicit TWMMouse(TMessage& Msg) : M(Msg) {}
  uint32_t Keys() const { return static_cast<uint32_t>(M.WParam); }
  int16_t XPos() const { return SmallLo(static_cast<uintptr_t>(M.LParam)); }
  int16_t YPos() const { return SmallHi(static_cast<uintptr_t>(M.LParam)); }
  TPoint Pos() const { return TPoint{XPos(), YPos()}; }
  LRESULT& Result() { return M.Result; }
};
using TWMLButtonDown = TWMMouse;
using TWMLButtonUp = TWMMouse;
using TWMLButtonDblClk = TWMMouse;
using TWMRButtonDown = TWMMouse;
using TWMRButtonUp = TWMMouse;
using TWMMouseMove = TWMMouse;

// WM_MOUSEWHEEL: WParam's low word the MK_ flags, high word the signed delta
// (multiples of WHEEL_DELTA); LParam the screen point.
struct TWMMouseWheel {
  TMessage& M;
  explicit TWMMouseWheel(TMessage& Msg) : M(Msg) {}
  uint16_t Keys() const { return LoWord(M.WParam); }
  int16_t WheelDelta() const { return SmallHi(M.WParam); }
  int16_t XPos() const { return SmallLo(static_cast<uintptr_t>(M.LParam)); }
  int16_t YPos() const { return SmallHi(static_cast<uintptr_t>(M.LParam)); }
  LRESULT& Result() { return M.Result; }
};

// Key messages: WParam the virtual-key code (WM_CHAR: the character's code
// point), LParam the KeyData.
struct TWMKey {
  TMessage& M;
  explicit TWMKey(TMessage& Msg) : M(Msg) {}
  uint16_t CharCode() const { return static_cast<uint16_t>(M.WParam); }
  void SetCharCode(uint32_t Value) { M.WParam = Value; }
  int32_t KeyData() const { return static_cast<int32_t>(M.LParam); }
  LRESULT& Result() { return M.Result; }
};
using TWMKeyDown = TWMKey;
using TWMKeyUp = TWMKey;
using TWMChar = TWMKey;

// WM_HSCROLL / WM_VSCROLL: WParam's low word the scroll code, high word the
// thumb position (zero-extended: thumb positions run 0..65535); LParam the
// scroll-bar control, 0 for a window's own bar. Positions beyond 16 bits are
// read with GetScrollInfo and SIF_TRACKPOS.
struct TWMScroll {
  TMessage& M;
  explicit TWMScroll(TMessage& Msg) : M(Msg) {}
  uint16_t ScrollCode() const { return LoWord(M.WParam); }
  int32_t Pos() const { return HiWord(M.WParam); }
  HWND ScrollBar() const { return static_cast<HWND>(M.LParam); }
  LRESULT& Result() { return M.Result; }
};
using TWMHScroll = TWMScroll;
using TWMVScroll = TWMScroll;

// WM_SIZE: WParam the SIZE_ code, LParam the new client width and height.
struct TWMSize {
  TMessage& M;
  explicit TWMSize(TMessage& Msg) : M(Msg) {}
  uint32_t SizeType() const { return static_cast<uint32_t>(M.WParam); }
  uint16_t Width() const { return LoWord(static_cast<uintptr_t>(M.LParam)); }
  uint16_t Height() const { return HiWord(static_cast<uintptr_t>(M.LParam)); }
  LRESULT& Result() { return M.Result; }
};

// WM_TIMER: WParam the timer id.
struct TWMTimer {
  TMessage& M;
  explicit TWMTimer(TMessage& Msg) : M(Msg) {}
  uintptr_t TimerID() const { return M.WParam; }
  LRESULT& Result() { return M.Result; }
};

// WM_COPYDATA: WParam the sending window, LParam points at a TCopyDataStruct.
struct TCopyDataStruct {
  uintptr_t dwData = 0;
  uint32_t cbData = 0;
  const void* lpData = nullptr;
};
struct TWMCopyData {
  TMessage& M;
  explicit TWMCopyData(TMessage& Msg) : M(Msg) {}
  HWND From() const { return static_cast<HWND>(M.WParam); }
  const TCopyDataStruct* CopyDataStruct() const { return reinterpret_cast<const TCopyDataStruct*>(M.LParam); }
  LRESULT& Result() { return M.Result; }
};

// ---- modal results ----
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

// ---- message boxes ----
constexpr uint32_t MB_OK = 0x00000000;
constexpr uint32_t MB_OKCANCEL = 0x00000001;
constexpr uint32_t MB_ABORTRETRYIGNORE = 0x00000002;
constexpr uint32_t MB_YESNOCANCEL = 0x00000003;
constexpr uint32_t MB_YESNO = 0x00000004;
constexpr uint32_t MB_RETRYCANCEL = 0x00000005;
constexpr uint32_t MB_TYPEMASK = 0x0000000F;
constexpr uint32_t MB_ICONHAND = 0x00000010;
constexpr uint32_t MB_ICONERROR = MB_ICONHAND;
constexpr uint32_t MB_ICONSTOP = MB_ICONHAND;
constexpr uint32_t MB_ICONQUESTION = 0x00000020;
constexpr uint32_t MB_ICONEXCLAMATION = 0x00000030;
constexpr uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr uint32_t MB_ICONASTERISK = 0x00000040;
constexpr uint32_t MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr uint32_t MB_ICONMASK = 0x000000F0;
constexpr uint32_t MB_DEFBUTTON1 = 0x00000000;
constexpr uint32_t MB_DEFBUTTON2 = 0x00000100;
constexpr uint32_t MB_DEFBUTTON3 = 0x00000200;
constexpr uint32_t MB_APPLMODAL = 0x00000000;
constexpr uint32_t MB_SYSTEMMODAL = 0x00001000;
constexpr uint32_t MB_TASKMODAL = 0x00002000;
constexpr uint32_t MB_SETFOREGROUND = 0x00010000;
constexpr uint32_t MB_TOPMOST = 0x00040000;

constexpr int32_t IDOK = 1;
constexpr int32_t IDCANCEL = 2;
constexpr int32_t IDABORT = 3;
constexpr int32_t IDRETRY = 4;
constexpr int32_t IDIGNORE = 5;
constexpr int32_t IDYES = 6;
constexpr int32_t IDNO = 7;

}  // namespace kv
