#!/usr/bin/env bash
# `make demo`: shows the agent at work on a private Xvfb display and prints where the pictures are.
set -u
cd "$(dirname "$0")/.."
exec scripts/with-wine.sh /usr/bin/python3 tests/e2e/demo.py
