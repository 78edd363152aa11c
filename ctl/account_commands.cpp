// nortavelctl accounts, and what set says of the account it is given: the name
// set needs is the account's, which for a Microsoft account is not the one the
// sign-in screen shows.
#include <algorithm>
#include <string>
#include <vector>

#include "common/text.h"
#include "ctl/command_context.h"
#include "ctl/usage_error.h"
#include "winsys/accounts.h"

namespace {
// What the sign-in screen may show for account, and what a parent may type:
// its full name, the first word of it, its Microsoft account or the part
// before the "@".
bool KnownAs(const TLocalAccount& account, const std::string& typed) {
  const std::string& full = account.FullName;
  const std::string& microsoft = account.MicrosoftAccount;
  return (!full.empty() && (AsciiSameText(full, typed) || AsciiSameText(full.substr(0, full.find(' ')), typed))) ||
         (!microsoft.empty() &&
          (AsciiSameText(microsoft, typed) || AsciiSameText(microsoft.substr(0, microsoft.find('@')), typed)));
}

// "annas (Anna Smith, anna@outlook.com)": the name with what else shows it.
std::string Described(const TLocalAccount& account) {
  std::string also = account.FullName;
  if (!account.MicrosoftAccount.empty()) also += (also.empty() ? "" : ", ") + account.MicrosoftAccount;
  return account.Name + (also.empty() ? "" : " (" + also + ")");
}

std::string Column(const std::string& text, size_t width) { return text + std::string(width - text.size(), ' '); }

std::string TypeText(const TLocalAccount& account) {
  static const char* const kTypes[] = {"guest", "standard", "administrator"};
  const std::string type = account.Privilege <= TLocalAccount::Administrator ? kTypes[account.Privilege] : "unknown";
  return type + (account.Disabled ? ", disabled" : "");
}
}  // namespace

std::string AccountSuggestion(TRun& run, const std::string& typed) {
  const TLocalAccounts read = ReadLocalAccounts(run.Platform.Accounts);
  std::vector<std::string> known, names;
  for (const TLocalAccount& account : read.Accounts) {
    if (KnownAs(account, typed)) known.push_back(Described(account));
    names.push_back(account.Name);
  }
  if (known.empty()) return DidYouMean(typed, names);
  std::string text = "did you mean ";
  for (size_t i = 0; i < known.size(); ++i) text += (i == 0 ? "" : i + 1 == known.size() ? " or " : ", ") + known[i];
  return text + "?";
}

void RunAccounts(TRun& run, std::vector<std::string> words) {
  ExpectWords("accounts", words, 0, 0);
  const TLocalAccounts read = ReadLocalAccounts(run.Platform.Accounts);
  if (read.Status != 0)
    throw ECommandFailed("cannot read the local accounts (" + ErrorText(read.Status) +
                         "): run from an administrator command prompt, or see them with net user");
  const std::vector<std::string> configured = ConfiguredUserNames(run.Platform.Registry, run.Location);
  struct TRow {
    std::string Name, FullName, Type, Microsoft, Rules;
  };
  std::vector<TRow> rows = {{"Account", "Full name", "Type", "Microsoft account", "Rules"}};
  for (const TLocalAccount& account : read.Accounts) {
    const bool restricted = std::any_of(configured.begin(), configured.end(), [&account](const std::string& user) {
      return PlatformSameText(user, account.Name);
    });
    rows.push_back({account.Name, account.FullName, TypeText(account),
                    account.MicrosoftAccount.empty() ? "-" : account.MicrosoftAccount, restricted ? "yes" : "no"});
  }
  size_t name = 0, full = 0, type = 0, microsoft = 0;
  for (const TRow& row : rows) {
    name = std::max(name, row.Name.size() + 2);
    full = std::max(full, row.FullName.size() + 2);
    type = std::max(type, row.Type.size() + 2);
    microsoft = std::max(microsoft, row.Microsoft.size() + 2);
  }
  for (const TRow& row : rows)
    run.Out << Column(row.Name, name) << Column(row.FullName, full) << Column(row.Type, type)
            << Column(row.Microsoft, microsoft) << row.Rules << "\n";
  run.Out << "\nnortavelctl set takes the name in the first column. A child needs a standard account: an "
             "administrator can stop the service.\n";
}
