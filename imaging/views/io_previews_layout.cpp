// The format parameters dialog's controls, laid out in code, and its captions.
#include "imaging/views/io_previews.h"

namespace kv {

namespace {
constexpr int32_t kRow = 23;     // height of one labelled row
constexpr int32_t kField = 118;  // left edge of the fields beside their labels
constexpr int32_t kFieldWidth = 128;
}  // namespace

template <class T>
T* TfIOPreviews::Add(TWinControl* Parent, int32_t X, int32_t Y, int32_t W, int32_t H) {
  T* c = new T(this);
  c->SetParent(Parent);
  c->SetBounds(X, Y, W, H);
  return c;
}

TLabel* TfIOPreviews::AddLabel(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption, int32_t Word,
                               bool Colon) {
  TLabel* l = new TLabel(this);
  l->SetParent(Parent);
  l->SetLeft(X);
  l->SetTop(Y + 3);
  l->SetCaption(Caption);
  if (Word >= 0) FCaptions.push_back({l, Word, Colon, false});
  return l;
}

TComboBox* TfIOPreviews::AddList(TWinControl* Parent, int32_t X, int32_t Y, int32_t W,
                                 const std::vector<std::string>& Items) {
  TComboBox* c = Add<TComboBox>(Parent, X, Y, W, 21);
  c->SetItems(Items);
  return c;
}

TCheckBox* TfIOPreviews::AddCheck(TWinControl* Parent, int32_t X, int32_t Y, const std::string& Caption, int32_t Word,
                                  bool Colon) {
  TCheckBox* c = Add<TCheckBox>(Parent, X, Y, 150, 19);
  c->SetCaption(Caption);
  FCaptions.push_back({c, Word, Colon, false});
  return c;
}

TPanel* TfIOPreviews::AddColorPanel(TWinControl* Parent, int32_t X, int32_t Y) {
  TPanel* p = Add<TPanel>(Parent, X, Y, 40, 19);
  p->SetBevelOuter(bvLowered);
  p->SetCaption("");
  p->SetCursor(crHandPoint);
  p->OnClick = [this](TObject* Sender) { ColorPanelClick(Sender); };
  return p;
}

TComboBox* TfIOPreviews::AddListRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word,
                                    bool Colon, const std::vector<std::string>& Items) {
  AddLabel(Parent, 6, Y, Caption, Word, Colon);
  return AddList(Parent, kField, Y, kFieldWidth, Items);
}

TEdit* TfIOPreviews::AddEditRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word, int32_t X,
                                int32_t W) {
  AddLabel(Parent, 6, Y, Caption, Word, true);
  return Add<TEdit>(Parent, X, Y, W, 21);
}

TPanel* TfIOPreviews::AddColorRow(TWinControl* Parent, int32_t Y, const std::string& Caption, int32_t Word) {
  AddLabel(Parent, 6, Y, Caption, Word, true);
  return AddColorPanel(Parent, kField, Y);
}

TEdit* TfIOPreviews::AddImageIndexRow(TWinControl* Parent, int32_t Y, TUpDown*& UpDown) {
  TEdit* e = AddEditRow(Parent, Y, "&Image index:", 48, kField, 50);
  UpDown = Add<TUpDown>(Parent, kField + 50, Y, 15, 21);
  UpDown->SetRange(0, 1000);
  UpDown->SetAssociate(e);
  return e;
}

TGroupBox* TfIOPreviews::AddFrame(TWinControl* Parent, int32_t X, int32_t Y, int32_t W, int32_t H, int32_t Word) {
  TGroupBox* g = Add<TGroupBox>(Parent, X, Y, W, H);
  g->SetCaption(" " + IMGetMsg(Word, msEnglish) + " ");
  FCaptions.push_back({g, Word, false, true});
  return g;
}

void TfIOPreviews::BuildSizes(TTabSheet* S, int32_t Page, int32_t Top) {
  TSizeLabels& z = Sizes[static_cast<size_t>(Page)];
  z.OriginalCaption = AddLabel(S, 6, Top, "Original size:", 43, true);
  z.Original = AddLabel(S, kField, Top, "---", -1, false);
  z.CompressedCaption = AddLabel(S, 6, Top + 18, "Compressed size:", 44, true);
  z.Compressed = AddLabel(S, kField, Top + 18, "---", -1, false);
}

