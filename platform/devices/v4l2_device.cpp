#include "platform/devices/v4l2_device.h"
#include "platform/rtl/sys_error.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kv {

namespace {

// An open node closed on every path out.
struct TNode {
  int Fd = -1;
  explicit TNode(const std::string& Path) { Fd = ::open(Path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); }
  ~TNode() {
    if (Fd >= 0) ::close(Fd);
  }
};

// Interrupted calls are repeated, as the driver documentation asks.
int Ioctl(int Fd, unsigned long Request, void* Arg) {
  int rc;
  do rc = ::ioctl(Fd, Request, Arg);
  while (rc < 0 && errno == EINTR);
  return rc;
}

std::string Text(const uint8_t* S, size_t N) {
  return std::string(reinterpret_cast<const char*>(S), strnlen(reinterpret_cast<const char*>(S), N));
}

bool OpenFailed(const TNode& N, const std::string& Node, std::string* Error) {
  if (N.Fd >= 0) return false;
  if (Error) *Error = Node + ": " + SysErrorMessage(errno);
  return true;
}

}  // namespace

std::string FourCCText(uint32_t FourCC) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = char((FourCC >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

bool QueryV4l2Formats(const std::string& Node, std::vector<TV4l2Format>& Formats, std::string* Error) {
  Formats.clear();
  TNode n(Node);
  if (OpenFailed(n, Node, Error)) return false;
  for (uint32_t i = 0;; ++i) {
    v4l2_fmtdesc d{};
    d.index = i;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(n.Fd, VIDIOC_ENUM_FMT, &d) < 0) break;
    TV4l2Format f;
    f.FourCC = d.pixelformat;
    f.Description = Text(d.description, sizeof d.description);
    for (uint32_t j = 0; j < 256; ++j) {
      v4l2_frmsizeenum s{};
      s.index = j;
      s.pixel_format = d.pixelformat;
      if (Ioctl(n.Fd, VIDIOC_ENUM_FRAMESIZES, &s) < 0) break;
      TV4l2FrameSize size;
      if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        size.Width = int32_t(s.discrete.width);
        size.Height = int32_t(s.discrete.height);
      } else {
        // A range: its largest size stands for it.
        size.Width = int32_t(s.stepwise.max_width);
        size.Height = int32_t(s.stepwise.max_height);
      }
      for (uint32_t k = 0; k < 64; ++k) {
        v4l2_frmivalenum iv{};
        iv.index = k;
        iv.pixel_format = d.pixelformat;
        iv.width = uint32_t(size.Width);
        iv.height = uint32_t(size.Height);
        if (Ioctl(n.Fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) < 0) break;
        const v4l2_fract fr = iv.type == V4L2_FRMIVAL_TYPE_DISCRETE ? iv.discrete : iv.stepwise.min;
        if (fr.numerator > 0) size.Rates.push_back(double(fr.denominator) / fr.numerator);
        if (iv.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
      }
      f.Sizes.push_back(size);
      if (s.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
    }
    Formats.push_back(f);
  }
  return true;
}

bool QueryV4l2Controls(const std::string& Node, std::vector<TV4l2Control>& Controls, std::string* Error) {
  Controls.clear();
  TNode n(Node);
  if (OpenFailed(n, Node, Error)) return false;
  v4l2_queryctrl q{};
  q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
  while (Ioctl(n.Fd, VIDIOC_QUERYCTRL, &q) == 0) {
    if (!(q.flags & V4L2_CTRL_FLAG_DISABLED) && q.type != V4L2_CTRL_TYPE_CTRL_CLASS) {
      TV4l2Control c;
      c.Id = q.id;
      c.Name = Text(q.name, sizeof q.name);
      switch (q.type) {
        case V4L2_CTRL_TYPE_INTEGER: c.Type = vctInteger; break;
        case V4L2_CTRL_TYPE_BOOLEAN: c.Type = vctBoolean; break;
        case V4L2_CTRL_TYPE_MENU: c.Type = vctMenu; break;
        case V4L2_CTRL_TYPE_BUTTON: c.Type = vctButton; break;
        default: c.Type = vctOther; break;
      }
      c.Minimum = q.minimum;
      c.Maximum = q.maximum;
      c.Step = q.step > 0 ? q.step : 1;
      c.Default = q.default_value;
      c.ReadOnly = (q.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) != 0;
      v4l2_control v{};
      v.id = q.id;
      c.Value = Ioctl(n.Fd, VIDIOC_G_CTRL, &v) == 0 ? v.value : q.default_value;
      if (c.Type == vctMenu)
        for (int32_t i = q.minimum; i <= q.maximum && i - q.minimum < 256; ++i) {
          v4l2_querymenu m{};
          m.id = q.id;
          m.index = uint32_t(i);
          if (Ioctl(n.Fd, VIDIOC_QUERYMENU, &m) == 0) c.MenuItems.push_back({i, Text(m.name, sizeof m.name)});
        }
      if (c.Type != vctOther) Controls.push_back(c);
    }
    q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
  }
  return true;
}

bool SetV4l2Control(const std::string& Node, uint32_t Id, int32_t Value, std::string* Error) {
  TNode n(Node);
  if (OpenFailed(n, Node, Error)) return false;
  v4l2_control v{};
  v.id = Id;
  v.value = Value;
  if (Ioctl(n.Fd, VIDIOC_S_CTRL, &v) < 0) {
    if (Error) *Error = SysErrorMessage(errno);
    return false;
  }
  return true;
}

}  // namespace kv
