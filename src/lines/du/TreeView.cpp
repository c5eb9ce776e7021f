// A plain drawing that stands until the full one (bars, shares, box
// drawing) replaces this file: each directory indented under its parent,
// largest first.
#include "TreeView.h"

#include <algorithm>

namespace tvx {

namespace {

void Draw(const TreeNode& node, std::size_t depth, const TreeStyle& style,
          const std::function<std::string(std::uint64_t)>& sizeText,
          std::vector<std::string>& lines) {
  std::string line(depth * 2, ' ');
  line += sizeText(node.size);
  line += node.partial ? " ! " : "   ";
  line += node.name;
  if (line.size() > style.width) line.resize(style.width);
  lines.push_back(std::move(line));
  std::vector<const TreeNode*> children;
  for (const TreeNode& child : node.children) children.push_back(&child);
  std::stable_sort(children.begin(), children.end(),
                   [](const TreeNode* a, const TreeNode* b) { return a->size > b->size; });
  for (const TreeNode* child : children) Draw(*child, depth + 1, style, sizeText, lines);
}

}  // namespace

std::vector<std::string> DrawTree(const TreeNode& root, const TreeStyle& style,
                                  const std::function<std::string(std::uint64_t)>& sizeText) {
  std::vector<std::string> lines;
  Draw(root, 0, style, sizeText, lines);
  return lines;
}

}  // namespace tvx
