#!/bin/sh
# Test stand-in for a companion program: records its arguments and working directory.
out="$(dirname "$0")/received_$(basename "$0").txt"
pwd > "$out"
for arg in "$@"; do
    printf '[%s]\n' "$arg" >> "$out"
done
