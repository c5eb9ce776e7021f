#include "Macros.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "lines/Options.h"
#include "text/Paths.h"

namespace tvx {

namespace {

void ProduceSelf(const MacroInput& e, std::string& out) {
  if (!e.FileNameOnly) out.append(e.Dir);
  out.append(e.Name);
}
void ProduceFull(const MacroInput& e, std::string& out) {
  out.append(e.Dir);
  out.append(e.Name);
}
void ProduceShort(const MacroInput& e, std::string& out) {
  out.append(e.Name);
}
void ProduceDateTime(const MacroInput& e, std::string& out) {
  e.Forms->AppendDateTime(out, e.Time);
}
void ProduceDate(const MacroInput& e, std::string& out) {
  e.Forms->AppendDate(out, e.Time);
}
void ProduceTime(const MacroInput& e, std::string& out) {
  e.Forms->AppendTime(out, e.Time);
}
void ProduceIsoDate(const MacroInput& e, std::string& out) {
  AppendIsoDate(out, e.ExactTime);
}
void ProduceIsoTime(const MacroInput& e, std::string& out) {
  AppendIsoTime(out, e.ExactTime);
}
void ProduceStamp(const MacroInput& e, std::string& out) {
  AppendStamp(out, e.ExactTime);
}
void ProduceRel(const MacroInput& e, std::string& out) {
  out.append(e.Dir.substr(e.RootLength));
  out.append(e.Name);
}
void ProduceParent(const MacroInput& e, std::string& out) {
  out.append(e.Parent);
}
void ProduceName(const MacroInput& e, std::string& out) {
  out.append(e.Name.substr(0, e.Name.size() - ExtensionOf(e.Name).size()));
}
void ProduceExt(const MacroInput& e, std::string& out) {
  out.append(ExtensionOf(e.Name));
}
void ProduceSize(const MacroInput& e, std::string& out) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, e.Size).ptr;
  out.append(text, static_cast<std::size_t>(end - text));
}

using enum PathReach;
using enum MacroSource;
constexpr std::array<MacroRow, 14> kMacros = {{
    {"$SELF", true, Self, Path, ProduceSelf, "Listed file or directory name"},
    {"$FULL", false, Whole, Path, ProduceFull, "Full file or directory name"},
    {"$SHORT", false, Name, Path, ProduceShort, "Only file or Directory name"},
    {"$DATETIME", false, None, Time, ProduceDateTime, "File date and time"},
    {"$DATE", false, None, Time, ProduceDate, "File date"},
    {"$TIME", false, None, Time, ProduceTime, "File time"},
    {"$ISODATE", false, None, Time, ProduceIsoDate, "File date as 2026-12-07"},
    {"$ISOTIME", false, None, Time, ProduceIsoTime, "File time as 16:44:40"},
    {"$STAMP", false, None, Time, ProduceStamp, "File date and time as 20261207-164440"},
    {"$REL", true, BelowRoot, Path, ProduceRel, "Path from the listed directory"},
    {"$PARENT", true, Whole, Directory, ProduceParent, "Directory holding the file or directory"},
    {"$NAME", true, Name, Path, ProduceName, "Name without its extension"},
    {"$EXT", true, Name, Path, ProduceExt, "Extension with its dot"},
    {"$SIZE", false, None, Size, ProduceSize, "Size in bytes"},
}};
static_assert(kMacros.size() <= 32, "LineTemplate keeps a bit per macro");

}  // namespace

std::size_t MacroAt(std::string_view text, std::size_t pos) {
  std::size_t found = kMacros.size();
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    const std::string_view name = kMacros[m].Name;
    if (text.substr(pos, name.size()) == name &&
        (found == kMacros.size() || name.size() > kMacros[found].Name.size()))
      found = m;
  }
  return found;
}

namespace {

void AppendNumbers(std::string& out, const char* format, int a, int b, int c) {
  char text[48];
  const int length = std::snprintf(text, sizeof text, format, a, b, c);
  if (length > 0) out.append(text, static_cast<std::size_t>(length));
}

}  // namespace

std::span<const MacroRow> MacroTable() {
  return kMacros;
}

bool LineTemplate::NeedsDetails() const {
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    const MacroSource source = kMacros[m].Source;
    if (Uses(m) && (source == MacroSource::Size || source == MacroSource::Time)) return true;
  }
  return false;
}

PathReach LineTemplate::Reach(bool fileNameOnly) const {
  PathReach reach = PathReach::None;
  for (std::size_t m = 0; m < kMacros.size(); ++m) {
    if (!Uses(m)) continue;
    PathReach own = kMacros[m].Reach;
    if (own == PathReach::Self) own = fileNameOnly ? PathReach::Name : PathReach::Whole;
    if (own > reach) reach = own;
  }
  return reach;
}

void AppendIsoDate(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%04d-%02d-%02d", parts.Year, parts.Month, parts.Day);
}

void AppendIsoTime(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%02d:%02d:%02d", parts.Hour, parts.Minute, parts.Second);
}

void AppendStamp(std::string& out, TDateTime time) {
  const DateParts parts = SplitDateTime(time);
  AppendNumbers(out, "%04d%02d%02d-", parts.Year, parts.Month, parts.Day);
  AppendNumbers(out, "%02d%02d%02d", parts.Hour, parts.Minute, parts.Second);
}

}  // namespace tvx
