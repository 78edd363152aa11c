/* A recording stand-in for netapi32.dll under Wine, whose NetUserSetInfo aborts
   the process. Each call appends one line to the file named by NF_NETAPI32_LOG
   (default C:\netapi32_calls.log):
     server=<name|(null)> user=<name> level=<n> units=<n> hours=<42 hex digits>
       parm_err=<(null)|given>   (on the same line)
   Accounts whose names begin with "nouser" do not exist: the call answers
   NERR_UserNotFound (2221), as Windows does. */
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#define NERR_SUCCESS 0
#define NERR_USER_NOT_FOUND 2221

typedef struct {
  DWORD units_per_week;
  BYTE* logon_hours;
} USER_INFO_1020_VIEW;

static void narrow(const wchar_t* text, char* out, size_t room) {
  if (text == NULL) {
    snprintf(out, room, "(null)");
    return;
  }
  WideCharToMultiByte(CP_ACP, 0, text, -1, out, (int)room, NULL, NULL);
  out[room - 1] = 0;
}

DWORD WINAPI NetUserSetInfo(const wchar_t* server, const wchar_t* user, DWORD level, BYTE* buffer,
                            DWORD* parm_err) {
  char server_text[256], user_text[256], hours[64] = "", path[MAX_PATH] = "";
  FILE* file;
  DWORD units = 0, length;
  narrow(server, server_text, sizeof server_text);
  narrow(user, user_text, sizeof user_text);
  if (level == 1020 && buffer != NULL) {
    const USER_INFO_1020_VIEW* info = (const USER_INFO_1020_VIEW*)buffer;
    int i;
    units = info->units_per_week;
    for (i = 0; i < 21 && info->logon_hours != NULL; ++i) sprintf(hours + 2 * i, "%02x", info->logon_hours[i]);
  }
  /* The process environment, not the C library's copy: the caller may have set it
     either way, and this DLL's C library need not be the caller's. */
  length = GetEnvironmentVariableA("NF_NETAPI32_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path) path[0] = 0;
  file = fopen(*path ? path : "C:\\netapi32_calls.log", "ab");
  if (file != NULL) {
    fprintf(file, "server=%s user=%s level=%lu units=%lu hours=%s parm_err=%s\n", server_text, user_text,
            (unsigned long)level, (unsigned long)units, hours, parm_err == NULL ? "(null)" : "given");
    fclose(file);
  }
  if (strncmp(user_text, "nouser", 6) == 0) return NERR_USER_NOT_FOUND;
  return NERR_SUCCESS;
}
