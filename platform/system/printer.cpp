#include "platform/system/printer.h"

#include <QtGui/QImage>
#include <QtGui/QPageLayout>
#include <QtGui/QPageSize>
#include <QtGui/QPainter>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QtPrintSupport/QPrinterInfo>

#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"

namespace kv {

namespace {

// One page bitmap of a letter page at this resolution is about 25 MB.
constexpr int kMaxDpi = 300;

std::deque<TPrinterSetupScript>& SetupScripts() {
  static std::deque<TPrinterSetupScript> scripts;
  return scripts;
}

}  // namespace

struct TPrinter::TImpl {
  QPrinter Device{QPrinter::HighResolution};
  QPainter Painter;
  std::unique_ptr<TBitmap> Page;
  std::unique_ptr<TCanvas> Canvas;

  void CapResolution() {
    if (Device.resolution() > kMaxDpi) Device.setResolution(kMaxDpi);
  }
  QRect PageRect() const { return Device.pageRect(QPrinter::DevicePixel).toAlignedRect(); }
  QRect PaperRect() const { return Device.paperRect(QPrinter::DevicePixel).toAlignedRect(); }
};

TPrinter::TPrinter() : FImpl(std::make_unique<TImpl>()) { FImpl->CapResolution(); }

TPrinter::~TPrinter() {
  if (FPrinting) Abort();
}

std::vector<std::string> TPrinter::Printers() const {
  std::vector<std::string> out;
  const QString def = QPrinterInfo::defaultPrinterName();
  if (!def.isEmpty()) out.push_back(def.toStdString());
  for (const QString& name : QPrinterInfo::availablePrinterNames())
    if (name != def) out.push_back(name.toStdString());
  return out;
}

void TPrinter::SetPrinterName(const std::string& Name) {
  if (FPrinting) throw EPrinter("Der Drucker kann während des Druckens nicht gewechselt werden");
  FPrinterName = Name;
  if (!FOutputFileName.empty()) return;
  FImpl->Device.setOutputFormat(QPrinter::NativeFormat);
  FImpl->Device.setPrinterName(QString::fromStdString(Name.empty() ? Printers().empty() ? "" : Printers()[0] : Name));
  FImpl->CapResolution();
}

std::string TPrinter::QueueName() const {
  if (!FOutputFileName.empty()) return "";
  if (!FPrinterName.empty()) return FPrinterName;
  // What BeginDoc prints to: the default queue the device was set to.
  return FImpl->Device.printerName().toStdString();
}

void TPrinter::SetOutputFileName(const std::string& Name) {
  if (FPrinting) throw EPrinter("Die Ausgabe kann während des Druckens nicht gewechselt werden");
  FOutputFileName = Name;
  if (Name.empty()) {
    SetPrinterName(FPrinterName);
    return;
  }
  FImpl->Device.setOutputFormat(QPrinter::PdfFormat);
  FImpl->Device.setOutputFileName(QString::fromStdString(Name));
}

TPrinterOrientation TPrinter::Orientation() const {
  return FImpl->Device.pageLayout().orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
}

void TPrinter::SetOrientation(TPrinterOrientation Value) {
  FImpl->Device.setPageOrientation(Value == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TPrinter::SetPaper(TPaperKind Kind) {
  static constexpr QPageSize::PageSizeId ids[] = {QPageSize::A4, QPageSize::Letter, QPageSize::A3, QPageSize::A5,
                                                 QPageSize::Legal};
  FImpl->Device.setPageSize(QPageSize(ids[Kind]));
}

void TPrinter::SetMarginsMM(double Left, double Top, double Right, double Bottom) {
  FImpl->Device.setPageMargins(QMarginsF(Left, Top, Right, Bottom), QPageLayout::Millimeter);
}

int32_t TPrinter::Resolution() const { return FImpl->Device.resolution(); }

void TPrinter::SetResolution(int32_t Dpi) {
  FImpl->Device.setResolution(std::clamp(Dpi, 1, kMaxDpi));
}

int32_t TPrinter::PageWidth() const { return FImpl->PageRect().width(); }
int32_t TPrinter::PageHeight() const { return FImpl->PageRect().height(); }
int32_t TPrinter::PhysicalWidth() const { return FImpl->PaperRect().width(); }
int32_t TPrinter::PhysicalHeight() const { return FImpl->PaperRect().height(); }
int32_t TPrinter::PhysicalOffsetX() const { return FImpl->PageRect().left() - FImpl->PaperRect().left(); }
int32_t TPrinter::PhysicalOffsetY() const { return FImpl->PageRect().top() - FImpl->PaperRect().top(); }

void TPrinter::BeginDoc() {
  if (FPrinting) throw EPrinter("Es wird bereits gedruckt");
  const int32_t w = PageWidth(), h = PageHeight();
  if (w <= 0 || h <= 0) throw EPrinter("Der Drucker meldet eine leere Seite");
  FImpl->Device.setDocName(QString::fromStdString(FTitle));
  const std::string target =
      FOutputFileName.empty() ? FImpl->Device.printerName().toStdString() : FOutputFileName;
  if (target.empty()) throw EPrinter("Es ist kein Drucker eingerichtet");
  if (!FImpl->Painter.begin(&FImpl->Device)) throw EPrinter("Kann nicht drucken auf " + target);
  FImpl->Page = std::make_unique<TBitmap>(w, h, pf24bit);
  FImpl->Canvas = std::make_unique<TCanvas>(*FImpl->Page);
  FImpl->Canvas->Brush().SetColor(clWhite);
  FImpl->Canvas->FillRect(TRect{0, 0, w, h});
  FPrinting = true;
  FPageNumber = 1;
}

void TPrinter::FlushPage() {
  TBitmap& b = *FImpl->Page;
  QImage img(b.Width(), b.Height(), QImage::Format_BGR888);
  for (int32_t y = 0; y < b.Height(); ++y) std::memcpy(img.scanLine(y), b.ScanLine(y), size_t(b.Width()) * 3);
  FImpl->Painter.drawImage(QRect(0, 0, b.Width(), b.Height()), img);
}

void TPrinter::NewPage() {
  if (!FPrinting) throw EPrinter("Es wird nicht gedruckt");
  FlushPage();
  if (!FImpl->Device.newPage()) throw EPrinter("Der Drucker nimmt keine weitere Seite an");
  FImpl->Canvas->Brush().SetColor(clWhite);
  FImpl->Canvas->Brush().SetStyle(bsSolid);
  FImpl->Canvas->FillRect(TRect{0, 0, FImpl->Page->Width(), FImpl->Page->Height()});
  ++FPageNumber;
}

void TPrinter::EndDoc() {
  if (!FPrinting) return;
  FlushPage();
  FPrinting = false;
  FImpl->Canvas.reset();
  FImpl->Page.reset();
  if (!FImpl->Painter.end()) throw EPrinter("Der Druckauftrag konnte nicht abgeschlossen werden");
}

void TPrinter::Abort() {
  if (!FPrinting) return;
  FPrinting = false;
  FImpl->Device.abort();
  FImpl->Painter.end();
  FImpl->Canvas.reset();
  FImpl->Page.reset();
}

TCanvas& TPrinter::Canvas() {
  if (!FPrinting) throw EPrinter("Es wird nicht gedruckt");
  return *FImpl->Canvas;
}

TBitmap& TPrinter::PageBitmap() {
  if (!FPrinting) throw EPrinter("Es wird nicht gedruckt");
  return *FImpl->Page;
}

bool TPrinter::ExecuteSetupDialog() {
  if (!SetupScripts().empty()) {
    TPrinterSetupScript script = std::move(SetupScripts().front());
    SetupScripts().pop_front();
    return script(*this);
  }
  QPrintDialog dialog(&FImpl->Device);
  const bool ok = dialog.exec() == QDialog::Accepted;
  if (ok) {
    FOutputFileName = FImpl->Device.outputFileName().toStdString();
    if (FOutputFileName.empty()) FPrinterName = FImpl->Device.printerName().toStdString();
    FImpl->CapResolution();
  }
  return ok;
}

void AnswerPrinterSetupDialog(TPrinterSetupScript Script) { SetupScripts().push_back(std::move(Script)); }

TPrinter& Printer() {
  // Never destroyed: Qt's print plug-ins may be gone by the time statics go.
  static TPrinter* printer = new TPrinter;
  return *printer;
}

}  // namespace kv
