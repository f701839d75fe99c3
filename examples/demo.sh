#!/usr/bin/env bash
# Placeholder until create mode exists: shows the tools' help.
set -u
build="${1:-build}"
"$build/trovel" -h
exit 0
