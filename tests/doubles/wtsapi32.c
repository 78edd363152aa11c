/* A recording stand-in for wtsapi32.dll under Wine, whose sessions are stubs.
   The computer has two sessions: 0 (services, nobody logged on) and 1, where
   the user running the calling process is logged on. Each WTSSendMessageA
   appends one line to the file named by NF_WTSAPI32_LOG (default
   C:\wtsapi32_calls.log):
     server=<current|other> session=<n> title=<text> title_bytes=<n> text=<text>
       text_bytes=<n> style=<hex> timeout=<n> wait=<0|1>   (on the same line)
   The lengths are the callers', so one that counts the terminating zero shows.
   and answers IDASYNC when not asked to wait. Each WTSLogoffSession appends
   "logoff server=<current|other> session=<n> wait=<0|1>", each
   WTSDisconnectSession "disconnect server=<current|other> session=<n> wait=<0|1>".
   Session 1 is what the file named by NF_WTSAPI32_STATE (default
   C:\wtsapi32_state.txt) says: "locked", "disconnected", or else (no file)
   active and unlocked; WTSQuerySessionInformationA answers WTSSessionInfoEx
   for it at level 1. The buffers handed out are ours, and only our
   WTSFreeMemory frees them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define IDASYNC_ANSWER 32001
#define WTS_USER_NAME 5
#define WTS_SESSION_INFO_EX 25
#define WTS_ACTIVE 0
#define WTS_DISCONNECTED 4
#define WTS_SESSIONSTATE_LOCK 0
#define WTS_SESSIONSTATE_UNLOCK 1

/* WTSINFOEXA at level 1, as wtsapi32.h of Windows 8 and later lays it out. */
typedef struct {
  ULONG session_id;
  int session_state;
  LONG session_flags;
  CHAR station_name[33];
  CHAR user_name[21];
  CHAR domain_name[18];
  LARGE_INTEGER logon_time, connect_time, disconnect_time, last_input_time, current_time;
  DWORD incoming_bytes, outgoing_bytes, incoming_frames, outgoing_frames, incoming_compressed, outgoing_compressed;
} INFO_EX_LEVEL1;
typedef struct {
  DWORD level;
  INFO_EX_LEVEL1 level1;
} INFO_EX;

typedef struct {
  DWORD session_id;
  char* station_name;
  int state;
} SESSION_INFO_VIEW;

static char session_user[257];

static const char* current_user(void) {
  DWORD room = sizeof session_user;
  if (!GetUserNameA(session_user, &room)) lstrcpynA(session_user, "unknown", sizeof session_user);
  return session_user;
}

static void log_path(char* path, DWORD room) {
  DWORD length = GetEnvironmentVariableA("NF_WTSAPI32_LOG", path, room);
  if (length == 0 || length >= room) lstrcpynA(path, "C:\\wtsapi32_calls.log", (int)room);
}

/* What the state file says of session 1: 'l'ocked, 'd'isconnected, 'u'nlocked. */
static char session_state(void) {
  char path[MAX_PATH];
  char word[16] = "";
  FILE* file;
  DWORD length = GetEnvironmentVariableA("NF_WTSAPI32_STATE", path, sizeof path);
  if (length == 0 || length >= sizeof path) lstrcpynA(path, "C:\\wtsapi32_state.txt", sizeof path);
  file = fopen(path, "r");
  if (file == NULL) return 'u';
  if (fscanf(file, "%15s", word) != 1) word[0] = 'u';
  fclose(file);
  return word[0] == 'l' || word[0] == 'd' ? word[0] : 'u';
}

/* The record file, opened for appending; NULL with the last error set. */
static FILE* open_log(void) {
  char path[MAX_PATH];
  FILE* file;
  log_path(path, sizeof path);
  file = fopen(path, "a");
  if (file == NULL) SetLastError(ERROR_ACCESS_DENIED);
  return file;
}

