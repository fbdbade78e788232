// The multi-frame loader: the I/O companion of a multi-image view. It loads
// every frame of an animated GIF, every page of a TIFF and every frame of an
// AVI video into the view, one entry per frame, and keeps one parameter
// record per entry, index for index, so that each frame's file parameters
// can be edited in the format parameters dialog. It writes no files.
//
// Each file is read once from its start to its end, whatever the number of
// frames: the frame readers walk on from one frame to the next.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_params.h"
#include "imaging/formats/twain_params.h"
#include "imaging/model/kernel_types.h"
#include "imaging/model/words.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"

namespace kv {

class TImagerMView;
struct TIMBitmapChangeRecord;

class TImagerMIO : public TComponent {
 public:
  explicit TImagerMIO(TComponent* AOwner);
  ~TImagerMIO() override;

  TImagerMView* AttachedMView() const { return FAttachedMView; }
  // Registers with the new view's bitmap-change callbacks (after leaving the old one's).
  void SetAttachedMView(TImagerMView* Value);

  // The record of entry idx; null when idx is not below ParamsCount().
  TIOParamsVals* ImageParams(int32_t idx) const;
  int32_t ParamsCount() const { return static_cast<int32_t>(FParams.size()); }

  // Set by a failed load, or by a progress handler to stop the one running;
  // cleared when a load starts. Frames loaded before it was set stay.
  bool Aborting() const { return FAborting; }
  void SetAborting(bool Value) { FAborting = Value; }

  TMsgLanguage MsgLanguage() const { return FMsgLanguage; }
  void SetMsgLanguage(TMsgLanguage Value) { FMsgLanguage = Value; }
  TIOPreviewsParams PreviewsParams() const { return FPreviewsParams; }
  void SetPreviewsParams(TIOPreviewsParams Value) { FPreviewsParams = Value; }
  TFont* PreviewFont() const { return FPreviewFont.get(); }
  // Copies the font.
  void SetPreviewFont(TFont* Value);
  // Created and freed with the component; no operation here uses it.
  TIMTWainParams& TWainParams() { return *FTWainParams; }

  // By the lower-cased extension: ".gif", ".tif"/".tiff", ".avi"; anything else loads nothing.
  void LoadFile(const std::string& FileName);
  // Open the file with shared read access, load from it, close it. A file
  // that cannot be opened raises EFOpenError.
  void LoadGIFFile(const std::string& FileName);
  void LoadTIFFFile(const std::string& FileName);
  // Load from the stream's current position.
  void LoadGIFStream(TStream& Stream);
  void LoadTIFFStream(TStream& Stream);
  void LoadAVIFile(const std::string& FileName);
  // The same in steps, so that a caller can show the first frames at once
  // and stop between steps: BeginAVILoad opens the file and returns its
  // frame count (0 when it cannot be read); each ContinueAVILoad adds up to
  // MaxFrames frames and returns whether frames remain. A new begin, a stop
  // or the end of the frames closes the file.
  int32_t BeginAVILoad(const std::string& FileName);
  bool ContinueAVILoad(int32_t MaxFrames);
  void StopAVILoad();
  bool AVILoadRunning() const { return FAviLoad != nullptr; }

  // Shows the format parameters dialog for record idx (which must exist) on
  // the view's current image; true when it closed with OK. False without a
  // view or a current image, or when the pages show nothing.
  bool ShowPreviewsDialog(int32_t idx, int32_t Pages);

  TIMProgressEvent OnProgress;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void MViewChanged(bool Destroying);
  void Detach();
  void InsertParams(int32_t idx);
  void DeleteParams(int32_t idx);
  void Renumber();
  void Progress(int32_t i, int32_t Count);
  void FinishLoad();
  TComponent* AttachedMViewComponent() const;
  void SetAttachedMViewComponent(TComponent* Value);

  TImagerMView* FAttachedMView = nullptr;
  TIMBitmapChangeRecord* FChangeHandle = nullptr;
  std::vector<std::unique_ptr<TIOParamsVals>> FParams;
  bool FAborting = false;
  TMsgLanguage FMsgLanguage = msSystem;
  TIOPreviewsParams FPreviewsParams;
  std::unique_ptr<TFont> FPreviewFont;
  std::unique_ptr<TIMTWainParams> FTWainParams;
  struct TAviLoad;
  std::unique_ptr<TAviLoad> FAviLoad;
};

}  // namespace kv
