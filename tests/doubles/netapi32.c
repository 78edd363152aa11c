/* A recording stand-in for netapi32.dll under Wine, whose NetUserSetInfo aborts
   the process. Each call appends one line to the file named by NF_NETAPI32_LOG
   (default C:\netapi32_calls.log):
     server=<name|(null)> user=<name> level=<n> units=<n> hours=<42 hex digits>
       parm_err=<(null)|given>   (on the same line)
   Accounts whose names begin with "nouser" do not exist: the call answers
   NERR_UserNotFound (2221), as Windows does.
   NetUserGetInfo is not recorded. At level 2 with no server it answers a
   USER_INFO_2 whose logon hours are the last recorded for that user in the same
   file (every hour permitted when none), so a test can lock and read back. At
   level 24 it answers that nf_child signs in with the Microsoft account
   nf.child@example.com, and every other account with none.
   NetUserEnum records one line a call:
     enum server=<name|(null)> level=<n> filter=<n> prefmaxlen=<n> resume=<n|(null)>
   With no server, at level 2 and for FILTER_NORMAL_ACCOUNT it lists Administrator
   (administrator, disabled), Guest (guest, disabled), the Wine user
   (administrator, as Wine makes every user) and nf_child (standard, full name
   "Nf Child"), at most two a call whatever prefmaxlen asks, as Windows may:
   ERROR_MORE_DATA and the resume handle then lead to the rest. Every buffer is
   ours and only our NetApiBufferFree frees it. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#define NERR_SUCCESS 0
#define NERR_USER_NOT_FOUND 2221
#define HOURS_BYTES 21

typedef struct {
  DWORD units_per_week;
  BYTE* logon_hours;
} USER_INFO_1020_VIEW;

/* USER_INFO_1 as lmaccess.h lays it out. */
typedef struct {
  wchar_t* name;
  wchar_t* password;
  DWORD password_age, priv;
  wchar_t *home_dir, *comment;
  DWORD flags;
  wchar_t* script_path;
} USER_INFO_1_VIEW;

/* USER_INFO_2 as lmaccess.h lays it out: USER_INFO_1's fields, then more. */
typedef struct {
  USER_INFO_1_VIEW head;
  DWORD auth_flags;
  wchar_t *full_name, *usr_comment, *parms, *workstations;
  DWORD last_logon, last_logoff, acct_expires, max_storage, units_per_week;
  BYTE* logon_hours;
  DWORD bad_pw_count, num_logons;
  wchar_t* logon_server;
  DWORD country_code, code_page;
} USER_INFO_2_VIEW;

/* What NetUserGetInfo hands out, in one block. */
typedef struct {
  USER_INFO_2_VIEW info;
  BYTE hours[HOURS_BYTES];
  wchar_t name[256];
} USER_BUFFER;

#define ENUM_PAGE 2
#define NAME_ROOM 64
/* What NetUserEnum hands out, in one block. */
typedef struct {
  USER_INFO_2_VIEW entries[ENUM_PAGE];
  wchar_t names[ENUM_PAGE][NAME_ROOM];
} ENUM_BUFFER;

/* USER_INFO_24 as lmaccess.h lays it out, and what NetUserGetInfo hands out at
   level 24, in one block. */
typedef struct {
  BOOL internet_identity;
  DWORD flags;
  wchar_t *provider_name, *principal_name;
  void* sid;
} USER_INFO_24_VIEW;
typedef struct {
  USER_INFO_24_VIEW info;
  wchar_t principal[NAME_ROOM];
} IDENTITY_BUFFER;

#define LINKED_USER L"nf_child"
#define LINKED_ACCOUNT L"nf.child@example.com"

/* Every buffer follows a marked header, so that one this DLL did not allocate
   (or freed already) is refused; the union keeps what follows aligned. */
#define BUFFER_MARK 0x4E463332u
typedef union {
  DWORD mark;
  void* pointer;
  double number;
} BUFFER_HEADER;

static void* net_alloc(size_t size) {
  BUFFER_HEADER* header = (BUFFER_HEADER*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof *header + size);
  if (header == NULL) return NULL;
  header->mark = BUFFER_MARK;
  return header + 1;
}

static void narrow(const wchar_t* text, char* out, size_t room) {
  if (text == NULL) {
    snprintf(out, room, "(null)");
    return;
  }
  WideCharToMultiByte(CP_ACP, 0, text, -1, out, (int)room, NULL, NULL);
  out[room - 1] = 0;
}

