// The Group Policy templates for the machine-wide values: every value a policy
// writes is one the service reads, with the type it reads, under the key it
// reads; every string and presentation the template names is defined, and every
// presentation shows exactly its policy's elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "common/exceptions.h"
#include "common/protocol.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/recording_log.h"
#include "winsys/configuration.h"

namespace {

const std::string kMain = "SOFTWARE\\Vrem\\NortavelFree";
const std::string kZones = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";
const std::string kTokyoTzi = std::string("\xE4\xFD\xFF\xFF", 4) + std::string(40, '\0');

std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Attribute(const std::string& tag, const std::string& name) {
  std::smatch match;
  const std::regex pattern("\\s" + name + "=\"([^\"]*)\"");
  return std::regex_search(tag, match, pattern) ? match[1].str() : std::string();
}

std::set<std::string> Captures(const std::string& text, const std::string& pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    found.insert((*it)[1].str());
  return found;
}

// One value a policy writes: the registry type it writes and the data it may hold.
struct TPolicyValue {
  std::string Policy, Key, Name, ElementId;
  uint32_t Type = 0;
  std::vector<std::string> Data;  // as the registry holds them
};

std::string Dword(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

// The values of every policy of admx; the samples of a text element are
// examples a parent would type.
std::vector<TPolicyValue> PolicyValues(const std::string& admx) {
  const std::map<std::string, std::string> textSamples{{kPathValue, "C:\\ProgramData\\NortavelFree\\logs"},
                                                       {kTimeZoneValue, "Tokyo Standard Time"}};
  std::vector<TPolicyValue> values;
  const std::regex policy("<policy\\s[^>]*>([\\s\\S]*?)</policy>");
  const std::regex element("<(decimal|text|enum|boolean)\\s[^>]*>([\\s\\S]*?</(enum|boolean)>)?");
  for (auto p = std::sregex_iterator(admx.begin(), admx.end(), policy); p != std::sregex_iterator(); ++p) {
    const std::string whole = p->str();
    const std::string tag = whole.substr(0, whole.find('>') + 1);
    const std::string body = (*p)[1].str();
    for (auto e = std::sregex_iterator(body.begin(), body.end(), element); e != std::sregex_iterator(); ++e) {
      const std::string kind = (*e)[1].str();
      const std::string elementTag = e->str().substr(0, e->str().find('>') + 1);
      TPolicyValue value{Attribute(tag, "name"), Attribute(tag, "key"), Attribute(elementTag, "valueName"),
                         Attribute(elementTag, "id"), 0, {}};
      if (kind == "boolean") {
        value.Type = TRegistryApi::kRegDword;
        for (const std::string& number : Captures(e->str(), "<decimal value=\"([0-9]+)\"/>"))
          value.Data.push_back(Dword(static_cast<uint32_t>(std::stoul(number))));
      } else if (kind == "decimal") {
        value.Type = TRegistryApi::kRegDword;
        for (const char* bound : {"minValue", "maxValue"})
          value.Data.push_back(Dword(static_cast<uint32_t>(std::stoul(Attribute(elementTag, bound)))));
      } else {
        value.Type = TRegistryApi::kRegSz;
        if (kind == "text") {
          const auto sample = textSamples.find(value.Name);
          value.Data.push_back(sample != textSamples.end() ? sample->second : "sample");
        } else {
          for (const std::string& item : Captures(e->str(), "<string>([^<]*)</string>")) value.Data.push_back(item);
        }
      }
      values.push_back(value);
    }
  }
  return values;
}

// What the service makes of the main key with value in it (absent when data is
// empty): the fields it read, and the lines that say a value was unusable.
struct TLoaded {
  std::string Fields;
  std::set<std::string> Errors;
  bool Refused = false;
};

TLoaded LoadWith(const TPolicyValue& value, const std::string& data) {
  TFakeRegistry registry;
  registry.AddKey(kMain);
  registry.SetValue(kZones + "\\Tokyo Standard Time", "TZI", TRegistryApi::kRegBinary, kTokyoTzi);
  if (!data.empty()) registry.SetValue(kMain, value.Name, value.Type, value.Type == TRegistryApi::kRegSz ? data + '\0' : data);
  TConfiguration config;
  TRecordingLog log;
  TLoaded loaded;
  try {
    LoadConfiguration(config, registry, TConfigLocation(), log, registry.LeadByteTest());
  } catch (const ERegistryException&) {
    loaded.Refused = true;
  }
  for (const std::string& line : log.Messages)
    if (line.rfind("ERROR:", 0) == 0) loaded.Errors.insert(line);
  loaded.Fields = std::to_string(config.DebugLevel) + "|" + config.AppPath + "|" + std::to_string(config.WarnMinutes) +
                  "|" + (config.FixedZone ? config.FixedZone->Name : "") + "|" +
                  std::to_string(static_cast<int>(config.EndAction)) + "|" +
                  std::to_string(config.LogonHoursBackstop) + "|" + std::to_string(config.KeepUsage);
  return loaded;
}

class PolicyTemplateTest : public ::testing::Test {
 protected:
  const std::string Admx = FileText(NF_SOURCE_DIR "/packaging/policy/NortavelFree.admx");
  const std::string Adml = FileText(NF_SOURCE_DIR "/packaging/policy/en-US/NortavelFree.adml");
};

TEST_F(PolicyTemplateTest, EveryValueIsOneTheServiceReadsWithTheTypeItReads) {
  const std::vector<TPolicyValue> values = PolicyValues(Admx);
  ASSERT_GE(values.size(), 5u) << "the template was not read";
  const std::string mainKey = std::string(kMainKeyPath).substr(1, std::string(kMainKeyPath).size() - 2);
  for (const TPolicyValue& value : values) {
    SCOPED_TRACE(value.Policy + ": " + value.Name);
    EXPECT_EQ(value.Key, mainKey);
    const TLoaded without = LoadWith(value, "");
    bool changes = false;
    for (const std::string& data : value.Data) {
      const TLoaded with = LoadWith(value, data);
      EXPECT_FALSE(with.Refused) << "the service refuses the whole configuration";
      for (const std::string& error : with.Errors) EXPECT_EQ(without.Errors.count(error), 1u) << error;
      changes = changes || with.Fields != without.Fields;
    }
    EXPECT_TRUE(changes) << "the service does not read it";
  }
  EXPECT_EQ(Captures(Admx, "class=\"([^\"]*)\""), std::set<std::string>{"Machine"});
}

TEST_F(PolicyTemplateTest, EveryStringAndPresentationNamedIsDefinedAndShowsItsPolicysElements) {
  const std::set<std::string> strings = Captures(Adml, "<string id=\"([^\"]*)\"");
  for (const std::string& id : Captures(Admx, "\\$\\(string\\.([^)]*)\\)")) EXPECT_EQ(strings.count(id), 1u) << id;

  std::map<std::string, std::set<std::string>> elementsOf;
  for (const TPolicyValue& value : PolicyValues(Admx)) elementsOf[value.Policy].insert(value.ElementId);
  const std::regex policy("<policy\\s[^>]*presentation=\"\\$\\(presentation\\.([^)]*)\\)\"[^>]*>");
  std::set<std::string> named;
  for (auto p = std::sregex_iterator(Admx.begin(), Admx.end(), policy); p != std::sregex_iterator(); ++p) {
    const std::string id = (*p)[1].str();
    named.insert(id);
    const std::regex presentation("<presentation id=\"" + id + "\">([\\s\\S]*?)</presentation>");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(Adml, match, presentation)) << "no presentation " << id;
    const std::string policyName = Attribute(p->str(), "name");
    EXPECT_EQ(Captures(match[1].str(), "refId=\"([^\"]*)\""), elementsOf[policyName]) << id;
  }
  EXPECT_EQ(Captures(Adml, "<presentation id=\"([^\"]*)\""), named) << "a presentation no policy uses";
}

}  // namespace
