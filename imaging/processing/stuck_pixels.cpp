#include "imaging/processing/stuck_pixels.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

std::string TrimBlanks(const std::string& S) {
  size_t a = 0, b = S.size();
  while (a < b && (S[a] == ' ' || S[a] == '\t')) ++a;
  while (b > a && (S[b - 1] == ' ' || S[b - 1] == '\t' || S[b - 1] == '\r')) --b;
  return S.substr(a, b - a);
}

// The leading decimal digits as a number, capped so that a long run cannot overflow.
int32_t LeadingNumber(const std::string& S) {
  int64_t v = 0;
  for (char c : S) {
    if (c < '0' || c > '9') break;
    v = std::min<int64_t>(v * 10 + (c - '0'), INT32_MAX);
  }
  return int32_t(v);
}

TBGRPixel* Row(TBitmap& B, int32_t Y) { return static_cast<TBGRPixel*>(B.ScanLine(Y)); }
const TBGRPixel* Row(const TBitmap& B, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y)); }

}  // namespace

bool ParseStuckPixelEntry(const std::string& Entry, int32_t& X, int32_t& Y) {
  const size_t comma = Entry.find(',');
  if (comma == std::string::npos) return false;
  const std::string x = TrimBlanks(Entry.substr(0, comma)), y = TrimBlanks(Entry.substr(comma + 1));
  if (x.empty() || y.empty()) return false;
  X = LeadingNumber(x);
  Y = LeadingNumber(y);
  return true;
}

void FixStuckPixels(TBitmap& Bitmap, const std::vector<std::string>& Entries) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  // Positions, not texts: " 5,7" and "5,7" are the same pixel.
  std::set<std::pair<int32_t, int32_t>> listed;
  std::vector<std::pair<int32_t, int32_t>> order;
  for (const std::string& e : Entries) {
    int32_t x = 0, y = 0;
    if (!ParseStuckPixelEntry(e, x, y)) continue;
    if (listed.insert({x, y}).second) order.emplace_back(x, y);
  }
  std::sort(order.begin(), order.end());
  const int32_t reach = std::max(w, h);
  for (const auto& [x, y] : order) {
    if (x < 0 || x >= w || y < 0 || y >= h) continue;
    TBGRPixel* row = Row(Bitmap, y);
    for (int32_t d = 1; d <= reach; ++d) {
      const int64_t left = int64_t(x) - d, right = int64_t(x) + d;
      const bool leftOk = left >= 0 && !listed.count({int32_t(left), y});
      const bool rightOk = right < w && !listed.count({int32_t(right), y});
      if (rightOk) {
        row[x] = row[right];
        break;
      }
      if (leftOk) {
        row[x] = row[left];
        break;
      }
    }
  }
}

void HotPixelKernel(const TBitmap& Source, TBitmap& Target, int32_t Tolerance, TProgressRec& Progress, double Factor,
                    int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t R, int32_t K) {
  if (Source.PixelFormat() != pf24bit || Target.PixelFormat() != pf24bit) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min({X2, Source.Width(), Target.Width()});
  Y2 = std::min({Y2, Source.Height(), Target.Height()});
  if (X1 >= X2 || Y1 >= Y2) return;
  R = std::max(R, 0);
  TBitmap copy;
  const TBitmap* src = &Source;
  if (&Source == &Target) {
    copy.Assign(&Source);
    src = &copy;
  }
  for (int32_t l = Y1; l < Y2; ++l) {
    TBGRPixel* out = Row(Target, l);
    const TBGRPixel* centreRow = Row(*src, l);
    const int32_t top = std::max(l - R, Y1), bottom = std::min(l + R, Y2 - 1);
    for (int32_t t = X1; t < X2; ++t) {
      const TBGRPixel c = centreRow[t];
      const int32_t left = std::max(t - R, X1), right = std::min(t + R, X2 - 1);
      int32_t similar = 0;
      bool haveOther = false;
      TBGRPixel other = c;
      for (int32_t y = top; y <= bottom; ++y) {
        const TBGRPixel* row = Row(*src, y);
        const bool edgeRow = y == l - R || y == l + R;
        for (int32_t x = left; x <= right; ++x) {
          if (!edgeRow && x != t - R && x != t + R) continue;
          const TBGRPixel p = row[x];
          if (std::abs(int32_t(p.r) - c.r) < Tolerance && std::abs(int32_t(p.g) - c.g) < Tolerance &&
              std::abs(int32_t(p.b) - c.b) < Tolerance) {
            ++similar;
          } else {
            other = p;
            haveOther = true;
          }
        }
      }
      if (similar <= K) out[t] = haveOther ? other : c;
    }
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Trunc32((l - Y1 + 1) * Factor));
  }
}

std::vector<std::string> FindDarkFramePixels(const TBitmap& Bitmap, int32_t Tolerance, int32_t MaxPixels,
                                             bool& TooMany) {
  TooMany = false;
  std::vector<std::string> found;
  if (Bitmap.PixelFormat() != pf24bit) return found;
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    const TBGRPixel* row = Row(Bitmap, y);
    for (int32_t x = 0; x < Bitmap.Width(); ++x) {
      const TBGRPixel p = row[x];
      if (p.r <= Tolerance && p.g <= Tolerance && p.b <= Tolerance) continue;
      found.push_back(std::to_string(x) + "," + std::to_string(y));
      if (int32_t(found.size()) >= MaxPixels) {
        TooMany = true;
        return found;
      }
    }
  }
  return found;
}

}  // namespace kv
