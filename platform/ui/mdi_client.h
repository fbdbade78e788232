// Private to the platform layer: the client area of a multiple-document
// frame. A QMdiArea holds one QMdiSubWindow per child form; the child form's
// own peer widget sits inside it, so the child paints and takes input like
// any form while the area supplies the frame, title bar and stacking.
#pragma once
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QMdiArea>
#include <QtWidgets/QMdiSubWindow>
#include <map>

namespace kv {

class TCustomForm;

class TMDIClient : public QObject {
 public:
  TMDIClient(TCustomForm* Frame, QWidget* Parent);
  ~TMDIClient() override;

  QMdiArea* Area() const { return FArea; }
  // Puts a child's peer widget into a new sub-window.
  void Add(TCustomForm* Child, QWidget* Widget);
  // Takes the child's sub-window away (the child's peer is already gone or reparented).
  void Remove(TCustomForm* Child);
  QMdiSubWindow* SubWindowOf(const TCustomForm* Child) const;
  // Places a child's sub-window so that the child's own widget gets the bounds.
  void PlaceChild(TCustomForm* Child, int32_t Left, int32_t Top, int32_t Width, int32_t Height, bool Visible);
  // The frame around a child's widget: left + right and top + bottom.
  QSize FrameExtent(const TCustomForm* Child) const;
  // Hides a child's sub-window without letting the area pick the next active child.
  void HideChild(const TCustomForm* Child);

  // Above 0 while the frame moves the activation itself: the area's own
  // choice of active sub-window is then not the frame's news.
  int32_t Quiet = 0;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  TCustomForm* ChildOf(QObject* SubWindow) const;
  // A child's widget resized inside its maximised sub-window: the child's size follows.
  void FollowMaximisedSize(QObject* Widget, const QSize& Size);

  TCustomForm* FFrame;
  QPointer<QMdiArea> FArea;
  std::map<const TCustomForm*, QPointer<QMdiSubWindow>> FSubs;
  int32_t FEventDepth = 0;  // sub-window events running now: their window is deleted later
  bool FPlacing = false;    // our own geometry change: not a move by the user
  int32_t FScrollPos[2] = {0, 0};  // the area's horizontal and vertical scroll positions
  bool FFollowing = false;  // a maximised child's bounds follow its widget now
};

}  // namespace kv
