// The printer: the system's print queues (CUPS underneath), or a PDF file.
// A document is drawn page by page on a canvas over a page-sized bitmap in
// printer pixels; each finished page goes to the queue whole.
//
// Sizes are in printer pixels at Resolution(): the paper (PhysicalWidth x
// PhysicalHeight), the printable area (PageWidth x PageHeight) and where the
// printable area starts on the paper (PhysicalOffsetX/Y).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace kv {

class TCanvas;
class TBitmap;

KV_DECLARE_EXCEPTION(EPrinter, Exception)

enum TPrinterOrientation : uint8_t { poPortrait, poLandscape };
enum TPaperKind : uint8_t { pkA4, pkLetter, pkA3, pkA5, pkLegal };

class TPrinter {
 public:
  TPrinter();
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // The system's queues by name, the default queue first; empty without CUPS.
  std::vector<std::string> Printers() const;
  // The chosen queue; "" means the default queue.
  const std::string& PrinterName() const { return FPrinterName; }
  void SetPrinterName(const std::string& Name);
  // The queue a document goes to: the chosen one, or the default queue while
  // none is chosen; "" when the system has none (or a file is printed).
  std::string QueueName() const;
  // Printing into a PDF file instead of a queue ("" goes back to the queue).
  const std::string& OutputFileName() const { return FOutputFileName; }
  void SetOutputFileName(const std::string& Name);
  // What the title bar of the queue shows for the job.
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }

  TPrinterOrientation Orientation() const;
  void SetOrientation(TPrinterOrientation Value);
  void SetPaper(TPaperKind Kind);
  // Margins of the printable area in millimetres (left, top, right, bottom).
  void SetMarginsMM(double Left, double Top, double Right, double Bottom);
  // Dots per inch, the same on both axes. The device's own resolution,
  // held to at most 300 so one page bitmap stays a few dozen megabytes.
  int32_t Resolution() const;
  void SetResolution(int32_t Dpi);

  int32_t PageWidth() const;
  int32_t PageHeight() const;
  int32_t PhysicalWidth() const;
  int32_t PhysicalHeight() const;
  int32_t PhysicalOffsetX() const;
  int32_t PhysicalOffsetY() const;

  // A document: BeginDoc, drawing on Canvas(), NewPage between pages, EndDoc.
  // Raises EPrinter when the queue or file cannot be opened.
  void BeginDoc();
  void NewPage();
  void EndDoc();
  // Ends the document without sending anything more.
  void Abort();
  bool Printing() const { return FPrinting; }
  int32_t PageNumber() const { return FPageNumber; }
  // The page being drawn (white at the start of each page); only while printing.
  TCanvas& Canvas();
  TBitmap& PageBitmap();

  // The system's print dialog on this printer; true when confirmed.
  bool ExecuteSetupDialog();

 private:
  void FlushPage();
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
  std::string FPrinterName;
  std::string FOutputFileName;
  std::string FTitle;
  bool FPrinting = false;
  int32_t FPageNumber = 0;
};

// The program's one printer.
TPrinter& Printer();

}  // namespace kv

namespace kv {

// Tests: the next printer setup dialogs are answered by these scripts, first
// in first out. A script may change the printer and returns whether it confirms.
using TPrinterSetupScript = std::function<bool(TPrinter& Printer)>;
void AnswerPrinterSetupDialog(TPrinterSetupScript Script);

}  // namespace kv
