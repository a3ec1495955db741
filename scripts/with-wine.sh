#!/usr/bin/env bash
# Runs a command inside the build tree's Wine environment (private display, prefix, one
# persistent wineserver). When an outer script has brought the environment up already
# (QF_ENV_UP=1) the command simply runs in it; otherwise this script brings it up and ends
# exactly what it started afterwards, also on failure or interruption.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -n "${QF_ENV_UP:-}" ]; then
  exec "$@"
fi
trap qf_env_stop EXIT
trap 'exit 130' INT TERM
qf_env_start || exit 1
export QF_ENV_UP=1
"$@"
