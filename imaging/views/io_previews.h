// TfIOPreviews: the format parameters dialog. The user edits the save
// parameters of one image on a page per format and sees, beside the source
// image, the image as it comes out of a real write in that format with
// those parameters (for JPEG, read back again), with the file's size.
// It edits one TIOParamsVals in place: OK and "&Apply" write the values
// of the active page; Cancel leaves the record as "&Apply" left it.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/formats/imager_io.h"
#include "imaging/model/words.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/views/image_control.h"
#include "imaging/views/io_preview_values.h"
#include "platform/ui/button.h"
#include "platform/ui/color_dialog.h"
#include "platform/ui/forms.h"
#include "platform/ui/page_control.h"
#include "platform/ui/panel.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/track_bar.h"

namespace kv {

class TfIOPreviews : public TForm {
 public:
  explicit TfIOPreviews(TComponent* AOwner);
  ~TfIOPreviews() override;

  // The record edited in place (not owned); set before showing.
  TIOParamsVals* Params() const { return FParams; }
  void SetParams(TIOParamsVals* Value) { FParams = Value; }
  bool DefaultLockPreview() const { return FDefaultLockPreview; }
  void SetDefaultLockPreview(bool Value) { FDefaultLockPreview = Value; }
  // Every caption from the word table.
  void SetLanguage(TMsgLanguage Language);
  // Stores the page bits (1 all, 2 the record's file type, 4 JPEG, 8 TIFF,
  // 16 GIF, 32 BMP, 64 PCX, 128 PNG, 256 TGA); false only for exactly 2
  // when the record's type has no page.
  bool SetupPages(int32_t Pages);
  int32_t Pages() const { return FPages; }
  // Shows the form modally; true when it closed with OK.
  bool Execute() { return ShowModal() == mrOk; }

  // The page shown (TIOPreviewPage), -1 for none.
  int32_t ActivePageKind() const;
  // Writes the source in the active page's format into Target's picture.
  void ComputePreview(TImager* Target);
  // The working values of the pages.
  TIOPreviewValues& Values() { return FValues; }

  // ---- the controls, as the form holds them ----
  TButton* OKButton = nullptr;
  TButton* CancelButton = nullptr;
  TButton* PreviewButton = nullptr;
  TButton* ApplyButton = nullptr;
  TSpeedButton* LockButton = nullptr;
  TPageControl* PageControl1 = nullptr;
  std::array<TTabSheet*, kIOPreviewPageCount> Sheets{};
  TPanel* Panel1 = nullptr;
  TLabel* SourceLabel = nullptr;
  TLabel* ResultLabel = nullptr;
  TImager* Imager1 = nullptr;  // source
  TImager* Imager2 = nullptr;  // result
  TProgressBar* ProgressBar1 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;

  struct TSizeLabels {
    TLabel* OriginalCaption = nullptr;
    TLabel* Original = nullptr;
    TLabel* CompressedCaption = nullptr;
    TLabel* Compressed = nullptr;
  };
  std::array<TSizeLabels, kIOPreviewPageCount> Sizes{};

  struct {
    TEdit* Quality = nullptr;
    TTrackBar* QualityTrack = nullptr;
    TComboBox* Photometric = nullptr;
    TComboBox* DctMethod = nullptr;
    TCheckBox* OptimalHuffman = nullptr;
    TEdit* Smoothing = nullptr;
    TUpDown* SmoothingUpDown = nullptr;
    TCheckBox* Progressive = nullptr;
  } Jpeg;
  struct {
    TComboBox* Compression = nullptr;
    TEdit* ImageIndex = nullptr;
    TUpDown* ImageIndexUpDown = nullptr;
    TComboBox* Photometric = nullptr;
    TComboBox* Colors = nullptr;
    TEdit* XPos = nullptr;
    TEdit* YPos = nullptr;
    TEdit* Name = nullptr;
    TEdit* Description = nullptr;
    TEdit* PageName = nullptr;
    TEdit* PageNumber = nullptr;
    TEdit* PageCount = nullptr;
  } Tiff;
  struct {
    TEdit* ImageIndex = nullptr;
    TUpDown* ImageIndexUpDown = nullptr;
    TComboBox* Colors = nullptr;
    TCheckBox* Transparent = nullptr;
    TPanel* TransparentColor = nullptr;
    TCheckBox* Interlaced = nullptr;
    TPanel* Background = nullptr;
    TEdit* XPos = nullptr;
    TEdit* YPos = nullptr;
    TEdit* DelayTime = nullptr;
  } Gif;
  struct {
    TComboBox* Compression = nullptr;
    TComboBox* Colors = nullptr;
  } Bmp, Pcx;
  struct {
    TComboBox* Colors = nullptr;
    TPanel* Background = nullptr;
    TComboBox* Filter = nullptr;
    TCheckBox* Interlaced = nullptr;
    TComboBox* Compression = nullptr;
  } Png;
  struct {
    TComboBox* Colors = nullptr;
    TPanel* Background = nullptr;
    TCheckBox* Compressed = nullptr;
    TEdit* Name = nullptr;
    TEdit* Description = nullptr;
  } Tga;

