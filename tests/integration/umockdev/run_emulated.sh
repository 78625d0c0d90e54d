#!/bin/sh
# Runs a test program on the emulated machine: the device emulation library is preloaded, so
# the program's testbed stands in for /sys and /dev.
#
# AddressSanitizer wants to be the first library loaded; the emulation has to be, so the
# sanitizer is told not to insist. The emulated uevents travel over datagram sockets, whose
# queue holds only 10 messages by default, fewer than one module's arrival: where a private
# network namespace can be had, the program runs in one with a longer queue, leaving this
# machine's setting alone.
ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
export ASAN_OPTIONS
run='echo 1024 >/proc/sys/net/unix/max_dgram_qlen 2>/dev/null; exec umockdev-wrapper "$@"'
for flags in --net "--net --map-root-user"; do
  # shellcheck disable=SC2086
  if unshare $flags true 2>/dev/null; then
    exec unshare $flags sh -c "$run" sh "$@"
  fi
done
exec umockdev-wrapper "$@"
