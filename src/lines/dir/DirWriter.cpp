#include "DirWriter.h"

#include <algorithm>
#include <cstring>

#include "lines/KeptInTurns.h"
#include "lines/Output.h"
#include "platform/SystemFacts.h"
#include "text/Paths.h"
#include "text/Width.h"

namespace tvx {

namespace {

// DIR's columns: the date, a blank, the size right-aligned, two blanks, the
// name, each padded with blanks to its width (a longer value is kept whole).
constexpr std::size_t kDateWidth = 20, kSizeWidth = 20, kNameWidth = 30;

// What stands between a date of `written` bytes and the name: the date's
// padding, a blank, the size with its thousands grouped and right-aligned,
// and two blanks. Made whole, then appended at once: every row has one.
void AppendSizeColumn(std::string& out, std::size_t written, std::uint64_t size, char separator) {
  char digits[kGroupedDigitsMost];
  char* const end = digits + sizeof digits;
  const char* const start = GroupedDigitsBefore(end, size, separator);
  const auto length = static_cast<std::size_t>(end - start);
  // Blanks first, all at once (a few wide stores of a known size); the
  // digits then go in their place among them.
  char column[kDateWidth + 1 + kSizeWidth + kGroupedDigitsMost + 2];
  std::memset(column, ' ', sizeof column);
  char* at = column + (written < kDateWidth ? kDateWidth - written : 0) + 1;
  at += length < kSizeWidth ? kSizeWidth - length : 0;
  at = std::copy(start, static_cast<const char*>(end), at) + 2;
  out.append(column, static_cast<std::size_t>(at - column));
}

}  // namespace

DirWriter::DirWriter(const WriterInputs& in)
    : form_{QuoteRuleOf(in.Style), false, in.Options.Upper, in.Options.Lower},
      quote_(!in.Options.NoQuote),
      widthCode_(in.Style == PathStyle::Posix ? CodePage::Utf8() : in.Locale.Code),
      locale_(in.Locale),
      threads_(in.Threads),
      out_(in.Out) {}

DirWriter::DirWriter(const DirWriter& from, LineWriter& out)
    : form_(from.form_),
      quote_(from.quote_),
      widthCode_(from.widthCode_),
      locale_(from.locale_),
      threads_(nullptr),
      out_(out) {}

// A row holds its entry alone: any run of rows may be written apart.
std::unique_ptr<CommandWriter> DirWriter::Fork(LineWriter& out) const {
  return std::unique_ptr<CommandWriter>(new DirWriter(*this, out));
}

void DirWriter::TakeKept(const EntryList& list) {
  WriteKeptInTurns(list, *this, out_, threads_);
}

void DirWriter::Take(const EntryList&, const TTarvixFileInfo& entry) {
  std::string_view name = entry.Name();
  if (entry.HasControlBytes()) {
    shown_.assign(name);
    ShowControlChars(shown_);
    name = shown_;
  }
  // The row is made where it goes out, in the output's own buffer.
  std::string& row = out_.Pending();
  const std::size_t start = row.size();
  // The date starts the row, padded to 20 columns: appended in place.
  AppendDirStamp(row, entry.DateTime(), locale_, stamp_);
  AppendSizeColumn(row, row.size() - start, entry.Size(), locale_.ThousandSeparator);
  AppendName(row, name, entry.IsQuietName(), entry.IsAsciiName());
  out_.EndLine();
}

// The name, in double quotes where it holds a blank (a double quote in it
// doubled), padded to 30 columns as the terminal shows it. The table is for
// people, not a shell: no other character asks for quotes, on any system.
void DirWriter::AppendName(std::string& row, std::string_view name, bool quiet, bool ascii) {
  const std::size_t start = row.size();
  // DIR's form quotes nothing itself: only a change of letter case makes pieces.
  if (!form_.Upper && !form_.Lower) {
    row.append(name);
  } else {
    for (std::string_view piece : QuotedPieces({}, {}, name, form_, locale_.Code, buffer_, quiet))
      row.append(piece);
  }
  // A quiet name holds no blank, so it is never quoted.
  if (quote_ && !quiet && row.find(' ', start) != std::string::npos) {
    shown_.assign(row, start);
    row.resize(start);
    // cmd's form on every system: a double quote inside is doubled.
    AppendQuoted(row, shown_, QuoteRule::CommandPrompt);
  }
  // An ASCII name stays ASCII through case and quotes: a column a byte.
  const std::string_view shown = std::string_view(row).substr(start);
  const std::size_t width = ascii ? shown.size() : DisplayWidth(shown, widthCode_);
  row.append(width < kNameWidth ? kNameWidth - width : 0, ' ');
}

void DirWriter::Finish(const EntryList& list, const RunSummary& summary) {
  const std::uint64_t totalBytes = summary.TotalBytes;
  const bool megabytes = totalBytes > 1048000;
  const std::uint64_t divisor = megabytes ? 1048000 : 1024;
  const std::string unit = megabytes ? " MB (" : " KB (";
  const std::uint64_t capacity = summary.Space ? summary.Space->Total : 0;
  const std::uint64_t free = summary.Space ? summary.Space->FreeForCaller : 0;
  auto figures = [&](std::uint64_t bytes) {
    return FormatNumber(bytes / divisor, locale_) + unit + FormatNumber(bytes, locale_) + " bytes)";
  };
  out_.WriteText("\r\n " + std::to_string(list.Count()) + " files exists. " + figures(totalBytes) +
                 "\r\n\r\n - DRIVE INFO\r\n " + figures(capacity) + "\r\n " + figures(free) +
                 " free");
  out_.WriteText(summary.Banner);
}

}  // namespace tvx
