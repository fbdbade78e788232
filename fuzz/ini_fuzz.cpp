// INI text: any bytes parse, write back to text that parses to the same lines
// (sections, values and lines we do not understand alike), and reading and
// editing those lines keeps to the rules TIniFile promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/ini_file.h"
#include "platform/system/reg_tree.h"

namespace {

using kv::TIniLines;

void Check(bool ok) {
  if (!ok) std::abort();
}

// Values never hold a line break, so this default shows a value was not found.
const std::string kMissing = "\n";

bool SameLines(const TIniLines& a, const TIniLines& b) {
  // Without lines there is no line end to keep.
  return a.Items == b.Items && a.Bom == b.Bom && (a.Crlf == b.Crlf || a.Items.empty());
}

void CheckRoundTrip(const TIniLines& Lines) {
  const std::string text = kv::FormatIniText(Lines);
  const TIniLines again = kv::ParseIniText(text);
  Check(SameLines(Lines, again));
  Check(kv::FormatIniText(again) == text);
}

struct TEntry {
  std::string Section, Name, Value;
};

// A bounded sample of what the lines hold, read through the public rules.
std::vector<TEntry> Sample(const TIniLines& Lines) {
  std::vector<TEntry> out;
  std::vector<std::string> sections, names;
  kv::IniReadSections(Lines, sections);
  for (size_t s = 0; s < sections.size() && s < 6; ++s) {
    kv::IniReadSection(Lines, sections[s], names);
    for (size_t n = 0; n < names.size() && n < 6; ++n) {
      TEntry e{sections[s], names[n], kv::IniReadString(Lines, sections[s], names[n], kMissing)};
      Check(e.Value != kMissing);  // every listed name has a value
      int32_t number = 0;
      kv::TryParseIniInteger(e.Value, number);
      out.push_back(std::move(e));
    }
  }
  return out;
}

void CheckSample(const TIniLines& Lines, const std::vector<TEntry>& Entries, std::string_view SkipSection,
                 std::string_view SkipName) {
  for (const TEntry& e : Entries) {
    if (kv::SameRegName(e.Section, SkipSection) && (SkipName.empty() || kv::SameRegName(e.Name, SkipName))) continue;
    Check(kv::IniReadString(Lines, e.Section, e.Name, kMissing) == e.Value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  TIniLines lines = kv::ParseIniText(text);
  CheckRoundTrip(lines);
  const std::vector<TEntry> before = Sample(lines);
  Check(before.empty() || !lines.Items.empty());

  // The value written reads back; no other value changes.
  const TEntry target = before.empty() ? TEntry{"Fuzz", "Key", ""} : before[Size % before.size()];
  if (kv::WritableIniEntry(target.Section, target.Name, "written")) {
    Check(kv::IniWriteString(lines, target.Section, target.Name, "written"));
    Check(kv::IniReadString(lines, target.Section, target.Name, kMissing) == "written");
    CheckSample(lines, before, target.Section, target.Name);
    CheckRoundTrip(lines);
    Check(kv::IniDeleteKey(lines, target.Section, target.Name));
    CheckRoundTrip(lines);
  }
  // An erased section is gone, with every copy of it; the others stay.
  kv::IniEraseSection(lines, target.Section);
  std::vector<std::string> names;
  kv::IniReadSection(lines, target.Section, names);
  Check(names.empty() && kv::IniReadString(lines, target.Section, target.Name, kMissing) == kMissing);
  CheckSample(lines, before, target.Section, "");
  CheckRoundTrip(lines);
  return 0;
}
