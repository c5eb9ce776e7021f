// A tree of directory totals drawn as text: each directory under its
// parent, largest first, with its size, a bar of its share of the parent
// and that share in percent, every line within a given width. Pure: the
// caller builds the tree (to the depth it wants) and writes the lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx {

struct TreeNode {
  std::string name;  // UTF-8, as the lines show it
  std::uint64_t size = 0;
  bool partial = false;  // something below could not be read: the size is a floor
  std::vector<TreeNode> children;
};

struct TreeStyle {
  std::size_t width = 80;   // columns every line fits in
  bool boxDrawing = false;  // UTF-8 box-drawing lines and blocks; plain ASCII otherwise
};

// The lines of the tree, the root first, without line ends. sizeText
// writes a size as the lines show it.
std::vector<std::string> DrawTree(const TreeNode& root, const TreeStyle& style,
                                  const std::function<std::string(std::uint64_t)>& sizeText);

}  // namespace tvx