void TfIOPreviews::BuildJpegPage(TTabSheet* S) {
  auto change = [this](TObject* Sender) { JpegChange(Sender); };
  Jpeg.Quality = AddEditRow(S, 6, "&Quality:", 38, kField, 40);
  Jpeg.Quality->OnChange = [this](TObject* Sender) { QualityEditChange(Sender); };
  Jpeg.QualityTrack = Add<TTrackBar>(S, 6, 6 + kRow, 240, 26);
  Jpeg.QualityTrack->SetRange(0, 100);
  Jpeg.QualityTrack->SetFrequency(5);
  Jpeg.QualityTrack->SetThumbLength(10);
  Jpeg.QualityTrack->OnChange = [this](TObject* Sender) { QualityTrackChange(Sender); };
  Jpeg.Photometric =
      AddListRow(S, 6 + 2 * kRow + 6, "P&hotometric:", 49, true, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"});
  Jpeg.Photometric->OnChange = change;

  TGroupBox* adv = AddFrame(S, 4, 6 + 3 * kRow + 12, 246, 4 * kRow + 22, 45);
  AddLabel(adv, 6, 18, "&DCT method:", 39, true);
  Jpeg.DctMethod = AddList(adv, kField - 4, 18, 120, {"ISLOW", "IFAST", "FLOAT"});
  Jpeg.DctMethod->OnChange = change;
  Jpeg.OptimalHuffman = AddCheck(adv, 6, 18 + kRow, "&Optimal Huffman", 42, false);
  Jpeg.OptimalHuffman->OnClick = change;
  Jpeg.Smoothing = AddEditRow(adv, 18 + 2 * kRow, "&Smoothing factor:", 40, kField - 4, 40);
  Jpeg.Smoothing->OnChange = change;
  Jpeg.SmoothingUpDown = Add<TUpDown>(adv, kField + 36, 18 + 2 * kRow, 15, 21);
  Jpeg.SmoothingUpDown->SetRange(0, 100);
  Jpeg.SmoothingUpDown->SetAssociate(Jpeg.Smoothing);
  Jpeg.Progressive = AddCheck(adv, 6, 18 + 3 * kRow, "P&rogressive", 46, false);
  Jpeg.Progressive->OnClick = change;
  BuildSizes(S, ppJPEG, 270);
}

void TfIOPreviews::BuildTiffPage(TTabSheet* S) {
  auto change = [this](TObject* Sender) { TiffChange(Sender); };
  Tiff.Compression = AddListRow(S, 4, "&Compression:", 47, true,
                                {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX", "LZW", "OLDJPEG", "JPEG",
                                 "PACKBITS"});
  Tiff.ImageIndex = AddImageIndexRow(S, 4 + kRow, Tiff.ImageIndexUpDown);
  Tiff.Photometric = AddListRow(S, 4 + 2 * kRow, "P&hotometric:", 49, true,
                                {"WHITEISZERO/Gray", "BLACKISZERO/Gray", "RGB", "RGBPALETTE", "TRANSPMASK", "CMYK",
                                 "YCBCR", "CIELAB"});
  Tiff.Colors = AddListRow(S, 4 + 3 * kRow, "C&olors:", 58, true, {"B/W", "16", "256", "65536", "16M"});

  TGroupBox* adv = AddFrame(S, 4, 4 + 4 * kRow, 246, 2 * kRow + 20, 45);
  Tiff.XPos = AddEditRow(adv, 16, "H&oriz. Position (inch):", 56, 150, 50);
  Tiff.YPos = AddEditRow(adv, 16 + kRow, "&Vert. Position (inch):", 57, 150, 50);

  TGroupBox* doc = AddFrame(S, 4, 6 + 6 * kRow + 20, 246, 4 * kRow + 20, 50);
  Tiff.Name = AddEditRow(doc, 16, "&Name:", 51, 100, 140);
  Tiff.Description = AddEditRow(doc, 16 + kRow, "&Description:", 52, 100, 140);
  Tiff.PageName = AddEditRow(doc, 16 + 2 * kRow, "P&age name:", 53, 100, 140);
  Tiff.PageNumber = AddEditRow(doc, 16 + 3 * kRow, "Page N&umber:", 54, 100, 50);
  AddLabel(doc, 156, 16 + 3 * kRow, "o&f", 55, false);
  Tiff.PageCount = Add<TEdit>(doc, 180, 16 + 3 * kRow, 50, 21);

  for (TComboBox* c : {Tiff.Compression, Tiff.Photometric, Tiff.Colors}) c->OnChange = change;
  for (TEdit* e : {Tiff.ImageIndex, Tiff.XPos, Tiff.YPos, Tiff.Name, Tiff.Description, Tiff.PageName,
                   Tiff.PageNumber, Tiff.PageCount})
    e->OnChange = change;
  BuildSizes(S, ppTIFF, 284);
}

void TfIOPreviews::BuildGifPage(TTabSheet* S) {
  auto change = [this](TObject* Sender) { GifChange(Sender); };
  Gif.ImageIndex = AddImageIndexRow(S, 6, Gif.ImageIndexUpDown);
  Gif.Colors = AddListRow(S, 6 + kRow, "&Colors:", 58, true, {"B/W", "4", "8", "16", "32", "64", "128", "256"});
  Gif.Transparent = AddCheck(S, 6, 6 + 2 * kRow, "&Transparent:", 59, true);
  Gif.TransparentColor = AddColorRow(S, 6 + 3 * kRow, "T&ransparent color:", 60);
  Gif.Interlaced = AddCheck(S, 6, 6 + 4 * kRow, "I&nterlaced:", 61, true);
  Gif.Background = AddColorRow(S, 6 + 5 * kRow, "&Background:", 62);

  TGroupBox* adv = AddFrame(S, 4, 8 + 6 * kRow, 246, 3 * kRow + 22, 45);
  Gif.XPos = AddEditRow(adv, 16, "&Horiz. Position:", 63, kField - 4, 50);
  Gif.YPos = AddEditRow(adv, 16 + kRow, "&Vert. Position:", 64, kField - 4, 50);
  Gif.DelayTime = AddEditRow(adv, 16 + 2 * kRow, "&Delay time:", 65, kField - 4, 50);
  AddLabel(adv, kField + 50, 16 + 2 * kRow, "1/100 s", -1, false);

  Gif.Colors->OnChange = change;
  Gif.Transparent->OnClick = change;
  Gif.Interlaced->OnClick = change;
  for (TEdit* e : {Gif.ImageIndex, Gif.XPos, Gif.YPos, Gif.DelayTime}) e->OnChange = change;
  BuildSizes(S, ppGIF, 270);
}

void TfIOPreviews::BuildBmpPcxPage(TTabSheet* S, bool IsPcx) {
  auto& page = IsPcx ? Pcx : Bmp;
  page.Compression = AddListRow(S, 6, "&Compression:", 47, true, {"UNCOMPRESSED", "RLE"});
  page.Colors = AddListRow(S, 6 + kRow, "C&olors:", 58, true,
                           IsPcx ? std::vector<std::string>{"B/W", "16", "256", "16M"}
                                 : std::vector<std::string>{"B/W", "16", "256", "65536", "16M", "16M (32bit)"});
  auto change = [this, IsPcx](TObject* Sender) { IsPcx ? PcxChange(Sender) : BmpChange(Sender); };
  page.Compression->OnChange = change;
  page.Colors->OnChange = change;
  BuildSizes(S, IsPcx ? ppPCX : ppBMP, 270);
}

void TfIOPreviews::BuildPngPage(TTabSheet* S) {
  auto change = [this](TObject* Sender) { PngChange(Sender); };
  Png.Colors = AddListRow(S, 6, "C&olors:", 58, true, {"B/W", "256", "16M"});
  Png.Background = AddColorRow(S, 6 + kRow, "&Background:", 62);
  Png.Filter = AddListRow(S, 6 + 2 * kRow, "&Filter", 66, false, {"NONE", "SUB", "PAETH"});
  Png.Interlaced = AddCheck(S, 6, 6 + 3 * kRow, "I&nterlaced:", 61, true);
  Png.Compression = AddListRow(S, 6 + 4 * kRow, "Co&mpression", 47, false,
                               {"NONE", "1", "2", "3", "4", "5", "6", "7", "8", "MAX"});
  for (TComboBox* c : {Png.Colors, Png.Filter, Png.Compression}) c->OnChange = change;
  Png.Interlaced->OnClick = change;
  BuildSizes(S, ppPNG, 270);
}

void TfIOPreviews::BuildTgaPage(TTabSheet* S) {
  auto change = [this](TObject* Sender) { TgaChange(Sender); };
  Tga.Colors = AddListRow(S, 6, "C&olors:", 58, true, {"B/W", "256", "16M"});
  Tga.Background = AddColorRow(S, 6 + kRow, "&Background:", 62);
  Tga.Compressed = AddCheck(S, 6, 6 + 2 * kRow, "Compression:", 47, true);
  Tga.Name = AddEditRow(S, 6 + 3 * kRow, "&Name:", 51, kField, kFieldWidth);
  Tga.Description = AddEditRow(S, 6 + 4 * kRow, "&Description:", 52, kField, kFieldWidth);
  Tga.Colors->OnChange = change;
  Tga.Compressed->OnClick = change;
  Tga.Name->OnChange = change;
  Tga.Description->OnChange = change;
  BuildSizes(S, ppTGA, 270);
}

void TfIOPreviews::BuildControls() {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(522, 392);
  SetCaption("Paramters preview");

  PageControl1 = Add<TPageControl>(this, 4, 4, 258, 348);
  PageControl1->SetTabPosition(tpBottom);
  static const char* const kTabs[kIOPreviewPageCount] = {"JPEG", "TIFF", "GIF", "BMP", "PCX", "PNG", "TGA"};
  for (int32_t i = 0; i < kIOPreviewPageCount; ++i) {
    TTabSheet* s = new TTabSheet(this);
    s->SetCaption(kTabs[i]);
    s->SetPageControl(PageControl1);
    Sheets[static_cast<size_t>(i)] = s;
  }
  BuildJpegPage(Sheets[ppJPEG]);
  BuildTiffPage(Sheets[ppTIFF]);
  BuildGifPage(Sheets[ppGIF]);
  BuildBmpPcxPage(Sheets[ppBMP], false);
  BuildBmpPcxPage(Sheets[ppPCX], true);
  BuildPngPage(Sheets[ppPNG]);
  BuildTgaPage(Sheets[ppTGA]);
  PageControl1->OnChange = [this](TObject* Sender) { PageChange(Sender); };

  Panel1 = Add<TPanel>(this, 266, 4, 252, 348);
  Panel1->SetBevelOuter(bvLowered);
  Panel1->SetCaption("");
  SourceLabel = AddLabel(Panel1, 6, 2, "Source:", 1, true);
  Imager1 = Add<TImager>(Panel1, 6, 20, 240, 150);
  Imager1->SetMouseInteract(TIMMouseInteract{miZoom, miScroll});
  Imager1->SetCenter(true);
  Imager1->OnViewChange = [this](TObject* Sender, int32_t Change) { SourceViewChange(Sender, Change); };
  ResultLabel = AddLabel(Panel1, 6, 174, "Result:", 2, true);
  Imager2 = Add<TImager>(Panel1, 6, 192, 240, 150);
  Imager2->SetCenter(true);

  ProgressBar1 = Add<TProgressBar>(this, 4, 364, 120, 16);
  ProgressBar1->SetRange(0, 100);

  LockButton = Add<TSpeedButton>(this, 130, 360, 25, 25);
  LockButton->SetGroupIndex(1);
  LockButton->SetAllowAllUp(true);
  LockButton->SetHint("Lock preview");
  LockButton->SetShowHint(true);
  LockButton->OnClick = [this](TObject* Sender) { LockClick(Sender); };
  {
    // A padlock drawn here: the glyph is ours.
    TBitmap g(16, 16, pf24bit);
    TCanvas& c = g.Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(TRect{0, 0, 16, 16});
    c.Brush().SetColor(clBlack);
    c.FillRect(TRect{3, 7, 13, 15});
    c.Pen().SetColor(clBlack);
    c.Brush().SetStyle(bsClear);
    c.Rectangle(5, 2, 11, 9);
    LockButton->SetGlyph(g);
  }
  FCaptions.push_back({LockButton, 5, false, false});  // the hint

  PreviewButton = Add<TButton>(this, 160, 360, 86, 25);
  PreviewButton->SetCaption("&Preview");
  PreviewButton->OnClick = [this](TObject* Sender) { PreviewClick(Sender); };
  FCaptions.push_back({PreviewButton, 0, false, false});
  ApplyButton = Add<TButton>(this, 250, 360, 86, 25);
  ApplyButton->SetCaption("&Apply");
  ApplyButton->SetEnabled(false);
  ApplyButton->OnClick = [this](TObject* Sender) { ApplyClick(Sender); };
  FCaptions.push_back({ApplyButton, 120, false, false});
  OKButton = Add<TButton>(this, 340, 360, 86, 25);
  OKButton->SetCaption("OK");
  OKButton->SetDefault(true);
  OKButton->OnClick = [this](TObject* Sender) { OKClick(Sender); };
  FCaptions.push_back({OKButton, 3, false, false});
  CancelButton = Add<TButton>(this, 430, 360, 86, 25);
  CancelButton->SetCaption("Cancel");
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  FCaptions.push_back({CancelButton, 4, false, false});

  ColorDialog1 = new TColorDialog(this);
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
}

void TfIOPreviews::SetLanguage(TMsgLanguage Language) {
  SetCaption(IMGetMsg(37, Language));
  for (const TCaptioned& c : FCaptions) {
    std::string word = IMGetMsg(c.Word, Language);
    if (c.Colon) word += ":";
    if (c.Framed) word = " " + word + " ";
    if (c.Control == LockButton) LockButton->SetHint(word);
    else c.Control->SetCaption(word);
  }
  FPaletteCancelCaption = "&" + IMGetMsg(4, Language);
}

}  // namespace kv
