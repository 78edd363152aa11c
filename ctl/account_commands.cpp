// What set and check say of the accounts they are given.
#include <string>

#include "ctl/command_context.h"

std::string AdministratorText(const std::string& user) {
  return user + " is an administrator: an administrator can stop the service and change these rules. Make " + user +
         " a standard user (Settings > Accounts).";
}
