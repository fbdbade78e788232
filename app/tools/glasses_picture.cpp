#include "app/tools/glasses_picture.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/rtl/file_utils.h"
#include "platform/system/file_lock.h"
#include "platform/system/paths.h"

namespace kv {

namespace {

// Records of a Windows metafile, little-endian 16-bit words.
class TWmfWriter {
 public:
  void Window(int16_t W, int16_t H) {
    Record(0x020B, {0, 0});  // window origin (y, x)
    Record(0x020C, {H, W});  // window extent (y, x)
  }
  // Selects a new pen and brush (a hollow brush without Fill) for the next shapes.
  void Style(uint32_t Pen, int16_t PenWidth, bool Fill, uint32_t Brush) {
    Drop();
    Record(0x02FA, {int16_t(PenWidth > 0 ? 0 : 5), PenWidth, 0, int16_t(Pen & 0xFFFF), int16_t(Pen >> 16)});
    Record(0x02FC, {int16_t(Fill ? 0 : 1), int16_t(Brush & 0xFFFF), int16_t(Brush >> 16), 0});
    Record(0x012D, {0});
    Record(0x012D, {1});
    FHaveObjects = true;
  }
  void Rect(int16_t L, int16_t T, int16_t R, int16_t B) { Record(0x041B, {B, R, T, L}); }
  void RoundRect(int16_t L, int16_t T, int16_t R, int16_t B, int16_t Corner) {
    Record(0x061C, {Corner, Corner, B, R, T, L});
  }
  void Polygon(const std::vector<std::pair<int16_t, int16_t>>& Points) {
    std::vector<int16_t> p{int16_t(Points.size())};
    for (auto [x, y] : Points) {
      p.push_back(x);
      p.push_back(y);
    }
    Record(0x0324, p);
  }
  // The whole file: placeable header, metafile header, records, end record.
  std::string Finish(int16_t W, int16_t H) {
    Drop();
    Record(0x0000, {});
    std::vector<uint16_t> placeable{0xCDD7, 0x9AC6, 0, 0, 0, uint16_t(W), uint16_t(H), 96, 0, 0};
    uint16_t sum = 0;
    for (uint16_t w : placeable) sum ^= w;
    placeable.push_back(sum);
    const uint32_t total = uint32_t(9 + FWords.size());
    std::vector<uint16_t> header{1, 9, 0x0300, uint16_t(total & 0xFFFF), uint16_t(total >> 16), 2,
                                 uint16_t(FMaxRecord & 0xFFFF), uint16_t(FMaxRecord >> 16), 0};
    std::string out;
    for (const auto* part : {&placeable, &header, &FWords})
      for (uint16_t w : *part) {
        out.push_back(char(w & 0xFF));
        out.push_back(char(w >> 8));
      }
    return out;
  }

 private:
  void Record(uint16_t Function, const std::vector<int16_t>& Params) {
    const uint32_t size = uint32_t(3 + Params.size());
    FMaxRecord = std::max(FMaxRecord, size);
    FWords.push_back(uint16_t(size & 0xFFFF));
    FWords.push_back(uint16_t(size >> 16));
    FWords.push_back(Function);
    for (int16_t p : Params) FWords.push_back(uint16_t(p));
  }
  void Record(uint16_t Function, std::initializer_list<int16_t> Params) {
    Record(Function, std::vector<int16_t>(Params));
  }
  // The pen and brush in slots 0 and 1 are freed before new ones take the slots.
  void Drop() {
    if (!FHaveObjects) return;
    Record(0x01F0, {0});
    Record(0x01F0, {1});
    FHaveObjects = false;
  }
  std::vector<uint16_t> FWords;
  uint32_t FMaxRecord = 0;
  bool FHaveObjects = false;
};

// COLORREF: red in the low byte.
constexpr uint32_t Rgb(uint8_t R, uint8_t G, uint8_t B) { return R | (uint32_t(G) << 8) | (uint32_t(B) << 16); }

// One temple: a bar with a bent end and a tab to glue it to the front.
void Temple(TWmfWriter& W, int16_t Top) {
  W.Polygon({{40, Top},
             {600, Top},
             {680, int16_t(Top + 70)},
             {660, int16_t(Top + 90)},
             {590, int16_t(Top + 40)},
             {60, int16_t(Top + 40)},
             {40, int16_t(Top + 40)}});
}

}  // namespace

void WriteGlassesMetafile(const std::string& FileName) {
  TWmfWriter w;
  w.Window(kGlassesWidth, kGlassesHeight);
  // White paper under everything, so that the lenses are the only coloured areas.
  w.Style(Rgb(255, 255, 255), 0, true, Rgb(255, 255, 255));
  w.Rect(0, 0, kGlassesWidth, kGlassesHeight);
  // The two temples.
  w.Style(Rgb(0, 0, 0), 2, true, Rgb(255, 255, 255));
  Temple(w, 100);
  Temple(w, 260);
  // The front with the nose cut between the lenses.
  w.Polygon({{60, 545}, {600, 545}, {600, 705}, {365, 705}, {330, 660}, {295, 705}, {60, 705}});
  // The lenses: blue on the left (the wearer's right eye), red on the right.
  w.Style(Rgb(0, 0, 0), 2, true, Rgb(0, 0, 255));
  w.RoundRect(95, 575, 295, 675, 40);
  w.Style(Rgb(0, 0, 0), 2, true, Rgb(255, 0, 0));
  w.RoundRect(365, 575, 565, 675, 40);
  AtomicWriteFile(FileName, w.Finish(kGlassesWidth, kGlassesHeight));
}

std::string GlassesFile() {
  const std::string file = ProgramFolder() + "glasses.wmf";
  if (!FileExists(file)) WriteGlassesMetafile(file);
  return file;
}

}  // namespace kv
