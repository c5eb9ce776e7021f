#include "TreeView.h"

#include <algorithm>
#include <string_view>

namespace tvx {

namespace {

// The pieces a line is drawn with: box-drawing characters and blocks where
// the output shows them, plain ASCII where it may not.
struct Glyphs {
  std::string_view branch, last, through, blank, full, empty, ellipsis;
};
constexpr Glyphs kBox{
    "\u251C\u2500\u2500 ", "\u2514\u2500\u2500 ", "\u2502   ", "    ", "\u2588", " ", "\u2026"};
constexpr Glyphs kAscii{"|-- ", "`-- ", "|   ", "    ", "#", ".", "..."};

constexpr std::size_t kPercentWidth = 4;  // "100%"
constexpr std::size_t kBarMost = 30;      // the longest bar
constexpr std::size_t kBarLeast = 8;      // what is left before a bar is drawn at all

// The character at text[at]: its length in bytes and its code point, or
// length 1 and no code point (U+FFFFFFFF) for a byte that begins none.
std::size_t Decode(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  code = 0xFFFFFFFF;
  const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  if (lead >= 0xF8 || (lead >= 0x80 && lead < 0xC2) || at + length > text.size()) return 1;
  char32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 1;
    value = value << 6 | (byte(i) & 0x3F);
  }
  code = value;
  return length;
}

bool Within(char32_t code, char32_t low, char32_t high) {
  return code >= low && code <= high;
}

// Columns a character takes: two for the wide and full-width East Asian
// ones (and the pictographs terminals draw as wide), none for a combining
// mark or a zero-width one, one for anything else.
std::size_t CharWidth(char32_t code) {
  if (Within(code, 0x0300, 0x036F) || Within(code, 0x200B, 0x200F) || code == 0xFE0F) return 0;
  const bool wide = Within(code, 0x1100, 0x115F) || Within(code, 0x2E80, 0x303E) ||
                    Within(code, 0x3041, 0x33FF) || Within(code, 0x3400, 0x4DBF) ||
                    Within(code, 0x4E00, 0x9FFF) || Within(code, 0xA000, 0xA4CF) ||
                    Within(code, 0xAC00, 0xD7A3) || Within(code, 0xF900, 0xFAFF) ||
                    Within(code, 0xFE30, 0xFE4F) || Within(code, 0xFF00, 0xFF60) ||
                    Within(code, 0xFFE0, 0xFFE6) || Within(code, 0x1F300, 0x1F64F) ||
                    Within(code, 0x1F900, 0x1F9FF) || Within(code, 0x20000, 0x3FFFD);
  return wide ? 2 : 1;
}

std::size_t DisplayWidth(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    at += Decode(text, at, code);
    width += CharWidth(code);
  }
  return width;
}

// The longest start of text within columns, whole characters only, and
// the columns it takes.
std::string_view Head(std::string_view text, std::size_t columns, std::size_t& taken) {
  taken = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    char32_t code = 0;
    const std::size_t length = Decode(text, at, code);
    const std::size_t width = CharWidth(code);
    if (taken + width > columns) break;
    taken += width;
    at += length;
  }
  return text.substr(0, at);
}

// text in exactly columns: padded with blanks, or cut with an ellipsis.
std::string Fit(std::string_view text, std::size_t columns, const Glyphs& glyphs) {
  const std::size_t width = DisplayWidth(text);
  std::string out;
  std::size_t taken = width;
  if (width <= columns) {
    out.assign(text);
  } else {
    const std::size_t mark = DisplayWidth(glyphs.ellipsis);
    const bool marked = columns >= mark + 1;
    out.assign(Head(text, marked ? columns - mark : columns, taken));
    if (marked) {
      out.append(glyphs.ellipsis);
      taken += mark;
    }
  }
  out.append(columns - taken, ' ');
  return out;
}

// One directory's line before it is laid out.
struct Row {
  std::string tree;  // the branches above it, then its name
  std::string size;
  bool partial = false;
  double share = 0;  // of its parent's size, 0 to 1
};

double Share(std::uint64_t size, std::uint64_t whole) {
  if (whole == 0) return 0;
  return std::min(1.0, static_cast<double>(size) / static_cast<double>(whole));
}

