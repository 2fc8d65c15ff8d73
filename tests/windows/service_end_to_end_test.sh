#!/usr/bin/env bash
# The query service as a Windows service, end to end under Wine: install PellquinService.exe
# with the Service Control Manager, start it, see "Running", ask it from a Linux-native client
# on 127.0.0.1:8021, find the request in its log, stop it, see "Stopped"; start it again while
# another program holds its port and see it stop with its error; remove it.
#
# Usage: service_end_to_end_test.sh WINE_RUN SCM_TOOL SERVICE_EXE NATIVE_CLI WINEPREFIX
# Wine's NetFileEnum is a stub that fails with 50, so the reply carries that error's text:
# the answer proves the whole road from the client through the service to the Win32 call.
set -uo pipefail

wine_run=$1 scm_tool=$2 service_exe=$3 cli=$4 prefix=$5
system32="$prefix/drive_c/windows/system32"
log="$system32/Pellquin.log"
config="$system32/PellquinService.conf"
failures=0

# A Unix path as Wine's Z: drive shows it.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

scm() { "$wine_run" "$scm_tool" "$@" 2>/dev/null | tr -d '\r'; }

expect() {  # expect WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok: $1: $3"
    else
        echo "FAILED: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

blocker=
cleanup() {
    if [ -n "$blocker" ]; then
        kill "$blocker" 2>/dev/null
    fi
    if [ "$(scm status)" = "Running" ]; then
        scm stop >/dev/null
        scm wait Stopped 20 >/dev/null
    fi
    if [ "$(scm status)" != "Not Installed" ]; then
        scm remove >/dev/null
    fi
    rm -f "$config"
}
trap cleanup EXIT

if [ ! -x "$cli" ]; then
    echo "skipped: no native pellquin-cli at '$cli' (configure with PELLQUIN_NATIVE_CLI)"
    trap - EXIT
    exit 77
fi
if [ "$(scm status)" != "Not Installed" ]; then
    echo "a service left by an earlier run is removed first"
    cleanup
fi
# Listen on loopback only: the service's default, every address, would also take port 8021
# from anything else on this machine.
printf 'listen = 127.0.0.1\nport = 8021\n' >"$config"
rm -f "$log"

expect "install" "installed C:\\windows\\system32\\PellquinService.exe" \
    "$(scm install "$(windows_path "$service_exe")")"
expect "state after install" "Stopped" "$(scm status)"
expect "start" "start request sent" "$(scm start)"
expect "state after start" "Running" "$(scm wait Running 30)"

reply=$("$cli" --mechanism service check '\\127.0.0.1' 2>&1)
status=$?
echo "client (exit $status): $reply"
expect "client exit status" "1" "$status"
# Wine's text for code 50 is "Request not supported" (Windows: "The request is not supported").
if grep -qi 'not supported' <<<"$reply"; then
    echo "ok: the reply carries the text of error 50"
else
    echo "FAILED: the reply does not carry the text of error 50"
    failures=$((failures + 1))
fi

request_line=$(grep -a ' query \\\\127.0.0.1' "$log" 2>/dev/null | tr -d '\r' | tail -1)
echo "log: $request_line"
case "$request_line" in
"") echo "FAILED: no request line in $log"; failures=$((failures + 1)) ;;
*127.0.0.1*) echo "ok: the log has the request line" ;;
esac

expect "stop" "stop request sent" "$(scm stop)"
expect "state after stop" "Stopped" "$(scm wait Stopped 30)"
expect "exit codes after a clean stop" "0 0" "$(scm exitcodes)"

# A service that cannot listen stops at once and says why: here another program holds the
# port. Its state is "Stopped" with a service-specific error (1066) and code 1.
"$wine_run" "$service_exe" --foreground --listen 127.0.0.1 --port 8021 --log-dir 'C:\' \
    >/dev/null 2>&1 &
blocker=$!
for _ in $(seq 50); do
    ss -ltn 2>/dev/null | grep -q '127.0.0.1:8021 ' && break
    sleep 0.1
done
expect "start with the port taken" "start request sent" "$(scm start)"
expect "state after a failed start" "Stopped" "$(scm wait Stopped 30)"
expect "exit codes after a failed start" "1066 1" "$(scm exitcodes)"
kill "$blocker" 2>/dev/null
wait "$blocker" 2>/dev/null
blocker=
grep -aq 'cannot start' "$log" && echo "ok: the log says why it could not start" ||
    { echo "FAILED: the log does not say why it could not start"; failures=$((failures + 1)); }

expect "remove" "removed" "$(scm remove)"
expect "state after remove" "Not Installed" "$(scm status)"
grep -aq 'service stopped' "$log" && echo "ok: the log notes the stop" ||
    { echo "FAILED: the log does not note the stop"; failures=$((failures + 1)); }

echo "--- $log"
tr -d '\r' <"$log"
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "service end to end: all checks passed"