BOOL WINAPI WTSEnumerateSessionsA(HANDLE server, DWORD reserved, DWORD version, SESSION_INFO_VIEW** sessions,
                                  DWORD* count) {
  /* One block: the entries, then their station names. */
  SESSION_INFO_VIEW* list;
  char* names;
  (void)server;
  if (reserved != 0 || version != 1 || sessions == NULL || count == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  list = (SESSION_INFO_VIEW*)malloc(2 * sizeof(SESSION_INFO_VIEW) + 32);
  if (list == NULL) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  names = (char*)(list + 2);
  strcpy(names, "Services");
  strcpy(names + 16, "Console");
  list[0].session_id = 0;
  list[0].station_name = names;
  list[0].state = WTS_DISCONNECTED;
  list[1].session_id = 1;
  list[1].station_name = names + 16;
  list[1].state = session_state() == 'd' ? WTS_DISCONNECTED : WTS_ACTIVE;
  *sessions = list;
  *count = 2;
  return TRUE;
}

BOOL WINAPI WTSQuerySessionInformationA(HANDLE server, DWORD session, int info, char** buffer, DWORD* bytes) {
  const char* user;
  (void)server;
  if (info == WTS_SESSION_INFO_EX && buffer != NULL && bytes != NULL && session <= 1) {
    INFO_EX* answer = (INFO_EX*)calloc(1, sizeof(INFO_EX));
    const char state = session_state();
    if (answer == NULL) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    answer->level = 1;
    answer->level1.session_id = session;
    answer->level1.session_state = session == 1 && state != 'd' ? WTS_ACTIVE : WTS_DISCONNECTED;
    answer->level1.session_flags = state == 'l' ? WTS_SESSIONSTATE_LOCK : WTS_SESSIONSTATE_UNLOCK;
    *buffer = (char*)answer;
    *bytes = sizeof(INFO_EX);
    return TRUE;
  }
  if (info != WTS_USER_NAME || buffer == NULL || bytes == NULL || session > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  user = session == 1 ? current_user() : "";
  *buffer = (char*)malloc(strlen(user) + 1);
  if (*buffer == NULL) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  strcpy(*buffer, user);
  *bytes = (DWORD)strlen(user) + 1;
  return TRUE;
}

BOOL WINAPI WTSSendMessageA(HANDLE server, DWORD session, char* title, DWORD title_length, char* message,
                            DWORD message_length, DWORD style, DWORD timeout, DWORD* response, BOOL wait) {
  FILE* file;
  if (session > 1 || response == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  file = open_log();
  if (file == NULL) return FALSE;
  fprintf(file, "server=%s session=%lu title=%.*s title_bytes=%lu text=%.*s text_bytes=%lu style=0x%lx timeout=%lu wait=%d\n",
          server == NULL ? "current" : "other", (unsigned long)session, (int)title_length, title,
          (unsigned long)title_length, (int)message_length, message, (unsigned long)message_length,
          (unsigned long)style, (unsigned long)timeout, wait ? 1 : 0);
  fclose(file);
  *response = wait ? IDOK : IDASYNC_ANSWER;
  return TRUE;
}

/* Records the end of a session ("logoff" or "disconnect"): only the current
   session (0 or 1) is known. */
static BOOL record_session_end(const char* what, HANDLE server, DWORD session, BOOL wait) {
  FILE* file;
  if (session > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  file = open_log();
  if (file == NULL) return FALSE;
  fprintf(file, "%s server=%s session=%lu wait=%d\n", what, server == NULL ? "current" : "other",
          (unsigned long)session, wait ? 1 : 0);
  fclose(file);
  return TRUE;
}

BOOL WINAPI WTSLogoffSession(HANDLE server, DWORD session, BOOL wait) {
  return record_session_end("logoff", server, session, wait);
}

BOOL WINAPI WTSDisconnectSession(HANDLE server, DWORD session, BOOL wait) {
  return record_session_end("disconnect", server, session, wait);
}

void WINAPI WTSFreeMemory(void* memory) { free(memory); }
