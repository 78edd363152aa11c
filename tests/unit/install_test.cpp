#include <gtest/gtest.h>

#include <map>

#include "common/protocol.h"
#include "svcmgr/install.h"
#include "svcmgr/os_error.h"
#include "tests/fakes/fake_app_api.h"
#include "tests/fakes/fake_app_service.h"

namespace {

class InstallTest : public ::testing::Test {
 protected:
  std::vector<std::string> Journal;
  TJournalService Service{Journal};
  TFakeServiceManagerApi Scm;
};

TEST_F(InstallTest, CreateServiceReceivesTheRegistrationExactly) {
  const std::string path = "C:\\Program Files\\Nortavel\\nortavel_free_service.exe";
  InstallService(Service, Scm, 7, path, 1);
  ASSERT_EQ(Scm.Created.size(), 1u);
  const TCreatedService& call = Scm.Created[0];
  EXPECT_EQ(call.Manager, 7u);
  EXPECT_EQ(call.ServiceName, "NortavelFree");
  EXPECT_EQ(call.DisplayName, "Nortavel free");
  EXPECT_EQ(call.DesiredAccess, 0xF01FFu);
  EXPECT_EQ(call.ServiceType, 0x10u);
  EXPECT_EQ(call.StartType, 2u);
  EXPECT_EQ(call.ErrorControl, 1u);
  EXPECT_EQ(call.BinaryPathName, "\"" + path + "\"");
  EXPECT_EQ(call.LoadOrderGroup, "");
  EXPECT_FALSE(call.TagRequested);
  EXPECT_EQ(call.DependencyBytes, std::string("\0\0", 2));
  EXPECT_EQ(call.ServiceStartName, std::nullopt);  // LocalSystem
  EXPECT_EQ(call.Password, "");
  EXPECT_TRUE(Scm.Open.empty()) << "service handle left open";
}

TEST_F(InstallTest, BinaryPathIsQuotedOnlyWhenItHoldsABlank) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\N\\s.exe", "\"C:\\Program Files\\N\\s.exe\""},
      {"C:\\Tab\there\\s.exe", "\"C:\\Tab\there\\s.exe\""},
      {"C:\\Nortavel\\s.exe", "C:\\Nortavel\\s.exe"},
  };
  for (const auto& [path, registered] : cases) {
    TFakeServiceManagerApi scm;
    InstallService(Service, scm, 1, path, 1);
    EXPECT_EQ(scm.Created.at(0).BinaryPathName, registered);
  }
}

