// The house rule inside a folder: no unit leans on one that leans back. A unit
// is a header with its source (dir/name.h, dir/name.cpp); an include of
// "dir/other.h" from either is an edge. The folders' include views already keep
// edges between folders one way; this finds the circles within them, of any
// length, so the next pair is caught the day it is written.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

const char* const kProductFolders[] = {"common", "diag", "winsys", "svcmgr", "engine", "admin", "ctl", "tray", "settings"};

using TGraph = std::map<std::string, std::set<std::string>>;

// "engine/decision" of engine/decision.cpp.
std::string UnitOf(const fs::path& relative) { return (relative.parent_path() / relative.stem()).generic_string(); }

void AddIncludes(const fs::path& file, const std::string& unit, TGraph& graph) {
  std::ifstream in(file);
  std::string line;
  graph[unit];
  while (std::getline(in, line)) {
    const size_t at = line.find("#include \"");
    if (at == std::string::npos || line.find_first_not_of(" \t") != at) continue;
    const size_t from = at + 10;
    const size_t to = line.find('"', from);
    if (to == std::string::npos) continue;
    const std::string target = UnitOf(fs::path(line.substr(from, to - from)));
    if (target != unit) graph[unit].insert(target);
  }
}

TGraph ProductGraph(const fs::path& root) {
  TGraph graph;
  for (const char* folder : kProductFolders) {
    if (!fs::is_directory(root / folder)) continue;
    for (const fs::directory_entry& entry : fs::directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp" && ext != ".c") continue;
      AddIncludes(entry.path(), UnitOf(fs::relative(entry.path(), root)), graph);
    }
  }
  return graph;
}

// The strongly connected groups of more than one unit (Tarjan's algorithm).
std::vector<std::vector<std::string>> Circles(const TGraph& graph) {
  std::map<std::string, int> index, low;
  std::vector<std::string> stack;
  std::set<std::string> onStack;
  std::vector<std::vector<std::string>> circles;
  int next = 0;
  std::function<void(const std::string&)> visit = [&](const std::string& unit) {
    index[unit] = low[unit] = next++;
    stack.push_back(unit);
    onStack.insert(unit);
    const auto edges = graph.find(unit);
    if (edges != graph.end())
      for (const std::string& target : edges->second) {
        if (!index.count(target)) {
          visit(target);
          low[unit] = std::min(low[unit], low[target]);
        } else if (onStack.count(target)) {
          low[unit] = std::min(low[unit], index[target]);
        }
      }
    if (low[unit] != index[unit]) return;
    std::vector<std::string> group;
    std::string member;
    do {
      member = stack.back();
      stack.pop_back();
      onStack.erase(member);
      group.push_back(member);
    } while (member != unit);
    if (group.size() > 1) {
      std::sort(group.begin(), group.end());
      circles.push_back(group);
    }
  };
  for (const auto& [unit, edges] : graph)
    if (!index.count(unit)) visit(unit);
  return circles;
}

std::string Describe(const std::vector<std::vector<std::string>>& circles) {
  std::string text;
  for (const auto& group : circles) {
    for (const std::string& unit : group) text += unit + " ";
    text += "\n";
  }
  return text;
}

TEST(Layout, NoUnitLeansOnOneThatLeansBack) {
  const std::vector<std::vector<std::string>> circles = Circles(ProductGraph(NF_SOURCE_DIR));
  EXPECT_TRUE(circles.empty()) << "units that include each other, directly or around a circle:\n" << Describe(circles);
}

// A ring of three with a unit leading into it: the ring alone is reported.
TEST(Layout, CirclesAreFoundAtAnyLength) {
  const TGraph ring = {{"a/x", {"a/y"}}, {"a/y", {"a/z"}}, {"a/z", {"a/x"}}, {"a/w", {"a/x"}}};
  EXPECT_EQ(Describe(Circles(ring)), "a/x a/y a/z \n");
}

}  // namespace
