/* A recording stand-in for wtsapi32.dll under Wine, whose sessions are stubs.
   The computer has two sessions: 0 (services, nobody logged on) and 1, where
   the user running the calling process is logged on. Each WTSSendMessageA
   appends one line to the file named by NF_WTSAPI32_LOG (default
   C:\wtsapi32_calls.log):
     server=<current|other> session=<n> title=<text> title_bytes=<n> text=<text>
       text_bytes=<n> style=<hex> timeout=<n> wait=<0|1>   (on the same line)
   The lengths are the callers', so one that counts the terminating zero shows.
   and answers IDASYNC when not asked to wait. Each WTSLogoffSession appends
   "logoff server=<current|other> session=<n> wait=<0|1>". The buffers handed
   out are ours, and only our WTSFreeMemory frees them. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define IDASYNC_ANSWER 32001
#define WTS_USER_NAME 5
#define WTS_ACTIVE 0
#define WTS_DISCONNECTED 4

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
  list[1].state = WTS_ACTIVE;
  *sessions = list;
  *count = 2;
  return TRUE;
}

BOOL WINAPI WTSQuerySessionInformationA(HANDLE server, DWORD session, int info, char** buffer, DWORD* bytes) {
  const char* user;
  (void)server;
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

BOOL WINAPI WTSLogoffSession(HANDLE server, DWORD session, BOOL wait) {
  FILE* file;
  if (session > 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  file = open_log();
  if (file == NULL) return FALSE;
  fprintf(file, "logoff server=%s session=%lu wait=%d\n", server == NULL ? "current" : "other",
          (unsigned long)session, wait ? 1 : 0);
  fclose(file);
  return TRUE;
}

void WINAPI WTSFreeMemory(void* memory) { free(memory); }
