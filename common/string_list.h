#pragma once
// The system's string list: ordered as filled, never sorted, duplicates allowed.
// Lookups are whole-text and ignore letter case the way the platform does.

#include <string>
#include <vector>

#include "common/text.h"

class TStringList {
 public:
  explicit TStringList(TSameText sameText = &PlatformSameText) : SameText(sameText) {}

  int Count() const { return static_cast<int>(Strings.size()); }
  bool Empty() const { return Strings.empty(); }
  const std::string& operator[](int index) const { return Strings.at(static_cast<size_t>(index)); }
  void Add(std::string text) { Strings.push_back(std::move(text)); }
  void Delete(int index) { Strings.erase(Strings.begin() + index); }
  void Clear() { Strings.clear(); }

  // First position whose entry equals text (ignoring case), or -1.
  int IndexOf(const std::string& text) const;

  std::vector<std::string>::const_iterator begin() const { return Strings.begin(); }
  std::vector<std::string>::const_iterator end() const { return Strings.end(); }
  const std::vector<std::string>& Items() const { return Strings; }
  std::vector<std::string>& Items() { return Strings; }

 private:
  std::vector<std::string> Strings;
  TSameText SameText;
};