/* The process environment, not the C library's copy: the caller may have set it
   either way, and this DLL's C library need not be the caller's. */
static void log_path(char* path, DWORD room) {
  DWORD length = GetEnvironmentVariableA("NF_NETAPI32_LOG", path, room);
  if (length == 0 || length >= room) lstrcpynA(path, "C:\\netapi32_calls.log", (int)room);
}

static int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

/* hours: the 21 bytes of the last lock or unlock of user the file records. */
static void recorded_hours(const char* user, BYTE* hours) {
  char path[MAX_PATH], line[512], wanted[300];
  FILE* file;
  memset(hours, 0xFF, HOURS_BYTES);
  log_path(path, sizeof path);
  file = fopen(path, "rb");
  if (file == NULL) return;
  snprintf(wanted, sizeof wanted, " user=%s level=1020 ", user);
  while (fgets(line, sizeof line, file) != NULL) {
    const char* digits = strstr(line, " hours=");
    BYTE read[HOURS_BYTES];
    int i, valid = digits != NULL && strstr(line, wanted) != NULL;
    for (i = 0; valid && i < HOURS_BYTES; ++i) {
      const int high = hex_digit(digits[7 + 2 * i]), low = high < 0 ? -1 : hex_digit(digits[8 + 2 * i]);
      valid = low >= 0;
      read[i] = (BYTE)(high * 16 + low);
    }
    if (valid) memcpy(hours, read, HOURS_BYTES);
  }
  fclose(file);
}

DWORD WINAPI NetUserGetInfo(const wchar_t* server, const wchar_t* user, DWORD level, BYTE** buffer) {
  char user_text[256];
  USER_BUFFER* block;
  if (buffer == NULL || user == NULL) return ERROR_INVALID_PARAMETER;
  *buffer = NULL;
  if (server != NULL) return ERROR_BAD_NETPATH; /* the double knows the local computer only */
  if (level != 2 && level != 24) return ERROR_INVALID_LEVEL;
  narrow(user, user_text, sizeof user_text);
  if (strncmp(user_text, "nouser", 6) == 0) return NERR_USER_NOT_FOUND;
  if (level == 24) {
    IDENTITY_BUFFER* identity = (IDENTITY_BUFFER*)net_alloc(sizeof *identity);
    if (identity == NULL) return ERROR_NOT_ENOUGH_MEMORY;
    if (lstrcmpW(user, LINKED_USER) == 0) {
      lstrcpynW(identity->principal, LINKED_ACCOUNT, NAME_ROOM);
      identity->info.internet_identity = TRUE;
      identity->info.principal_name = identity->principal;
    }
    *buffer = (BYTE*)&identity->info;
    return NERR_SUCCESS;
  }
  block = (USER_BUFFER*)net_alloc(sizeof *block);
  if (block == NULL) return ERROR_NOT_ENOUGH_MEMORY;
  lstrcpynW(block->name, user, 256);
  recorded_hours(user_text, block->hours);
  block->info.head.name = block->name;
  block->info.head.priv = 1; /* USER_PRIV_USER */
  block->info.units_per_week = 168;
  block->info.logon_hours = block->hours;
  *buffer = (BYTE*)&block->info;
  return NERR_SUCCESS;
}

#define FILTER_NORMAL_ACCOUNT 2
#define LISTED 4

/* The listed accounts: name (NULL for the Wine user), privilege, flags, full name. */
static const struct {
  const wchar_t* name;
  DWORD priv, flags;
  const wchar_t* full_name;
} listed[LISTED] = {
    {L"Administrator", 2, 0x203, L""}, /* USER_PRIV_ADMIN; UF_SCRIPT | UF_ACCOUNTDISABLE | UF_NORMAL_ACCOUNT */
    {L"Guest", 0, 0x203, L""},         /* USER_PRIV_GUEST */
    {NULL, 2, 0x201, L""},
    {LINKED_USER, 1, 0x201, L"Nf Child"}, /* USER_PRIV_USER */
};

