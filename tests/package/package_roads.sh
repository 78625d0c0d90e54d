#!/usr/bin/env bash
# package_roads.sh USR WORK
# Runs the installed programs of USR (an unpacked /usr) through two roads on the bench, each in a
# working folder of its own under WORK: a Qca9x07 module (the diagnostic library and fastboot)
# and a Qca8909 module (the Sahara and Firehose tools). Nothing sits beside the programs, so the
# station must find the bench's simulated library and tools in USR/lib/zendral-bench/. A road
# passes when its DUT row reports success and the module's system partition equals its file.
set -euo pipefail
usr=$1 work=$2
bin=$usr/bin
mkdir -p "$work"
export ZENDRAL_BENCH=$work/bench.sock
# The bench and the station wait alike. Qca8909's emergency switch waits a fixed 20 s (scaled)
# for a port that a module needs at least 0.4 s to show, whatever the scale.
export ZENDRAL_TIME_SCALE=0.05
bench_pid=""
cleanup() {
  [ -n "$bench_pid" ] || return 0
  "$bin/zendral-bench" quit >/dev/null 2>&1 || kill "$bench_pid" 2>/dev/null || true
  wait "$bench_pid" 2>/dev/null || true
}
trap cleanup EXIT
fail() {
  echo "road: $*" >&2
  exit 1
}

"$bin/zendral-bench" serve --socket "$ZENDRAL_BENCH" >"$work/bench.log" 2>&1 &
bench_pid=$!
for _ in $(seq 100); do
  "$bin/zendral-bench" state >/dev/null 2>&1 && break
  sleep 0.1
done

ini() { "$bin/zendral-tool" ini put "$@" >/dev/null; }

# The DUT row's outcome so far in the station's JSON lines: "success", "failure" or nothing.
outcome() {
  jq -r 'select((.event == "message" and (.text | ascii_downcase) == "update success!")
                or (.event == "status" and .value < 0)) | .event' "$1" 2>/dev/null |
    head -n1 | sed 's/message/success/; s/status/failure/'
}

# road PLATFORM SECTION FIRMWARE_FOLDER [FLAG...]: plugs a module, runs the headless station
# (cfg.ini's FLAGs on) with `start` until the row ends (a bound of a few minutes only ends a
# hang) and checks the module.
road() {
  local platform=$1 section=$2 folder=$3 events module sha flag
  shift 3
  events=$PWD/events.jsonl
  : >"$events"
  module=$("$bin/zendral-bench" plug --platform "$platform")
  ini cfg.ini Platform current "$section"
  ini cfg.ini Platform Version "Zendral package"
  ini cfg.ini Platform BackCtrlVisble True --as bool
  for flag in "$@"; do ini cfg.ini Platform "$flag" True --as bool; done
  mkdir -p Platform
  ini "Platform/$platform.ini" Dir "Dir Path" "$folder"
  ini "Platform/$platform.ini" Dir CheckCFUN "+CFUN: 1"
  {
    echo start
    for _ in $(seq 1500); do
      [ -n "$(outcome "$events")" ] && break
      sleep 0.2
    done
    echo quit
  } | "$bin/zendral-headless" >"$events" 2>station.log
  [ "$(outcome "$events")" = success ] ||
    fail "$platform did not succeed: $(jq -c 'select(.event == "message") | .text' "$events" | tail -n 5)"
  sha=$("$bin/zendral-bench" state |
    jq -r --arg id "$module" '.modules[] | select(.id == $id) | .partitions[] | select(.name == "system") | .sha256')
  [ "$sha" = "$(sha256sum "$folder/system.img" | cut -d' ' -f1)" ] ||
    fail "$platform: the system partition differs from $folder/system.img"
  "$bin/zendral-bench" unplug "$module" >/dev/null
}

mkdir "$work/qca9x07" "$work/qca8909"
cd "$work/qca9x07"
"$bin/zendral-bench" make-firmware --platform Qca9x07 firmware --size-scale 0.01 \
  --station-dir . >/dev/null
road Qca9x07 Qca_9x07 "$PWD/firmware"

cd "$work/qca8909"
"$bin/zendral-bench" make-firmware --platform Qca8909 emmc --size-scale 0.01 >/dev/null
road Qca8909 Qca_8909 "$PWD/emmc" SupportHalvoG
