#pragma once
// Registration and removal of a service with the service control manager, from
// the service's registration properties.

#include <cstdint>
#include <string>
#include <vector>

#include "common/registry_api.h"
#include "common/service_handle.h"
#include "svcmgr/install_api.h"
#include "svcmgr/service.h"

inline constexpr uint32_t kScManagerAllAccess = 0xF003F;  // SC_MANAGER_ALL_ACCESS
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;    // SERVICE_ALL_ACCESS

// Stopping a service before it is removed (the service handle's own codes are
// TServiceHandleApi's).
inline constexpr uint32_t kErrorServiceCannotAcceptControl = 1061;  // ERROR_SERVICE_CANNOT_ACCEPT_CTRL
inline constexpr uint32_t kErrorServiceNotActive = 1062;           // ERROR_SERVICE_NOT_ACTIVE
// As long as Windows Installer waits for a service it stops.
inline constexpr uint32_t kStopWaitMs = 30000;
inline constexpr uint32_t kStopPollMs = 500;
// The error of a removal whose service did not stop in time: the seconds waited,
// then the service's name.
inline constexpr char kServiceStillRunningText[] =
    "The service did not stop within %s seconds, so nothing was removed and every user keeps their limits: stop it "
    "with net stop %s and remove it again";

// The event sources: below HKEY_LOCAL_MACHINE, one key per source in the
// Application log's key, naming the file whose message table holds the texts.
inline constexpr uintptr_t kLocalMachineKey =
    static_cast<uintptr_t>(static_cast<intptr_t>(INT32_MIN + 2));  // HKEY_LOCAL_MACHINE, sign-extended
inline constexpr char kEventSourcesKeyPath[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";
inline constexpr char kEventMessageFileValue[] = "EventMessageFile";
inline constexpr char kTypesSupportedValue[] = "TypesSupported";
inline constexpr uint32_t kEventTypesSupported = 7;  // error, warning and information
inline constexpr uint32_t kKeySetValue = 0x0002;     // KEY_SET_VALUE
inline constexpr uint32_t kRegOptionNonVolatile = 0; // REG_OPTION_NON_VOLATILE
inline constexpr uint32_t kRegExpandSz = 2;          // REG_EXPAND_SZ
inline constexpr uint32_t kRegDword = 4;             // REG_DWORD
inline constexpr int32_t kRegErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND

// The keys that make Windows start a service in Safe Mode, minimal and with
// networking: one per service below each, its default value "Service".
inline constexpr char kSafeBootMinimalKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\";
inline constexpr char kSafeBootNetworkKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network\\";
inline constexpr char kSafeBootValueData[] = "Service";
inline constexpr uint32_t kRegSz = 1;                        // REG_SZ
inline constexpr uint32_t kServiceChangeConfig = 0x0002;     // SERVICE_CHANGE_CONFIG
inline constexpr uint32_t kServiceStart = 0x0010;            // SERVICE_START, which restart actions need
inline constexpr uint32_t kScActionRestart = 1;              // SC_ACTION_RESTART

// The warning events of an install or removal whose extras failed: the
// failed-system-call error's message follows.
inline constexpr char kSafeModeNotRegisteredText[] =
    "Windows could not be told to start the service in Safe Mode, so it does not run there: %s";
inline constexpr char kSafeModeNotRemovedText[] = "The service's Safe Mode entries could not be removed: %s";
inline constexpr char kRecoveryNotSetText[] =
    "The service could not be set to restart after a failure: %s";
inline constexpr char kAccessNotSetText[] =
    "The service's access list could not be set, so every signed-in user may send it controls: %s";

// The warning events of an install or removal that could not write or delete a
// source's key: the source's name, then the failed-system-call error's message.
inline constexpr char kEventSourceNotRegisteredText[] = "The event source \"%s\" could not be registered: %s";
inline constexpr char kEventSourceNotRemovedText[] = "The event source \"%s\" could not be removed: %s";

// The values the control manager receives at installation for the start type and
// the error severity.
uint32_t StartTypeCode(TStartType startType);
uint32_t ErrorControlCode(TErrorSeverity severity);

// Every name zero-terminated, then one more zero: two zeros for an empty list.
std::string DependencyList(const std::vector<std::string>& dependencies);

// OpenSCManagerA on the local computer's default database with all access;
// raises the failed-system-call error when it cannot be opened.
TServiceHandle OpenServiceManager(TServiceManagerApi& api);

// CreateServiceA for the service with executablePath as the binary: in double
// quotes when it holds a blank (space or tab), exactly as given otherwise. Raises
// the failed-system-call error when the service is not registered.
void InstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager,
                    const std::string& executablePath, int serviceCount);
// Asks the service to stop and waits until it has, looking every kStopPollMs
// for up to kStopWaitMs: a service still running after its removal would take
// the users' logon hours away again at its next pass, and nothing would give
// them back. A service that is not registered, or not running, is left as it
// is. Raises an Exception with kServiceStillRunningText when it does not stop in
// time, the failed-system-call error when it cannot be asked or looked at.
void StopService(const TService& service, TServiceManagerApi& api, uintptr_t manager);
// OpenServiceA and DeleteService; the service is not stopped first. Raises the
// failed-system-call error when either fails.
void UninstallService(const TService& service, TServiceManagerApi& api, uintptr_t manager);

// Writes the Safe Mode keys of the service (minimal and network), or deletes
// them; a key that is missing is no error. Raises the failed-system-call error
// of the first registry call that failed.
void WriteSafeModeKeys(TRegistryApi& api, const std::string& serviceName);
void DeleteSafeModeKeys(TRegistryApi& api, const std::string& serviceName);

// Sets the service's access list from Access (nothing when it is empty). Raises
// the failed-system-call error when the service cannot be opened or changed.
inline constexpr uint32_t kWriteDac = 0x00040000;  // WRITE_DAC
void SetServiceAccess(const TService& service, TServiceManagerApi& api, uintptr_t manager);

// Sets the service's failure actions from RestartDelays and FailureResetSeconds
// (nothing without delays). Raises the failed-system-call error when the service
// cannot be opened or changed.
void SetFailureActions(const TService& service, TServiceManagerApi& api, uintptr_t manager);

// Creates (or rewrites) the key of the event source: EventMessageFile, REG_EXPAND_SZ,
// is messageFile as given; TypesSupported, REG_DWORD, is 7. Raises the
// failed-system-call error with the code of the registry call that failed; the key
// may then exist without its values. An empty source name, which would name the
// log's own key, writes nothing.
void WriteEventSourceKey(TRegistryApi& api, const std::string& source, const std::string& messageFile);
// Deletes the key of the event source; one that does not exist is no error, nor
// is an empty source name. Raises the failed-system-call error when the key stays.
void DeleteEventSourceKey(TRegistryApi& api, const std::string& source);
