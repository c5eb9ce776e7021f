// The tree of directory totals as drawn lines: order, branches, bars and
// shares, and the width they keep to.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lines/du/TreeView.h"

namespace tvx {
namespace {

std::string Digits(std::uint64_t size) {
  return std::to_string(size);
}

// Children given in no order; y and z tie, c could not be read whole.
TreeNode SmallTree() {
  return {"top",
          1000,
          false,
          {{"a", 300, false, {}},
           {"b", 600, false, {{"x", 600, false, {}}}},
           {"z", 0, false, {}},
           {"c", 100, true, {}},
           {"y", 0, false, {}}}};
}

struct Row {
  const char* what;
  TreeNode tree;
  TreeStyle style;
  std::vector<std::string> expected;
};

TEST(TreeViewTest, DrawsLargestFirstWithBarsAndShares) {
  const std::string japanese =
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"   // 日本語の
      "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";  // フォルダ
  const TreeNode wide{"r", 10, false, {{japanese, 6, false, {}}, {"ab", 4, false, {}}}};
  const std::vector<Row> rows = {
      {"ASCII",
       SmallTree(),
       {60, false},
       {"top       1000  ################ 100%", "|-- b      600  ##########......  60%",
        "|   `-- x  600  ################ 100%", "|-- a      300  #####...........  30%",
        "|-- c      100! ##..............  10%", "|-- y        0  ................   0%",
        "`-- z        0  ................   0%"}},
      {"box drawing",
       SmallTree(),
       {60, true},
       {"top       1000  \u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588"
        "\u2588\u2588\u2588\u2588 100%",
        "\u251C\u2500\u2500 b      600  \u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588"
        "\u2588        60%",
        "\u2502   \u2514\u2500\u2500 x  600  \u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588"
        "\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588 100%",
        "\u251C\u2500\u2500 a      300  \u2588\u2588\u2588\u2588\u2588             30%",
        "\u251C\u2500\u2500 c      100! \u2588\u2588                10%",
        "\u251C\u2500\u2500 y        0                     0%",
        "\u2514\u2500\u2500 z        0                     0%"}},
      {"narrow: names cut, a shorter bar",
       SmallTree(),
       {20, false},
       {"top   1000  ### 100%", "|-- b  600  ##.  60%", "| ...  600  ### 100%",
        "|-- a  300  #..  30%", "|-- c  100! ...  10%", "|-- y    0  ...   0%",
        "`-- z    0  ...   0%"}},
      {"narrower than the figures: cut at the width",
       SmallTree(),
       {5, false},
       {" 1000", "  600", "  600", "  300", "  100", "    0", "    0"}},
      {"an empty parent divides nothing",
       {"z", 0, false, {{"a", 0, false, {}}, {"b", 5, false, {}}}},
       {40, false},
       {"z     0  ..........   0%", "|-- b 5  ..........   0%", "`-- a 0  ..........   0%"}},
      {"wide characters take two columns",
       wide,
       {40, true},
       {"r                    10  \u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588 "
        "100%",
        "\u251C\u2500\u2500 " + japanese + "  6  \u2588\u2588\u2588\u2588\u2588\u2588      60%",
        "\u2514\u2500\u2500 ab                4  \u2588\u2588\u2588\u2588        40%"}},
      {"a wide character is not cut in half",
       wide,
       {22, true},
       {"r        10  \u2588\u2588\u2588\u2588 100%",
        "\u251C\u2500\u2500 \xE6\x97\xA5\u2026   6  \u2588\u2588    60%",
        "\u2514\u2500\u2500 ab    4  \u2588\u2588    40%"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DrawTree(row.tree, row.style, Digits), row.expected) << row.what;
  }
}

TEST(TreeViewTest, ControlBytesInNamesCannotBreakTheLine) {
  const TreeNode tree{"r", 1, false, {{"a\nb\x1B", 1, false, {}}}};
  EXPECT_EQ(DrawTree(tree, {30, false}, Digits)[1], "`-- a?b? 1  ####### 100%");
}

}  // namespace
}  // namespace tvx
