#!/usr/bin/env bash
# The query service as a Windows service, end to end under Wine, driven as the operator of the
# Service Control tab does it through the service-control logic over the real Win32 adapters:
# connect to This Machine, install PellquinService.exe, start it, see "Running", ask it from a
# Linux-native client on 127.0.0.1:8021, find the request in its log, stop it, see "Stopped";
# start it again while another program holds its port and see it stop; uninstall it.
#
# Usage: service_end_to_end_test.sh WINE_RUN DRIVER SERVICE_EXE NATIVE_CLI WINEPREFIX
# Wine's NetFileEnum is a stub that fails with 50, so the reply carries that error's text:
# the answer proves the whole road from the client through the service to the Win32 call.
set -uo pipefail

wine_run=$1 driver=$2 service_exe=$3 cli=$4 prefix=$5
system32="$prefix/drive_c/windows/system32"
log="$system32/Pellquin.log"
config="$system32/PellquinService.conf"
failures=0

# Runs the driver with the steps given; keeps its output in $out and its status in $driver_status.
out= driver_status=0
drive() {
    out=$("$wine_run" "$driver" "$@" 2>/dev/null)
    driver_status=$?
    out=${out//$'\r'/}
    printf '%s\n' "$out" | sed 's/^/  | /'
}
status_now() { drive >/dev/null; sed -n 's/^status: //p' <<<"$out" | tail -1; }

expect() {  # expect WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok: $1: $3"
    else
        echo "FAILED: $1: expected [$2], got [$3]"
        failures=$((failures + 1))
    fi
}

# expect_lines WHAT PREFIX EXPECTED: the driver's lines that start with PREFIX, in order. A
# status read just after a start or stop request may still be pending, so pending states are
# left out.
expect_lines() {
    local actual
    actual=$(sed -n "s/^$2//p" <<<"$out" | grep -v 'Pending$')
    if [ "$3" = "$actual" ]; then
        echo "ok: $1"
    else
        echo "FAILED: $1"
        diff <(printf '%s\n' "$3") <(printf '%s\n' "$actual") | sed 's/^/    /'
        failures=$((failures + 1))
    fi
}

blocker=
cleanup() {
    if [ -n "$blocker" ]; then
        kill "$blocker" 2>/dev/null
    fi
    case "$(status_now)" in
    "Not Installed" | "") ;;
    *) drive stop wait:Stopped uninstall >/dev/null ;;
    esac
    rm -f "$config"
}
trap cleanup EXIT

if [ ! -x "$cli" ]; then
    echo "skipped: no native pellquin-cli at '$cli' (configure with PELLQUIN_NATIVE_CLI)"
    trap - EXIT
    exit 77
fi
if [ "$(status_now)" != "Not Installed" ]; then
    echo "a service left by an earlier run is removed first"
    cleanup
fi
# Listen on loopback only: the service's default, every address, would also take port 8021
# from anything else on this machine.
printf 'listen = 127.0.0.1\nport = 8021\n' >"$config"
rm -f "$log"

echo "operator: connect, install, start"
drive install start wait:Running
expect "driver status" "0" "$driver_status"
expect_lines "message log from connect to start" "log: " 'Connected to ServiceManager on This Machine
Service is not installed on this host
Copying service executable to C:\windows\system32\PellquinService.exe
Installing Service
Service Installed Successfully
Disconnected from This Machine
Connected to ServiceManager on This Machine
Connected to Service on This Machine
Service Start request sent'
expect_lines "status after each step" "status: " 'Not Installed
Stopped
Running'
expect "buttons after connect" "Disconnect Install" "$(sed -n 's/^buttons: //p' <<<"$out" | head -1)"
expect "buttons while running" "Disconnect Uninstall Stop ViewLog ClearLog" \
    "$(sed -n 's/^buttons: //p' <<<"$out" | tail -1)"

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

request_line=$(grep -a ' query "\\\\127.0.0.1' "$log" 2>/dev/null | tr -d '\r' | tail -1)
echo "log: $request_line"
case "$request_line" in
"") echo "FAILED: no request line in $log"; failures=$((failures + 1)) ;;
*127.0.0.1*) echo "ok: the log has the request line" ;;
esac

# The Linux client sends its names in Windows-1252, the code page this Windows service holds
# them in (Wine's ANSI code page here): the log, which shows bytes outside UTF-8 as <XX>, has
# the one byte of U+00DC.
"$cli" --mechanism service check '\\127.0.0.1\data\Übersicht' >/dev/null 2>&1
if grep -aqF 'query "\\127.0.0.1\data\<DC>bersicht"' "$log"; then
    echo "ok: the name reached the service in Windows-1252"
else
    echo "FAILED: the name did not reach the service in Windows-1252"
    failures=$((failures + 1))
fi

echo "operator: connect, stop"
drive stop wait:Stopped
expect "driver status" "0" "$driver_status"
expect_lines "message log of the stop" "log: " 'Connected to ServiceManager on This Machine
Connected to Service on This Machine
Service Stop request sent'
expect_lines "status after each step" "status: " 'Running
Stopped'
expect "buttons when stopped" "Disconnect Uninstall Start ViewLog ClearLog" \
    "$(sed -n 's/^buttons: //p' <<<"$out" | tail -1)"

# A service that cannot listen stops at once and says why in its log: here another program
# holds the port.
"$wine_run" "$service_exe" --foreground --listen 127.0.0.1 --port 8021 --log-dir 'C:\' \
    >/dev/null 2>&1 &
blocker=$!
for _ in $(seq 50); do
    ss -ltn 2>/dev/null | grep -q '127.0.0.1:8021 ' && break
    sleep 0.1
done
echo "operator: connect, start with the port taken"
drive start wait:Stopped
expect "driver status" "0" "$driver_status"
expect_lines "message log of the failed start" "log: " 'Connected to ServiceManager on This Machine
Connected to Service on This Machine
Service Start request sent'
kill "$blocker" 2>/dev/null
wait "$blocker" 2>/dev/null
blocker=
grep -aq 'cannot start' "$log" && echo "ok: the log says why it could not start" ||
    { echo "FAILED: the log does not say why it could not start"; failures=$((failures + 1)); }

echo "operator: connect, uninstall"
drive uninstall
expect "driver status" "0" "$driver_status"
expect "the last message" "Service Uninstalled successfully" \
    "$(sed -n 's/^log: //p' <<<"$out" | tail -1)"
expect "status after uninstall" "Not Installed" "$(sed -n 's/^status: //p' <<<"$out" | tail -1)"
expect "status seen afresh" "Not Installed" "$(status_now)"
grep -aq 'service stopped' "$log" && echo "ok: the log notes the stop" ||
    { echo "FAILED: the log does not note the stop"; failures=$((failures + 1)); }

echo "--- $log"
tr -d '\r' <"$log"
if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "service end to end: all checks passed"
