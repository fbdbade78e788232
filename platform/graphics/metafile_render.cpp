#include "platform/graphics/metafile_render.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtCore/QByteArray>
#include <QtCore/QRectF>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/gui_host.h"
#include "platform/rtl/file_utils.h"
#include "platform/graphics/metafile_convert.h"

// Present only in sanitizer builds: lets the child drop a fuzzer's death
// report, which would otherwise file the parent's input as a crash.
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*Callback)(void));

namespace kv::gfx {

namespace {

// A metafile that needs longer than this is hostile or broken.
constexpr int kConvertTimeoutMs = 15000;
// Far beyond any real drawing's SVG; keeps a runaway converter from filling memory.
constexpr size_t kMaxSvgBytes = size_t(128) << 20;

[[noreturn]] void RunChild(int Fd, const uint8_t* Data, size_t Length, TMetafileKind Kind, int32_t Dpi) {
  // A crash in the converter must end this process quietly, not run the
  // parent's crash handlers (a fuzzer's or a sanitizer's) a second time.
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(sig, SIG_DFL);
  if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(nullptr);
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    ::dup2(null, 1);
    ::dup2(null, 2);
  }
  TMetafileSvg out;
  const bool ok = Kind == TMetafileKind::Windows ? detail::ConvertWindowsMetafile(Data, Length, Dpi, out)
                                                 : detail::ConvertEnhancedMetafile(Data, Length, out);
  if (!ok) ::_exit(1);
  const int32_t size[2] = {out.Width, out.Height};
  if (!WriteAll(Fd, size, sizeof size) || !WriteAll(Fd, out.Svg.data(), out.Svg.size())) ::_exit(1);
  ::_exit(0);
}

// Reads the child's answer until end of file, the deadline or the size cap.
bool ReadAnswer(int Fd, std::string& Answer) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConvertTimeoutMs);
  char buf[65536];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{Fd, POLLIN, 0};
    const int r = ::poll(&p, 1, int(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    const ssize_t n = ::read(Fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (Answer.size() + size_t(n) > kMaxSvgBytes) return false;
    Answer.append(buf, size_t(n));
  }
}

}  // namespace

bool MetafileToSvg(const uint8_t* Data, size_t Length, TMetafileKind Kind, int32_t Dpi, TMetafileSvg& Out) {
  Out = TMetafileSvg{};
  if (!Data || Length == 0) return false;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid == 0) {
    ::close(fds[0]);
    RunChild(fds[1], Data, Length, Kind, Dpi);
  }
  ::close(fds[1]);
  std::string answer;
  const bool complete = ReadAnswer(fds[0], answer);
  ::close(fds[0]);
  if (!complete) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  int32_t size[2];
  if (answer.size() <= sizeof size) return false;
  std::memcpy(size, answer.data(), sizeof size);
  Out.Width = size[0] > 0 ? size[0] : 0;
  Out.Height = size[1] > 0 ? size[1] : 0;
  Out.Svg = answer.substr(sizeof size);
  return true;
}

bool DrawSvg(const std::string& Svg, TBitmap& Target, int32_t Width, int32_t Height, double ViewWidth,
             double ViewHeight) {
  QImage::Format format = QImage::Format_Invalid;
  if (Target.PixelFormat() == pf24bit) format = QImage::Format_BGR888;
  else if (Target.PixelFormat() == pf32bit) format = QImage::Format_RGB32;
  if (format == QImage::Format_Invalid || Target.Empty() || Width <= 0 || Height <= 0) return false;
  // Text needs the GUI application's font database; without one only text-free drawings can be painted.
  if (!EnsureGuiApplication() && Svg.find("text") != std::string::npos) return false;
  QSvgRenderer renderer(QByteArray::fromRawData(Svg.data(), qsizetype(Svg.size())));
  if (!renderer.isValid()) return false;
  if (ViewWidth > 0 && ViewHeight > 0) renderer.setViewBox(QRectF(0, 0, ViewWidth, ViewHeight));
  QImage image(Target.Bits(), Target.Width(), Target.Height(), Target.RowBytes(), format);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  renderer.render(&painter, QRectF(0, 0, Width, Height));
  painter.end();
  return true;
}

}  // namespace kv::gfx
