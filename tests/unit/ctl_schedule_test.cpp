#include <gtest/gtest.h>

#include <random>

#include "ctl/schedule.h"
#include "ctl/usage_error.h"

namespace {

using TRules = std::vector<std::string>;

const std::string kRestrictedDay(48, '1');
const std::string kAllowedDay(48, '0');

// A day restricted but for the half-open slot ranges given.
std::string Allowing(std::initializer_list<std::pair<int, int>> ranges) {
  std::string rule = kRestrictedDay;
  for (const auto& [first, end] : ranges) rule.replace(first, end - first, end - first, '0');
  return rule;
}

TRules Week(std::vector<std::pair<int, std::string>> days) {
  TRules rules(7, kRestrictedDay);
  for (const auto& [day, rule] : days) rules[day] = rule;
  return rules;
}

enum { Mo, Tu, We, Th, Fr, Sa, Su };

TEST(ParseScheduleTest, ReadsBothSyntaxes) {
  const std::string workday = Allowing({{14, 16}, {30, 40}});
  const struct {
    std::string Text;
    TRules Rules;
  } cases[] = {
      {"Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30",
       Week({{Mo, workday}, {Tu, workday}, {We, workday}, {Th, workday}, {Fr, workday},
             {Sa, Allowing({{18, 43}})}, {Su, Allowing({{18, 43}})}})},
      {"always", TRules(7, kAllowedDay)},
      {" NEVER; ", TRules(7, kRestrictedDay)},
      {"all", TRules(7, kAllowedDay)},
      {"Fr 22:00-02:00", Week({{Fr, Allowing({{44, 48}})}, {Sa, Allowing({{0, 4}})}})},
      {"Su 23:00-0:30", Week({{Su, Allowing({{46, 48}})}, {Mo, Allowing({{0, 1}})}})},
      {"daily 20:00-24:00", TRules(7, Allowing({{40, 48}}))},
      {"Fr-Mo 08:00-09:00", Week({{Fr, Allowing({{16, 18}})}, {Sa, Allowing({{16, 18}})},
                                  {Su, Allowing({{16, 18}})}, {Mo, Allowing({{16, 18}})}})},
      {"monday, WEDNESDAY 00:00-24:00;weekends 12:00-12:30", Week({{Mo, kAllowedDay}, {We, kAllowedDay},
                                                                   {Sa, Allowing({{24, 25}})},
                                                                   {Su, Allowing({{24, 25}})}})},
      {"Th 08:00-09:00; Th 10:00-11:00; Th 08:30-10:30", Week({{Th, Allowing({{16, 22}})}})},
      {"weekdays 12:00-13:00", Week({{Mo, Allowing({{24, 26}})}, {Tu, Allowing({{24, 26}})},
                                     {We, Allowing({{24, 26}})}, {Th, Allowing({{24, 26}})},
                                     {Fr, Allowing({{24, 26}})}})},
      {"M-F,8AM-5PM;Sa-Su,9AM-1PM", Week({{Mo, Allowing({{16, 34}})}, {Tu, Allowing({{16, 34}})},
                                          {We, Allowing({{16, 34}})}, {Th, Allowing({{16, 34}})},
                                          {Fr, Allowing({{16, 34}})}, {Sa, Allowing({{18, 26}})},
                                          {Su, Allowing({{18, 26}})}})},
      {"th,12AM-1AM,12P.M.,22:00-24", Week({{Th, Allowing({{0, 2}, {24, 26}, {44, 48}})}})},
      {"Sunday,10PM-2AM;W,6PM-12AM", Week({{Su, Allowing({{44, 48}})}, {Mo, Allowing({{0, 4}})},
                                           {We, Allowing({{36, 48}})}})},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(ParseSchedule(c.Text), c.Rules) << c.Text;
    } catch (const EUsageError& error) {
      ADD_FAILURE() << c.Text << ": " << error.Message();
    }
  }
}

