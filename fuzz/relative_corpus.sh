#!/bin/sh
# A fuzz target run on a relative corpus folder reads every file of it, and a target's runs leave
# the temporary folder as they found it. $1: the target (one that changes into a private folder).
set -eu
target=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir tmp
export TMPDIR="$work/tmp"
"$target" --write-seeds corpus/seeds >/dev/null
"$target" corpus/seeds | grep -q " 0 unreadable"
"$target" >/dev/null
test -z "$(ls -A tmp)"