TEST_F(InstallTest, RegistrationPropertiesMapToTheirCodes) {
  EXPECT_EQ(ServiceTypeCode(Service, 2), 0x20u);
  Service.Interactive = true;
  EXPECT_EQ(ServiceTypeCode(Service, 1), 0x110u);
  Service.ServiceType = TServiceType::stDevice;
  EXPECT_EQ(ServiceTypeCode(Service, 1), 0x1u);
  Service.ServiceType = TServiceType::stFileSystem;
  EXPECT_EQ(ServiceTypeCode(Service, 1), 0x2u);
  const uint32_t starts[] = {StartTypeCode(TStartType::stBoot), StartTypeCode(TStartType::stSystem),
                             StartTypeCode(TStartType::stAuto), StartTypeCode(TStartType::stManual),
                             StartTypeCode(TStartType::stDisabled)};
  EXPECT_EQ(std::vector<uint32_t>(std::begin(starts), std::end(starts)), (std::vector<uint32_t>{0, 1, 2, 3, 4}));
  const uint32_t errors[] = {ErrorControlCode(TErrorSeverity::esIgnore), ErrorControlCode(TErrorSeverity::esNormal),
                             ErrorControlCode(TErrorSeverity::esSevere),
                             ErrorControlCode(TErrorSeverity::esCritical)};
  EXPECT_EQ(std::vector<uint32_t>(std::begin(errors), std::end(errors)), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST_F(InstallTest, OptionalPropertiesReachTheManager) {
  Service.DisplayName.clear();
  Service.ServiceStartName = ".\\runner";
  Service.Password = "pw";
  Service.LoadGroup = "Group";
  Service.Dependencies = {"Tcpip", "EventLog"};
  InstallService(Service, Scm, 1, "x.exe", 1);
  const TCreatedService& call = Scm.Created.at(0);
  EXPECT_EQ(call.DisplayName, "NortavelFree");  // the name stands in for an empty display name
  EXPECT_EQ(call.ServiceStartName, ".\\runner");
  EXPECT_EQ(call.Password, "pw");
  EXPECT_EQ(call.LoadOrderGroup, "Group");
  EXPECT_EQ(call.Dependencies, (std::vector<std::string>{"Tcpip", "EventLog"}));
  EXPECT_EQ(call.DependencyBytes, std::string("Tcpip\0EventLog\0\0", 16));
}

TEST_F(InstallTest, RefusedDeletionClosesTheServiceHandle) {
  Scm.Registered.insert("NortavelFree");
  Scm.FailDelete = 1072;  // ERROR_SERVICE_MARKED_FOR_DELETE
  EXPECT_THROW(UninstallService(Service, Scm, 1), EOSError);
  EXPECT_EQ(Scm.Calls, (std::vector<std::string>{"open NortavelFree 983551", "delete", "close"}));
  EXPECT_TRUE(Scm.Open.empty());
}

TEST_F(InstallTest, ManagerIsTheLocalDefaultDatabaseWithAllAccess) {
  { const TServiceHandle manager = OpenServiceManager(Scm); }
  EXPECT_TRUE(Scm.ManagerArgs.NoMachine);
  EXPECT_TRUE(Scm.ManagerArgs.DefaultDatabase);
  EXPECT_EQ(Scm.ManagerArgs.Access, 0xF003Fu);
  EXPECT_TRUE(Scm.Open.empty());
}

TEST_F(InstallTest, EventSourceValueThatFailsRaisesItsCodeAndClosesTheKey) {
  Scm.FailSetValue = 1009;  // ERROR_BADDB
  try {
    WriteEventSourceKey(Scm, "NortavelFree", "x.exe");
    ADD_FAILURE() << "no error";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.Message(), OSErrorMessage(1009));
  }
  EXPECT_TRUE(Scm.Open.empty()) << "key left open";
}

TEST_F(InstallTest, EventSourceKeyRemovalTakesAMissingKeyAsDoneAndNeverTheLogsKey) {
  const std::string log = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
  Scm.Keys[log + "NortavelFree"];
  Scm.Keys[log];  // what an empty source name would reach
  DeleteEventSourceKey(Scm, "NortavelFree");
  EXPECT_NO_THROW(DeleteEventSourceKey(Scm, "NortavelFree"));
  DeleteEventSourceKey(Scm, "");
  WriteEventSourceKey(Scm, "", "x.exe");
  ASSERT_EQ(Scm.Keys.size(), 1u);
  EXPECT_TRUE(Scm.Keys.at(log).empty());
}

// The service's own list, as the package writes it too: every account keeps
// what Windows gives it, but only SYSTEM and the Administrators may send
// controls (CR), so a child cannot make the service reload at will.
TEST(ServiceAccessTest, OnlySystemAndTheAdministratorsMaySendControls) {
  const std::string sddl = kServiceAccess;
  ASSERT_EQ(sddl.rfind("D:", 0), 0u);
  std::map<std::string, std::string> rights;
  for (size_t at = sddl.find('('); at != std::string::npos; at = sddl.find('(', at + 1)) {
    const std::string ace = sddl.substr(at + 1, sddl.find(')', at) - at - 1);
    std::vector<std::string> fields;
    for (size_t from = 0;;) {
      const size_t semicolon = ace.find(';', from);
      fields.push_back(ace.substr(from, semicolon - from));
      if (semicolon == std::string::npos) break;
      from = semicolon + 1;
    }
    ASSERT_EQ(fields.size(), 6u) << ace;
    ASSERT_EQ(fields[0], "A") << ace;
    rights[fields[5]] = fields[2];
  }
  auto mayControl = [&](const std::string& account) {
    const std::string& granted = rights[account];
    for (size_t i = 0; i + 1 < granted.size(); i += 2)
      if (granted.compare(i, 2, "CR") == 0) return true;
    return false;
  };
  EXPECT_TRUE(mayControl("SY"));
  EXPECT_TRUE(mayControl("BA"));
  for (const char* account : {"IU", "SU", "AU", "BU", "WD"}) EXPECT_FALSE(mayControl(account)) << account;
  EXPECT_EQ(rights["IU"], "CCLCSWLORC") << "users may still query and interrogate the service";
}

}  // namespace