TEST(ParseScheduleTest, ErrorsQuoteThePieceAndNameTheFix) {
  const struct {
    std::string Text, Message;
  } cases[] = {
      {"Mo-Fr 07:15-20:00", "\"07:15\" at column 7 is not on a half hour: use 07:00 or 07:30"},
      {"Mo 23:45-24:00", "\"23:45\" at column 4 is not on a half hour: use 23:30"},
      {"Mo 20:00-23:45", "\"23:45\" at column 10 is not on a half hour: use 23:30 or 24:00"},
      {"Mo 08:00-25:00", "\"25:00\" at column 10 is not a time of day: use 00:00 to 24:00"},
      {"Mo 24:00-02:00", "\"24:00\" at column 4 can only end a window: start at 00:00 instead"},
      {"Mo 08:00-08:00", "\"08:00-08:00\" at column 4 is empty: give an end after the start, or 00:00-24:00 for the "
                         "whole day"},
      {"Mo 08:00", "\"08:00\" at column 4 is not a time window: write HH:MM-HH:MM, such as 07:00-20:00"},
      {"Mo-Fr 08:00-12:00; Sa,Su", "\"Sa,Su\" at column 20 has no time window: add one such as 07:00-20:00"},
      {"Mx 08:00-09:00", "\"Mx\" at column 1 is not a day: use Mo Tu We Th Fr Sa Su or full names, ranges such as "
                         "Mo-Fr, lists such as Sa,Su, daily, weekdays or weekends"},
      {"Tu-Tu 08:00-09:00", "\"Tu-Tu\" at column 1 runs from a day to itself: write Tu alone, or daily"},
      {"08:00-09:00", "\"08:00-09:00\" at column 1 has no days before it: start the clause with days such as Mo-Fr"},
      {"Mo 08:00-09:00 Tu 10:00-11:00",
       "\"Tu\" at column 16 names days after the times: start a new clause with \";\" before it"},
      {"Mo 08:00-09:00; always",
       "\"always\" at column 17 must stand alone: make it the whole schedule, or give days and times instead"},
      {" ; ", "the schedule is empty: give days and times such as \"Mo-Fr 07:00-20:00\", or always or never"},
      {"M-F,8:30AM-5PM", "\"8:30AM\" at column 5 is not a whole hour: use 08:00 or 09:00"},
      {"M-F,13PM-5PM", "\"13PM\" at column 5 is not an hour: use 1AM to 12PM"},
      {"M-F,8AM-5XM", "\"8AM-5XM\" at column 5 is not an hour range: write it as 8AM-5PM or 8:00-17:00"},
  };
  for (const auto& c : cases) {
    try {
      ParseSchedule(c.Text);
      ADD_FAILURE() << c.Text << " was read";
    } catch (const EUsageError& error) {
      EXPECT_EQ(error.Message(), c.Message) << c.Text;
    }
  }
}

// Each text means what the canonical one beside it means.
TEST(ParseScheduleTest, ReadsTheFormsPeopleType) {
  const struct {
    std::string Typed, Canonical;
  } cases[] = {
      {"MON-FRI 07:00-08:00", "Mo-Fr 07:00-08:00"},
      {"Mon-Fri 07:00-08:00; sat 10:00-11:00", "Mo-Fr 07:00-08:00; Sa 10:00-11:00"},
      {"tue,THU,Sun 07:00-08:00", "Tu,Th,Su 07:00-08:00"},
      {"Monday 7-20", "Mo 07:00-20:00"},
      {"Sat,Sun 0-24", "Sa,Su 00:00-24:00"},
      {"Th 22-2", "Th 22:00-02:00"},
      {"mon-fri 7am-8AM 3pm-8PM", "Mo-Fr 07:00-08:00 15:00-20:00"},
      {"Sa 9:30PM-11pm", "Sa 21:30-23:00"},
      {"Su 12am-12pm", "Su 00:00-12:00"},
      {"Su 12pm-12am", "Su 12:00-24:00"},
      {"We 11:30am-1:30pm", "We 11:30-13:30"},
      {"Tu 07:00 - 08:00", "Tu 07:00-08:00"},
      {"Mo - Fr 7 -8", "Mo-Fr 07:00-08:00"},
      {"Mo-Fr 07:00-08:00,15:00-20:00", "Mo-Fr 07:00-08:00 15:00-20:00"},
      {"Mo-Fr 07:00-08:00, 15:00-20:00", "Mo-Fr 07:00-08:00 15:00-20:00"},
      {"Mon-Fri,8AM-5PM", "Mo-Fr 08:00-17:00"},
      {"M-F, 8AM-9AM,1PM", "Mo-Fr 08:00-09:00 13:00-14:00"},
      {"Mo-Fr 3pm to 8pm", "Mo-Fr 15:00-20:00"},
      {"Monday TO Friday 7 to 8, 9:30pm to 10pm", "Mo-Fr 07:00-08:00 21:30-22:00"},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(ParseSchedule(c.Typed), ParseSchedule(c.Canonical)) << c.Typed;
    } catch (const EUsageError& error) {
      ADD_FAILURE() << c.Typed << ": " << error.Message();
    }
  }
}

