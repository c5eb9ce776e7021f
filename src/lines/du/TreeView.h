// DU's tree to look at: the directories down to a depth, drawn as an
// indented tree. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvx {

struct TreeNode {
  std::string name;
  std::uint64_t size = 0;
  bool partial = false;
  std::vector<TreeNode> children;
};

struct TreeStyle {
  std::size_t width = 80;
  bool boxDrawing = false;
};

// The lines of the tree under root, within style.width columns.
std::vector<std::string> DrawTree(const TreeNode& root, const TreeStyle& style,
                                  const std::function<std::string(std::uint64_t)>& sizeText);

}  // namespace tvx
