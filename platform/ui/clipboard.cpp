#include "platform/ui/clipboard.h"

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/bmp_format.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/strings.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

std::vector<std::string>& Names() {
  static std::vector<std::string> names;
  return names;
}

// Our own bytes of a device-independent bitmap, exactly as they were set.
const QString kDibMime = QStringLiteral("application/x-kv-dib");
const QString kBmpMime = QStringLiteral("image/bmp");

QString MimeOf(TClipFormat Format) {
  if (Format == CF_DIB || Format == CF_BITMAP) return kDibMime;
  const std::string name = GetClipboardFormatName(Format);
  if (name.empty()) return QStringLiteral("application/x-kv-format-%1").arg(Format);
  // A registered MIME type ("text/uri-list") is exchanged with other programs as it is.
  if (name.find('/') != std::string::npos) return QString::fromUtf8(name.c_str());
  return QStringLiteral("application/x-kv-") + QString::fromUtf8(name.c_str()).toLower().replace(' ', '-');
}

// The picture of a DIB for other programs; null when it does not load.
QImage PlainImage(const std::vector<uint8_t>& Dib) {
  std::vector<uint8_t> file;
  if (!DibToBmpFile(Dib.data(), Dib.size(), file)) return QImage();
  TBitmap b;
  try {
    TReadOnlyMemoryStream s(file.data(), int64_t(file.size()));
    b.LoadFromStream(s);
    b.SetPixelFormat(pf24bit);
  } catch (const Exception&) {
    return QImage();
  }
  QImage img(b.Width(), b.Height(), QImage::Format_BGR888);
  for (int32_t y = 0; y < b.Height(); ++y)
    std::memcpy(img.scanLine(y), b.ScanLine(y), size_t(b.Width()) * 3);
  return img;
}

// Another program's picture as a 24-bit DIB, bottom row first.
std::vector<uint8_t> DibOfImage(const QImage& Image) {
  const QImage img = Image.convertToFormat(QImage::Format_BGR888);
  const int64_t w = img.width(), h = img.height();
  const int64_t stride = (w * 24 + 31) / 32 * 4;
  if (w <= 0 || h <= 0 || w * h > kMaxBitmapPixels) return {};
  std::vector<uint8_t> dib(size_t(40 + stride * h), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, uint32_t(w));
  put32(8, uint32_t(h));
  dib[12] = 1;
  dib[14] = 24;
  put32(20, uint32_t(stride * h));
  for (int64_t y = 0; y < h; ++y)
    std::memcpy(dib.data() + 40 + (h - 1 - y) * stride, img.constScanLine(int(y)), size_t(w) * 3);
  return dib;
}

QClipboard* System() {
  EnsureQtApplication();
  return QGuiApplication::clipboard();
}

}  // namespace

TClipFormat RegisterClipboardFormat(const std::string& Name) {
  auto& names = Names();
  for (size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], Name)) return TClipFormat(0xC000 + i);
  names.push_back(Name);
  return TClipFormat(0xC000 + names.size() - 1);
}

std::string GetClipboardFormatName(TClipFormat Format) {
  const auto& names = Names();
  if (Format < 0xC000 || Format - 0xC000 >= names.size()) return std::string();
  return names[Format - 0xC000];
}

void TClipboard::Open() {
  if (FOpenCount++ == 0) FPending.clear();
}

void TClipboard::Close() {
  if (FOpenCount == 0) return;
  if (--FOpenCount == 0 && !FPending.empty()) Publish();
}

void TClipboard::Publish() {
  auto* data = new QMimeData;
  for (const auto& [format, bytes] : FPending) {
    data->setData(MimeOf(format), QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    if (format == CF_DIB) {
      const QImage img = PlainImage(bytes);
      if (!img.isNull()) data->setImageData(img);
    }
  }
  System()->setMimeData(data);
  FPending.clear();
}

void TClipboard::Clear() {
  FPending.clear();
  System()->clear();
}

bool TClipboard::HasFormat(TClipFormat Format) const {
  const QMimeData* d = System()->mimeData();
  if (!d) return false;
  if (d->hasFormat(MimeOf(Format))) return true;
  return (Format == CF_DIB || Format == CF_BITMAP) && (d->hasFormat(kBmpMime) || d->hasImage());
}

void TClipboard::SetBuffer(TClipFormat Format, const void* Data, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Data);
  std::vector<uint8_t> bytes(p, p + Size);
  if (Format == CF_BITMAP) Format = CF_DIB;
  auto same = [Format](const auto& e) { return e.first == Format; };
  FPending.erase(std::remove_if(FPending.begin(), FPending.end(), same), FPending.end());
  FPending.emplace_back(Format, std::move(bytes));
  if (FOpenCount == 0) Publish();
}

std::vector<uint8_t> TClipboard::GetBuffer(TClipFormat Format) const {
  const QMimeData* d = System()->mimeData();
  if (!d) return {};
  if (Format == CF_BITMAP) Format = CF_DIB;
  if (d->hasFormat(MimeOf(Format))) {
    const QByteArray b = d->data(MimeOf(Format));
    return std::vector<uint8_t>(b.begin(), b.end());
  }
  if (Format != CF_DIB) return {};
  // Another program's picture: a BMP file is a DIB behind its 14-byte file
  // header (run-length rows stay as they are); any other image is made 24-bit.
  if (d->hasFormat(kBmpMime)) {
    const QByteArray b = d->data(kBmpMime);
    std::vector<uint8_t> dib;
    if (BmpFileToDib(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size()), dib)) return dib;
  }
  if (d->hasImage()) return DibOfImage(qvariant_cast<QImage>(d->imageData()));
  return {};
}

void TClipboard::SetBitmap(const TBitmap& Bitmap) {
  TMemoryStream s;
  const_cast<TBitmap&>(Bitmap).SaveToStream(s);
  // The BMP file's pixels follow its colour table: without the file header it is a packed DIB.
  if (s.Size() <= 14) return;
  SetBuffer(CF_DIB, static_cast<const uint8_t*>(s.Memory()) + 14, size_t(s.Size() - 14));
}

bool TClipboard::GetBitmap(TBitmap& Bitmap) const {
  const std::vector<uint8_t> dib = GetBuffer(CF_DIB);
  std::vector<uint8_t> b;
  if (dib.empty() || !DibToBmpFile(dib.data(), dib.size(), b)) return false;
  try {
    TReadOnlyMemoryStream s(b.data(), int64_t(b.size()));
    TBitmap tmp;
    tmp.LoadFromStream(s);
    Bitmap.Assign(&tmp);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

TClipboard& Clipboard() {
  static TClipboard c;
  if (!ClipboardService()) SetClipboardService(&c);
  return c;
}

}  // namespace kv
