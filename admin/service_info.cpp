#include "admin/service_info.h"

#include "common/little_endian.h"
#include "common/text.h"

namespace {
// The PE header lies within the first page of every image the linkers make.
constexpr uint32_t kHeadBytes = 4096;
constexpr size_t kPeOffsetField = 0x3C;  // IMAGE_DOS_HEADER.e_lfanew
}  // namespace

uint16_t ImageMachine(const std::string& head) {
  if (head.size() < kPeOffsetField + 4 || head.compare(0, 2, "MZ") != 0) return 0;
  const size_t pe = LittleEndian(head.data() + kPeOffsetField, 4);
  if (pe > head.size() || head.size() - pe < 6 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
  return static_cast<uint16_t>(LittleEndian(head.data() + pe + 4, 2));
}

std::string ExecutableOf(const std::string& binaryPath) {
  if (!binaryPath.empty() && binaryPath.front() == '"') {
    const size_t close = binaryPath.find('"', 1);
    return binaryPath.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  const std::string lower = AsciiLower(binaryPath);
  for (size_t at = lower.find(".exe"); at != std::string::npos; at = lower.find(".exe", at + 1)) {
    const size_t end = at + 4;
    if (end == lower.size() || lower[end] == ' ') return binaryPath.substr(0, end);
  }
  return binaryPath;
}

TRegistryView ViewOfMachine(uint16_t machine) {
  return machine == kMachineAmd64 ? TRegistryView::View64 : TRegistryView::View32;
}

TServiceInfo QueryService(TToolApi& tool) {
  TServiceInfo info;
  const TServiceHandle manager(tool, tool.OpenManager(nullptr, nullptr, TToolApi::kManagerConnect));
  if (!manager) {
    info.Error = tool.LastError();
    return info;
  }
  const TServiceHandle service(
      tool, tool.OpenEntry(manager.Get(), kServiceName, TToolApi::kServiceQueryConfig | TToolApi::kServiceQueryStatus));
  if (!service) {
    const uint32_t error = tool.LastError();
    if (error != TToolApi::kErrorServiceDoesNotExist) info.Error = error;
    return info;
  }
  info.Installed = true;
  if (!tool.QueryState(service.Get(), info.State)) info.Error = tool.LastError();
  info.RecoveryKnown = tool.QueryFailureActions(service.Get(), info.ResetPeriod, info.Recovery);
  if (!tool.QueryConfig(service.Get(), info.Config)) {
    info.Error = tool.LastError();
    return info;
  }
  info.Executable = ExecutableOf(info.Config.BinaryPath);
  info.Machine = ImageMachine(tool.ReadFileHead(info.Executable, kHeadBytes));
  return info;
}

TReloadAnswer AskToReload(TToolApi& tool) {
  const TServiceHandle manager(tool, tool.OpenManager(nullptr, nullptr, TToolApi::kManagerConnect));
  const TServiceHandle service(
      tool, manager ? tool.OpenEntry(manager.Get(), kServiceName,
                                     TToolApi::kServiceQueryStatus | TToolApi::kServiceUserDefinedControl)
                    : 0);
  uint32_t state = 0;
  if (!service || !tool.QueryState(service.Get(), state)) {
    const uint32_t error = tool.LastError();
    if (error == TToolApi::kErrorServiceDoesNotExist) return {TReloadAnswer::NotInstalled, 0};
    return {TReloadAnswer::Unreachable, error};
  }
  if (state != TToolApi::kStateRunning) return {TReloadAnswer::NotRunning, 0};
  // A failure the control manager gives no error code for (seen under Wine)
  // refused nothing: the request went unanswered.
  if (!tool.Control(service.Get(), kControlReloadConfiguration, state)) return {TReloadAnswer::Refused, tool.LastError()};
  return {TReloadAnswer::Taken, 0};
}

std::string LockedWithoutServiceText(const TServiceInfo& service, const std::vector<std::string>& users) {
  if (users.empty() || (service.Installed && service.State == TToolApi::kStateRunning)) return "";
  std::string names;
  for (const std::string& user : users) names += (names.empty() ? "" : ", ") + user;
  if (!service.Installed)
    return names + (users.size() == 1 ? " is" : " are") +
           " locked and no service is installed to give the logon hours back: run nortavelctl unlock --all";
  return names + (users.size() == 1 ? " is" : " are") +
         " locked and the service is not running to give the logon hours back: start it with sc start " +
         kServiceName + ", or run nortavelctl unlock --all";
}

std::string ServiceStateName(uint32_t state) {
  static const char* const kNames[] = {"in an unknown state", "stopped", "starting", "stopping",
                                       "running",             "continuing", "pausing", "paused"};
  return kNames[state < 8 ? state : 0];
}
