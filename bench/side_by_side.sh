#!/bin/sh
# The contacts window on Linux and Vorteda.exe's under Wine, one after the other in
# one X server (Xvfb with openbox), so that both draw on a screen and share the
# machine's load of the moment:
#
#   bench/side_by_side.sh LINUX_BUILD WINDOWS_BUILD [runs] [count]   (default: 5 1000000)
#
# Linux: vorteda_bench --window --screen, the median of `runs` runs per step. Windows:
# vorteda_bench_win32.exe, one row per run (take the median of each column).
# `uptime` before and after tells the machine's load.
set -eu
linux=$1
windows=$2
runs=${3:-5}
count=${4:-1000000}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
counts=
i=0
while [ "$i" -lt "$runs" ]; do counts="$counts $count"; i=$((i + 1)); done
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
uptime
timeout 1800 xvfb-run -a sh -c "
    openbox >/dev/null 2>&1 &
    sleep 1
    # The resources a Debian desktop session loads. With none at all, as a bare Xvfb
    # has, Wine's X11 driver reads ~/.Xdefaults again for every font it selects,
    # dozens of times a keystroke; Qt does not ask. Both programs see the same.
    xrdb -merge /etc/X11/Xresources/x11-common
    wine wineboot -i >/dev/null 2>&1
    echo '== Linux, drawn on the X server'
    timeout 900 '$linux/bench/vorteda_bench' --window --screen $runs $count
    echo '== Windows (Wine), drawn on the X server'
    timeout 900 wine '$windows/bench/vorteda_bench_win32.exe' $counts
    echo '== Linux, off the screen'
    timeout 900 '$linux/bench/vorteda_bench' --window $runs $count
"
uptime
