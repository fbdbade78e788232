#include "platform/ui/clipboard.h"

#include <QtCore/QMimeData>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include <algorithm>
#include <map>

#include "platform/graphics/bitmap.h"
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

// Bitmaps go out as BMP files, which other programs read too.
QString MimeOf(TClipFormat Format) {
  if (Format == CF_DIB || Format == CF_BITMAP) return QStringLiteral("image/bmp");
  const std::string name = GetClipboardFormatName(Format);
  if (name.empty()) return QStringLiteral("application/x-kv-format-%1").arg(Format);
  return QStringLiteral("application/x-kv-") + QString::fromUtf8(name.c_str()).toLower().replace(' ', '-');
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
  for (const auto& [format, bytes] : FPending)
    data->setData(MimeOf(format), QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
  System()->setMimeData(data);
  FPending.clear();
}

void TClipboard::Clear() {
  FPending.clear();
  System()->clear();
}

bool TClipboard::HasFormat(TClipFormat Format) const {
  const QMimeData* d = System()->mimeData();
  return d && d->hasFormat(MimeOf(Format));
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
  if (!d || !d->hasFormat(MimeOf(Format))) return {};
  const QByteArray b = d->data(MimeOf(Format));
  return std::vector<uint8_t>(b.begin(), b.end());
}

void TClipboard::SetBitmap(const TBitmap& Bitmap) {
  TMemoryStream s;
  const_cast<TBitmap&>(Bitmap).SaveToStream(s);
  SetBuffer(CF_DIB, s.Memory(), size_t(s.Size()));
}

bool TClipboard::GetBitmap(TBitmap& Bitmap) const {
  const std::vector<uint8_t> b = GetBuffer(CF_DIB);
  if (b.empty()) return false;
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
  return c;
}

}  // namespace kv
