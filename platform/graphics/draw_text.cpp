// DrawText over the canvas's text primitives.
#include "platform/graphics/draw_text.h"

#include <algorithm>
#include <vector>

namespace kv {

namespace {

struct TLine {
  std::string Text;      // without prefix marks
  int32_t Underline = -1;  // byte index of the underlined character, -1 for none
};

// Removes the "&" marks: "&&" is one "&", "&x" underlines x.
TLine StripPrefix(const std::string& S, bool NoPrefix) {
  TLine l;
  if (NoPrefix) {
    l.Text = S;
    return l;
  }
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == '&' && i + 1 < S.size()) {
      ++i;
      if (S[i] != '&') l.Underline = static_cast<int32_t>(l.Text.size());
    }
    l.Text += S[i];
  }
  return l;
}

std::string ExpandTabs(const std::string& S) {
  std::string r;
  for (char c : S) {
    if (c == '\t') r.append(8 - r.size() % 8, ' ');
    else r += c;
  }
  return r;
}

// Breaks one paragraph at blanks so that each line fits Width; a word wider
// than Width stands on its own line.
void WrapInto(TCanvas& C, const std::string& Para, int32_t Width, std::vector<std::string>& Out) {
  if (Para.empty()) {
    Out.push_back({});
    return;
  }
  std::string line;
  size_t i = 0;
  while (i < Para.size()) {
    size_t j = Para.find(' ', i);
    if (j == std::string::npos) j = Para.size();
    const std::string word = Para.substr(i, j - i);
    const std::string candidate = line.empty() ? word : line + ' ' + word;
    if (!line.empty() && C.TextWidth(StripPrefix(candidate, false).Text) > Width) {
      Out.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    i = j + 1;
  }
  Out.push_back(line);
}

}  // namespace

int32_t DrawText(TCanvas& Canvas, const std::string& Text, TRect& R, uint32_t Format) {
  std::string text = Format & DT_EXPANDTABS ? ExpandTabs(Text) : Text;
  std::vector<std::string> raw;
  if (Format & DT_SINGLELINE) {
    for (char& c : text)
      if (c == '\r' || c == '\n') c = ' ';
    raw.push_back(text);
  } else {
    size_t i = 0;
    while (true) {
      const size_t j = text.find_first_of("\r\n", i);
      const std::string para = text.substr(i, j == std::string::npos ? std::string::npos : j - i);
      if (Format & DT_WORDBREAK) WrapInto(Canvas, para, R.Width(), raw);
      else raw.push_back(para);
      if (j == std::string::npos) break;
      i = j + 1;
      if (text[j] == '\r' && i < text.size() && text[i] == '\n') ++i;
    }
  }
  const int32_t lineHeight = Canvas.TextHeight("W");
  std::vector<TLine> lines;
  int32_t maxWidth = 0;
  for (const std::string& s : raw) {
    lines.push_back(StripPrefix(s, Format & DT_NOPREFIX));
    maxWidth = std::max(maxWidth, Canvas.TextWidth(lines.back().Text));
  }
  const int32_t total = lineHeight * static_cast<int32_t>(lines.size());
  if (Format & DT_CALCRECT) {
    R.Right = R.Left + maxWidth;
    R.Bottom = R.Top + total;
    return total;
  }
  int32_t y = R.Top;
  if (Format & DT_SINGLELINE) {
    if (Format & DT_BOTTOM) y = R.Bottom - total;
    else if (Format & DT_VCENTER) y = R.Top + (R.Height() - total) / 2;
  }
  uint32_t horz = Format & (DT_CENTER | DT_RIGHT);
  for (const TLine& l : lines) {
    std::string shown = l.Text;
    int32_t w = Canvas.TextWidth(shown);
    if ((Format & DT_END_ELLIPSIS) && w > R.Width()) {
      while (!shown.empty() && Canvas.TextWidth(shown + "...") > R.Width()) shown.pop_back();
      shown += "...";
      w = Canvas.TextWidth(shown);
    }
    int32_t x = R.Left;
    if (horz & DT_CENTER) x = R.Left + (R.Width() - w) / 2;
    else if (horz & DT_RIGHT) x = R.Right - w;
    if (Format & DT_NOCLIP) {
      Canvas.TextOut(x, y, shown);
    } else {
      const TRect cell{std::max(R.Left, x), std::max(R.Top, y), std::min(R.Right, x + w),
                       std::min(R.Bottom, y + lineHeight)};
      if (cell.Right > cell.Left && cell.Bottom > cell.Top) Canvas.TextRect(cell, x, y, shown);
    }
    if (l.Underline >= 0 && static_cast<size_t>(l.Underline) < shown.size()) {
      const int32_t ux = x + Canvas.TextWidth(shown.substr(0, size_t(l.Underline)));
      const int32_t uw = Canvas.TextWidth(shown.substr(size_t(l.Underline), 1));
      const int32_t uy = y + lineHeight - 2;
      if (uy >= R.Top && uy < R.Bottom) {
        const TColor pen = Canvas.Pen().Color();
        Canvas.Pen().SetColor(Canvas.Font().Color());
        Canvas.MoveTo(ux, uy);
        Canvas.LineTo(ux + uw, uy);
        Canvas.Pen().SetColor(pen);
      }
    }
    y += lineHeight;
  }
  return total;
}

}  // namespace kv
