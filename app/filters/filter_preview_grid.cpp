// The filter preview grid.
#include "app/filters/filter_preview_grid.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "app/filters/filter_apply.h"
#include "app/filters/filter_catalogue.h"
#include "imaging/model/mask.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/ff_files.h"
#include "imaging/processing/imager_proc.h"
#include "imaging/processing/resample.h"
#include "imaging/processing/user_filter.h"
#include "imaging/views/imager_mview.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "platform/rtl/sys_error.h"

namespace kv {

TFilterRefs CatalogueRefs(const tfilterclass& Catalogue) {
  TFilterRefs refs;
  refs.reserve(size_t(Catalogue.Count()));
  for (int32_t i = 0; i < Catalogue.Count(); ++i) refs.push_back({Catalogue.Names(i), Catalogue.Items(i)});
  return refs;
}

TRect SelectionArea(TImagerView& View) {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  TIMMask* mask = nullptr;
  const TPoint* points = nullptr;
  if (!View.Proc()->GetSelectionInfo(x1, y1, x2, y2, mask, polyCount, points) || x2 <= x1 || y2 <= y1)
    return TRect{0, 0, View.Bitmap().Width(), View.Bitmap().Height()};
  // The box may reach past a picture that shrank under the selection.
  return TRect{std::max(x1, 0), std::max(y1, 0), std::min(x2, View.Bitmap().Width()),
               std::min(y2, View.Bitmap().Height())};
}

void ScaleAreaInto(const TBitmap& Source, const TRect& Area, int32_t MaxW, int32_t MaxH, TBitmap& Target) {
  Target.SetSize(0, 0);
  Target.SetPixelFormat(pf24bit);
  if (Area.Width() <= 0 || Area.Height() <= 0 || MaxW <= 0 || MaxH <= 0) return;
  int32_t w = 1, h = 1;
  FitThumbSize(Area.Width(), Area.Height(), MaxW, MaxH, w, h);
  const bool whole = Area.Left == 0 && Area.Top == 0 && Area.Width() == Source.Width() &&
                     Area.Height() == Source.Height() && Source.PixelFormat() == pf24bit;
  TBitmap part;
  const TBitmap* src = &Source;
  if (!whole) {
    if (!CopyBitmapRect(Source, part, Area.Left, Area.Top, Area.Right, Area.Bottom)) return;
    if (part.PixelFormat() != pf24bit) {
      TBitmap c;
      c.SetPixelFormat(pf24bit);
      c.SetSize(part.Width(), part.Height());
      c.Canvas().Draw(0, 0, part);
      part.TakeOver(c);
    }
    src = &part;
  }
  if (w == src->Width() && h == src->Height()) {
    Target.Assign(src);
    return;
  }
  Target.SetSize(w, h);
  if (src->Width() < 2 && src->Height() < 2) {
    // The resamplers leave a single pixel alone: spread it by hand.
    const uint8_t* p = static_cast<const uint8_t*>(src->ScanLine(0));
    for (int32_t y = 0; y < h; ++y) {
      auto* row = static_cast<uint8_t*>(Target.ScanLine(y));
      for (int32_t x = 0; x < w; ++x) std::memcpy(row + size_t(x) * 3, p, 3);
    }
    return;
  }
  ResampleBitmapProgress(*src, Target, rfFastLinear, nullptr, nullptr);
}

Tmultiform::Tmultiform(TComponent* AOwner) : TForm(AOwner) {
  SetName("multiform");
  SetCaption("Schnell-Auswahl");
  SetBounds(0, 0, 640, 520);
  SetPosition(poScreenCenter);
  ImagerMView1 = new TImagerMView(this);
  ImagerMView1->SetParent(this);
  ImagerMView1->SetBounds(8, 8, 624, 380);
  ImagerMView1->SetHint("Durch Doppelklick mit der Maus wählen Sie den entsprechenden Filter aus.");
  ImagerMView1->SetShowHint(true);
  ImagerMView1->SetSelectionColor(clRed);
  ImagerMView1->SetSelectionWidth(3);
  ImagerMView1->OnImageSelect = [this](TObject*, int32_t idx) { ShowItemInfo(idx); };
  ImagerMView1->OnDblClick = [this](TObject*) {
    TakeChoice();
    if (Chosen) SetModalResult(mrOk);
  };
  auto label = [this](int32_t y, const std::string& Caption) {
    auto* l = new TLabel(this);
    l->SetParent(this);
    l->SetBounds(8, y, 80, 17);
    l->SetCaption(Caption);
    auto* v = new TLabel(this);
    v->SetParent(this);
    v->SetBounds(90, y, 540, 17);
    return v;
  };
  CategoryLabel = label(396, "Kategorie");
  NameLabel = label(416, "Name");
  AuthorLabel = label(436, "Autor");
  CopyrightLabel = label(456, "Copyright");
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetBounds(460, 484, 80, 25);
  Button1->SetCaption("Ok");
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button1->OnClick = [this](TObject*) { TakeChoice(); };
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetBounds(550, 484, 80, 25);
  Button2->SetCaption("Abbrechen");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  OnShow = [this](TObject*) { BuildThumbnails(); };
  OnActivate = [this](TObject*) { TakeChoice(); };
}

Tmultiform::~Tmultiform() = default;

void Tmultiform::BuildThumbnails() {
  if (FBuilt || !Source) return;
  FBuilt = true;
  ScaleAreaInto(Source->Bitmap(), SelectionArea(*Source), ImagerMView1->ThumbWidth(), ImagerMView1->ThumbHeight(),
                FPreview);
  FErrors.assign(Catalogue.size(), std::string());
  ImagerMView1->LockPaint();
  for (size_t i = 0; i < Catalogue.size(); ++i) {
    FWork.Assign(&FPreview);
    if (tfilteritem* item = Catalogue[i].Item) {
      try {
        if (item->Kind == fkUserFilter && !item->FilePath.empty()) LoadUserFilter(item->FilePath, item->Convolution);
        TProgressRec none;
        ApplyFilterItem(FWork, *item, false, true, 1, none, 0, 0, FWork.Width(), FWork.Height());
      } catch (const std::exception& e) {
        // One filter that cannot run keeps its place, showing the picture unfiltered.
        FErrors[i] = ExceptionText(e);
        FWork.Assign(&FPreview);
      }
    }
    const int32_t idx = ImagerMView1->GetImageCount();
    ImagerMView1->InsertImageNoSelect(idx);
    ImagerMView1->SetImageNoUpdate(idx, &FWork);
  }
  ImagerMView1->UnlockPaint();
}

void Tmultiform::ShowItemInfo(int32_t Index) {
  if (Index < 0 || size_t(Index) >= Catalogue.size() || !Catalogue[size_t(Index)].Item) return;
  const tfilteritem& item = *Catalogue[size_t(Index)].Item;
  std::string category = item.Category;
  if (item.Kind == fkUserFilter) {
    while (!category.empty() && (category.back() == '/' || category.back() == '\\')) category.pop_back();
  }
  CategoryLabel->SetCaption(category);
  NameLabel->SetCaption(Catalogue[size_t(Index)].Name);
  std::string author, copyright;
  if (item.Kind == fkFilterFactory) {
    try {
      const tfflfilter* lib = item.Library.get();
      tfflfilter loaded;
      if (!lib) {
        loaded.Load(item.FilePath);
        lib = &loaded;
      }
      author = lib->GetField(ffkAuthor, item.FilterNumber);
      copyright = lib->GetField(ffkCopyright, item.FilterNumber);
    } catch (const std::exception&) {
      // A file gone since the scan has nothing to tell.
    }
  }
  AuthorLabel->SetCaption(author);
  CopyrightLabel->SetCaption(copyright);
}

void Tmultiform::TakeChoice() {
  const int32_t i = ImagerMView1->SelectedImage();
  if (i < 0 || size_t(i) >= Catalogue.size()) return;
  ChosenIndex = i;
  Chosen = Catalogue[size_t(i)].Item;
}

tfilteritem* ChooseFilterByPreview(TImagerView& Source, const TFilterRefs& Refs, int32_t* ChosenIndex) {
  auto grid = std::make_unique<Tmultiform>(nullptr);
  grid->Source = &Source;
  grid->Catalogue = Refs;
  const bool ok = grid->ShowModal() == mrOk && grid->Chosen;
  if (ChosenIndex) *ChosenIndex = ok ? grid->ChosenIndex : -1;
  return ok ? grid->Chosen : nullptr;
}

}  // namespace kv