 private:
  // A caption the language sets: word, with ":" or spaces around as the caption has them.
  struct TCaptioned {
    TControl* Control;
    int32_t Word;
    bool Colon;
    bool Framed;  // " " + word + " "
  };

  // Layout (io_previews_layout.cpp).
  void BuildControls();
  void BuildJpegPage(TTabSheet* S);
  void BuildTiffPage(TTabSheet* S);
  void BuildGifPage(TTabSheet* S);
  void BuildBmpPcxPage(TTabSheet* S, bool Pcx);
  void BuildPngPage(TTabSheet* S);
  void BuildTgaPage(TTabSheet* S);
  void BuildSizes(TTabSheet* S, int32_t Page, int32_t Top);
  TLabel* AddLabel(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption, int32_t Word, bool Colon);
  template <class T>
  T* Add(TWinControl* Parent, int32_t X, int32_t Y, int32_t W, int32_t H);
  TComboBox* AddList(TWinControl* Parent, int32_t X, int32_t Y, int32_t W, const std::vector<std::string>& Items);
  TCheckBox* AddCheck(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption, int32_t Word, bool Colon);
  TPanel* AddColorPanel(TWinControl* Parent, int32_t X, int32_t Y);
  // One row: the label at the left edge, the field beside it.
  TComboBox* AddListRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word, bool Colon,
                        const std::vector<std::string>& Items);
  TEdit* AddEditRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word, int32_t X, int32_t W);
  TPanel* AddColorRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word);
  // "Image index" with its up-down (0..1000).
  TEdit* AddImageIndexRow(TWinControl* Parent, int32_t Y, TUpDown*& UpDown);
  TGroupBox* AddFrame(TWinControl* Parent, int32_t X, int32_t Y, int32_t W, int32_t H, int32_t Word);

  // Behaviour (io_previews.cpp).
  void FormShow(TObject* Sender);
  void PageChange(TObject* Sender);
  void FillPage(int32_t Page);
  // Reads one page's controls into the working values; ReadControls tells
  // whether a value the written file depends on changed.
  template <class Read>
  void EditPage(Read ReadControls);
  void JpegChange(TObject* Sender);
  void TiffChange(TObject* Sender);
  void GifChange(TObject* Sender);
  void BmpChange(TObject* Sender);
  void PcxChange(TObject* Sender);
  void PngChange(TObject* Sender);
  void TgaChange(TObject* Sender);
  void QualityEditChange(TObject* Sender);
  void QualityTrackChange(TObject* Sender);
  void ValuesChanged(bool AffectsFile);
  void LockClick(TObject* Sender);
  void PreviewClick(TObject* Sender);
  void ApplyClick(TObject* Sender);
  void OKClick(TObject* Sender);
  void SourceViewChange(TObject* Sender, int32_t Change);
  void Progress(TObject* Sender, int32_t Per);
  void ShowOriginalSize(int32_t Page);

  // Colour panels (io_previews_colors.cpp).
  void ColorPanelClick(TObject* Sender);
  bool PickColor(TBGRPixel& Color, bool Palette, int32_t Count);
  void ReduceColors(TImager* Target, int32_t Page);

  TIOParamsVals* FParams = nullptr;
  bool FDefaultLockPreview = false;
  int32_t FPages = 1;
  TIOPreviewValues FValues;
  bool FUpdating = false;
  int32_t FProgressBase = 0;
  int32_t FProgressDivisor = 1;
  std::string FPaletteCancelCaption = "&Cancel";
  std::vector<TCaptioned> FCaptions;
  TImagerIO* FIO = nullptr;      // owned by the form
  TImagerProc* FProc = nullptr;  // owned by the form
};

// Makes the dialog for TImagerIO::ShowPreviewsDialog and installs that maker.
void InstallIOPreviewsDialog();

}  // namespace kv
