# More processes than one enumeration has room for: with 1,100 idle 32-bit
# processes in the prefix beside Wine's own, one tick of session detection at
# level 4 examines exactly the 1,024 ids the enumeration returns, finds the
# account Wine runs as, and logs nothing but the module-list failures of Wine's
# own 64-bit processes. Prints what the idle processes cost in memory; every
# process of the prefix is gone at the end.
set -eu
. "$(dirname "$0")/../lib.sh"
trap e2e_cleanup EXIT
count=${SCALE_PROCESSES:-1100}

# One idle process costs about 2 MiB here: ask for twice that, so the machine
# is never short.
available_kb() { awk '/^MemAvailable:/ {print $2}' /proc/meminfo; }
if [ "$(available_kb)" -lt $(( count * 4096 )) ]; then
  echo "SKIP: $(( $(available_kb) / 1024 )) MiB available, $(( count * 4 )) MiB wanted for $count processes"
  exit 0
fi

e2e_prefix scale
cp "$BUILD_DIR/scale_probe.exe" "$BUILD_DIR/idle_process.exe" "$E2E_DIR/"
probe() { (cd "$E2E_DIR" && wine scale_probe.exe "$@" </dev/null 2>/dev/null | tr -d '\r'); }
# The Linux processes of this prefix only (other prefixes may run the same exes).
prefix_pids() {
  local p
  for p in $(pgrep -f "$1" || true); do
    grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null && echo "$p"
  done
  return 0
}
user=$(wine cmd /c 'echo %USERNAME%' </dev/null 2>/dev/null | tr -d '\r')

before=$(available_kb)
t0=$(e2e_now_ms)
# Into a file, not a pipe: whatever a child inherits must not hold a reader.
(cd "$E2E_DIR" && wine scale_probe.exe spawn "$count" </dev/null >"$E2E_DIR/spawn.log" 2>&1) ||
  e2e_fail "not every idle process ran: $(tr -d '\r' <"$E2E_DIR/spawn.log")"
echo "$(tr -d '\r' <"$E2E_DIR/spawn.log" | sed -n 's/^started=//p') idle processes started in $(( $(e2e_now_ms) - t0 )) ms"
sleep 2
used=$(( before - $(available_kb) ))
one=$(prefix_pids 'idle_process[.]exe' | head -1)
echo "memory: $(( used / 1024 )) MiB for $count idle processes, $(( used / count )) kB each;" \
  "one alone: $(awk '/^VmRSS:/ {print $2}' "/proc/$one/status") kB resident," \
  "$(awk '/^RssAnon:/ {print $2}' "/proc/$one/status") kB of it anonymous"

t0=$(e2e_now_ms)
result=$(probe probe)
echo "one tick at level 4 in $(( $(e2e_now_ms) - t0 )) ms, exe start included"
value() { sed -n "s/^$1=//p" <<<"$result"; }
echo "$result" | grep -v '^message=' | sed 's/^/  /'
messages=$(grep '^message=' <<<"$result" | sed 's/^message=//' || true)
[ -n "$messages" ] && sort <<<"$messages" | uniq -c | sed 's/^/  /'

[ "$(value running)" -gt 1024 ] || e2e_fail "only $(value running) processes running"
[ "$(value listed)" -eq 1024 ] || e2e_fail "the enumeration listed $(value listed) ids, not 1024"
[ "$(value opened)" -eq "$(value nonzero)" ] ||
  e2e_fail "$(value opened) processes opened for $(value nonzero) nonzero ids"
tr ',' '\n' <<<"$(value seen)" | grep -qixF -- "$user" || e2e_fail "the account $user was not found"
others=$(grep -vxF 'ERROR:Not possible to read process modules' <<<"$messages" | grep -c . || true)
[ "$others" -eq 0 ] || e2e_fail "$others unexpected log lines"
failures=$(grep -c . <<<"$messages" || true)
[ "$failures" -eq "$(value wide)" ] ||
  e2e_fail "$failures module-list failures for $(value wide) 64-bit processes"

wineserver -k >/dev/null 2>&1 || true
none_left() { [ -z "$(prefix_pids '[.]exe')" ]; }
e2e_wait_for 30 none_left || e2e_fail "processes left: $(prefix_pids '[.]exe' | wc -l)"
echo "every process of the prefix ended"
