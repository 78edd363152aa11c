#include <gtest/gtest.h>

#include <memory>

#include "svcmgr/event_logger.h"
#include "tests/fakes/fake_app_api.h"

namespace {

TEST(EventLoggerTest, RegistersAtTheFirstEventOnlyAndUsesTheDefaults) {
  TFakeAppEventLog log;
  {
    TEventLogger logger(log, "nortavel_free_service.exe");
    EXPECT_TRUE(log.Registrations.empty());
    logger.LogEvent("first");
    logger.LogEvent("second");
    ASSERT_EQ(log.Registrations, std::vector<std::string>{"nortavel_free_service.exe"});
    ASSERT_EQ(log.Events.size(), 2u);
    for (const TAppEvent& event : log.Events) {
      EXPECT_EQ(event.Source, "nortavel_free_service.exe");
      EXPECT_EQ(event.Type, 1);  // EVENTLOG_ERROR_TYPE
      EXPECT_EQ(event.Category, 0);
      EXPECT_EQ(event.Id, 0u);
    }
    EXPECT_EQ(log.Events[1].Message, "second");
    EXPECT_TRUE(log.Deregistered.empty());
  }
  EXPECT_EQ(log.Deregistered.size(), 1u);
}

TEST(EventLoggerTest, RefusedRegistrationLosesTheEventAndIsTriedAgain) {
  TFakeAppEventLog log;
  log.RefuseRegistrations = 1;
  {
    TEventLogger logger(log, "src");
    logger.LogEvent("lost");
    logger.LogEvent("kept");
    EXPECT_EQ(log.Registrations.size(), 2u);
    ASSERT_EQ(log.Events.size(), 2u);
    EXPECT_EQ(log.Events[0].Source, "<no source>");  // written against a null source, silently lost
    EXPECT_EQ(log.Events[1].Source, "src");
  }
  EXPECT_EQ(log.Deregistered.size(), 1u);
}

TEST(EventLoggerTest, NothingToDeregisterWhenNothingWasWritten) {
  TFakeAppEventLog log;
  log.RefuseRegistrations = 5;
  { TEventLogger logger(log, "src"); }
  {
    TEventLogger logger(log, "src");
    logger.LogEvent("lost");
  }
  EXPECT_TRUE(log.Deregistered.empty());
}

}  // namespace