// Which syntax read the text shows in its complaint: ours asks for half hours,
// net user's for whole ones.
TEST(ParseScheduleTest, TheNewFormsKeepTheGrainAndTheLimits) {
  const struct {
    std::string Text, Message;
  } cases[] = {
      {"Mo 7:15-8", "\"7:15\" at column 4 is not on a half hour: use 07:00 or 07:30"},
      {"Mo 7:15pm-8pm", "\"7:15pm\" at column 4 is not on a half hour: use 19:00 or 19:30"},
      {"Mo-Fr 07:00-08:00,15:15-20:00", "\"15:15\" at column 19 is not on a half hour: use 15:00 or 15:30"},
      {"Mo-Fr,8:30AM-5PM", "\"8:30AM\" at column 7 is not a whole hour: use 08:00 or 09:00"},
      {"Mo 13pm-2pm", "\"13pm\" at column 4 is not an hour: use 1AM to 12PM"},
      {"Mo 0am-2am", "\"0am\" at column 4 is not an hour: use 1AM to 12PM"},
      {"Mo 25-26", "\"25\" at column 4 is not a time of day: use 00:00 to 24:00"},
      {"Mo 7xm-8", "\"7xm-8\" at column 4 is not a time window: write HH:MM-HH:MM, such as 07:00-20:00"},
      {"Mo 24-2", "\"24\" at column 4 can only end a window: start at 00:00 instead"},
      {"Mon-Mon 7-8", "\"Mon-Mon\" at column 1 runs from a day to itself: write Mo alone, or daily"},
      {"Sa 3pm to 8xm", "\"3pm to 8xm\" at column 4 is not a time window: write HH:MM-HH:MM, such as 07:00-20:00"},
      {"Sa 3pm to 8:15pm", "\"8:15pm\" at column 11 is not on a half hour: use 20:00 or 20:30"},
  };
  for (const auto& c : cases) {
    try {
      ParseSchedule(c.Text);
      ADD_FAILURE() << c.Text << " was read";
    } catch (const EUsageError& error) {
      EXPECT_EQ(error.Message(), c.Message) << c.Text;
    }
  }
}

TEST(FormatScheduleTest, GroupsDaysAndDescribesRulesAsTheServiceReadsThem) {
  const struct {
    TRules Rules;
    std::string Text;
  } cases[] = {
      {ParseSchedule("Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30"),
       "Mo-Fr 07:00-08:00 15:00-20:00; Sa,Su 09:00-21:30"},
      {ParseSchedule("Fr 22:00-02:00"), "Fr 22:00-24:00; Sa 00:00-02:00"},
      {TRules(7, std::string(48, '0')), "always"},
      {TRules(7, std::string(48, 'x')), "never"},
      {{}, "always"},
      {TRules(7, kAllowedDay + "111"), "always"},
      {{"", "1", "0x"}, "Mo,Th-Su 00:00-24:00; Tu 00:30-24:00; We 00:00-00:30 01:00-24:00"},
      {{kRestrictedDay, kRestrictedDay, kRestrictedDay, kRestrictedDay + "0", kRestrictedDay, kRestrictedDay,
        kRestrictedDay, kAllowedDay},
       "never"},
      {Week({{Mo, Allowing({{2, 3}})}, {Tu, Allowing({{2, 3}})}, {Th, Allowing({{2, 3}})}, {Su, Allowing({{2, 3}})}}),
       "Mo,Tu,Th,Su 01:00-01:30"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSchedule(c.Rules), c.Text);
}

// Random weeks: each day either a copy of an earlier one (so days group) or
// random half hours of a random density (so runs of every length occur).
TEST(FormatScheduleTest, ParsingTheTextGivesBackTheRules) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 2000; ++round) {
    TRules rules;
    const int density = static_cast<int>(random() % 101);
    for (int day = 0; day < 7; ++day) {
      if (day > 0 && random() % 3 == 0) {
        rules.push_back(rules[random() % rules.size()]);
        continue;
      }
      std::string rule;
      for (int slot = 0; slot < 48; ++slot) rule += static_cast<int>(random() % 100) < density ? '0' : '1';
      rules.push_back(rule);
    }
    const std::string text = FormatSchedule(rules);
    ASSERT_EQ(ParseSchedule(text), rules) << text;
  }
}

}  // namespace
