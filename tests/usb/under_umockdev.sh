#!/bin/sh
# Runs a test program under umockdev-wrapper, which preloads the library that
# sends its sysfs, /dev and usbfs calls (and those of the programs it starts)
# into umockdev's testbed. With that library loaded first, AddressSanitizer
# must be told not to insist on coming first itself.
ASAN_OPTIONS="verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export ASAN_OPTIONS
exec umockdev-wrapper "$@"