// Largest first; equal sizes by the bytes of their names.
std::vector<const TreeNode*> Ordered(const TreeNode& node) {
  std::vector<const TreeNode*> children;
  for (const TreeNode& child : node.children) children.push_back(&child);
  std::sort(children.begin(), children.end(), [](const TreeNode* a, const TreeNode* b) {
    if (a->size != b->size) return a->size > b->size;
    return a->name < b->name;
  });
  return children;
}

struct Collector {
  const Glyphs& glyphs;
  const std::function<std::string(std::uint64_t)>& sizeText;
  std::vector<Row> rows;

  // node's line and its children's; above: the branches of its ancestors
  // below the root, which its descendants' lines continue.
  void Add(const TreeNode& node, std::uint64_t parentSize, const std::string& above,
           std::string_view branch) {
    std::string shown = node.name;
    // A control byte would break the line, or move the terminal's cursor.
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    rows.push_back({above + std::string(branch) + shown, sizeText(node.size), node.partial,
                    Share(node.size, parentSize)});
    const std::vector<const TreeNode*> children = Ordered(node);
    for (std::size_t i = 0; i < children.size(); ++i) {
      const bool last = i + 1 == children.size();
      Add(*children[i], node.size, above + std::string(BranchBelow(branch)),
          last ? glyphs.last : glyphs.branch);
    }
  }
  // What continues a branch on the lines of the entries below it.
  std::string_view BranchBelow(std::string_view branch) const {
    if (branch.empty()) return {};
    return branch == glyphs.last ? glyphs.blank : glyphs.through;
  }
};

// The widths of the columns, within width: the tree's column gives way
// first down to a few columns, then the bar.
struct Layout {
  std::size_t tree = 0, size = 0, bar = 0;
};

Layout LayOut(const std::vector<Row>& rows, std::size_t width) {
  Layout layout;
  std::size_t longest = 0;
  for (const Row& row : rows) {
    longest = std::max(longest, DisplayWidth(row.tree));
    layout.size = std::max(layout.size, DisplayWidth(row.size));
  }
  // " " size "!" " " percent, around the tree and the bar.
  const std::size_t fixed = layout.size + 3 + kPercentWidth;
  const std::size_t rest = width > fixed ? width - fixed : 0;
  if (rest >= kBarLeast) layout.bar = std::min(kBarMost, rest / 3);
  layout.tree = std::min(longest, rest - (layout.bar > 0 ? layout.bar + 1 : 0));
  return layout;
}

std::string Bar(double share, std::size_t cells, const Glyphs& glyphs) {
  const auto filled = std::min(cells, static_cast<std::size_t>(share * cells + 0.5));
  std::string bar;
  for (std::size_t i = 0; i < cells; ++i) bar.append(i < filled ? glyphs.full : glyphs.empty);
  return bar;
}

std::string Percent(double share) {
  const std::string digits = std::to_string(static_cast<int>(share * 100 + 0.5)) + "%";
  return std::string(kPercentWidth - std::min(kPercentWidth, digits.size()), ' ') + digits;
}

std::string Line(const Row& row, const Layout& layout, const Glyphs& glyphs, std::size_t width) {
  std::string line = Fit(row.tree, layout.tree, glyphs);
  line += ' ';
  line.append(layout.size - std::min(layout.size, DisplayWidth(row.size)), ' ');
  line += row.size;
  line += row.partial ? '!' : ' ';
  if (layout.bar > 0) line.append(" ").append(Bar(row.share, layout.bar, glyphs));
  line.append(" ").append(Percent(row.share));
  // Narrower than its fixed columns, a line is cut where the width ends.
  if (DisplayWidth(line) > width) {
    std::size_t taken = 0;
    line.resize(Head(line, width, taken).size());
  }
  return line;
}

}  // namespace

std::vector<std::string> DrawTree(const TreeNode& root, const TreeStyle& style,
                                  const std::function<std::string(std::uint64_t)>& sizeText) {
  const Glyphs& glyphs = style.boxDrawing ? kBox : kAscii;
  Collector collector{glyphs, sizeText, {}};
  collector.Add(root, root.size, {}, {});
  const Layout layout = LayOut(collector.rows, style.width);
  std::vector<std::string> lines;
  lines.reserve(collector.rows.size());
  for (const Row& row : collector.rows) lines.push_back(Line(row, layout, glyphs, style.width));
  return lines;
}

}  // namespace tvx