static void record_enum(const wchar_t* server, DWORD level, DWORD filter, DWORD prefmaxlen, const DWORD* resume) {
  char server_text[256], resume_text[16] = "(null)", path[MAX_PATH] = "";
  FILE* file;
  narrow(server, server_text, sizeof server_text);
  if (resume != NULL) snprintf(resume_text, sizeof resume_text, "%lu", (unsigned long)*resume);
  log_path(path, sizeof path);
  file = fopen(path, "ab");
  if (file == NULL) return;
  fprintf(file, "enum server=%s level=%lu filter=%lu prefmaxlen=%lu resume=%s\n", server_text, (unsigned long)level,
          (unsigned long)filter, (unsigned long)prefmaxlen, resume_text);
  fclose(file);
}

DWORD WINAPI NetUserEnum(const wchar_t* server, DWORD level, DWORD filter, BYTE** buffer, DWORD prefmaxlen,
                         DWORD* entries_read, DWORD* total_entries, DWORD* resume) {
  ENUM_BUFFER* block;
  DWORD from, count, i;
  record_enum(server, level, filter, prefmaxlen, resume);
  if (buffer == NULL || entries_read == NULL || total_entries == NULL) return ERROR_INVALID_PARAMETER;
  *buffer = NULL;
  *entries_read = *total_entries = 0;
  if (server != NULL) return ERROR_BAD_NETPATH;
  if (level != 2) return ERROR_INVALID_LEVEL;
  if (filter != FILTER_NORMAL_ACCOUNT) return ERROR_INVALID_PARAMETER;
  from = resume != NULL ? *resume : 0;
  /* Without a resume handle the caller could never get past the first page. */
  if (from > LISTED || (resume == NULL && LISTED > ENUM_PAGE)) return ERROR_INVALID_PARAMETER;
  count = LISTED - from < ENUM_PAGE ? LISTED - from : ENUM_PAGE;
  block = (ENUM_BUFFER*)net_alloc(sizeof *block);
  if (block == NULL) return ERROR_NOT_ENOUGH_MEMORY;
  for (i = 0; i < count; ++i) {
    DWORD room = NAME_ROOM;
    if (listed[from + i].name != NULL)
      lstrcpynW(block->names[i], listed[from + i].name, NAME_ROOM);
    else if (!GetUserNameW(block->names[i], &room))
      lstrcpynW(block->names[i], L"wineuser", NAME_ROOM);
    block->entries[i].head.name = block->names[i];
    block->entries[i].head.priv = listed[from + i].priv;
    block->entries[i].head.flags = listed[from + i].flags;
    block->entries[i].full_name = (wchar_t*)listed[from + i].full_name;
  }
  *buffer = (BYTE*)block->entries;
  *entries_read = count;
  *total_entries = LISTED - from;
  if (from + count < LISTED) {
    *resume = from + count;
    return ERROR_MORE_DATA;
  }
  if (resume != NULL) *resume = 0;
  return NERR_SUCCESS;
}

DWORD WINAPI NetApiBufferFree(void* buffer) {
  BUFFER_HEADER* header;
  if (buffer == NULL) return NERR_SUCCESS;
  header = (BUFFER_HEADER*)buffer - 1;
  if (header->mark != BUFFER_MARK) return ERROR_INVALID_PARAMETER;
  header->mark = 0;
  HeapFree(GetProcessHeap(), 0, header);
  return NERR_SUCCESS;
}

DWORD WINAPI NetUserSetInfo(const wchar_t* server, const wchar_t* user, DWORD level, BYTE* buffer,
                            DWORD* parm_err) {
  char server_text[256], user_text[256], hours[64] = "", path[MAX_PATH] = "";
  FILE* file;
  DWORD units = 0;
  narrow(server, server_text, sizeof server_text);
  narrow(user, user_text, sizeof user_text);
  if (level == 1020 && buffer != NULL) {
    const USER_INFO_1020_VIEW* info = (const USER_INFO_1020_VIEW*)buffer;
    int i;
    units = info->units_per_week;
    for (i = 0; i < HOURS_BYTES && info->logon_hours != NULL; ++i) sprintf(hours + 2 * i, "%02x", info->logon_hours[i]);
  }
  log_path(path, sizeof path);
  file = fopen(path, "ab");
  if (file != NULL) {
    fprintf(file, "server=%s user=%s level=%lu units=%lu hours=%s parm_err=%s\n", server_text, user_text,
            (unsigned long)level, (unsigned long)units, hours, parm_err == NULL ? "(null)" : "given");
    fclose(file);
  }
  if (strncmp(user_text, "nouser", 6) == 0) return NERR_USER_NOT_FOUND;
  return NERR_SUCCESS;
}
