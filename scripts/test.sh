#!/usr/bin/env bash
# `make test`: the native logic tests with sanitizers, the Windows build, then every Windows
# test (unit and end-to-end) under Wine; ends with one line "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
mkdir -p "$QF_BUILD" "$QF_ARTIFACTS"

passed=0
failed=0

# Adds the counts of a ctest summary ("97% tests passed, 1 tests failed out of 40").
count_ctest() {
  local log=$1 line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

echo "== native logic tests (clang, sanitizers)"
if cmake --preset native >/dev/null && cmake --build --preset native; then
  ctest --preset native -j2 2>&1 | tee "$QF_BUILD/native-tests.log"
  count_ctest "$QF_BUILD/native-tests.log"
else
  echo "native build failed"
  failed=$((failed + 1))
fi

echo "== Windows build (MinGW-w64)"
if cmake --preset windows >/dev/null && cmake --build --preset windows; then
  echo "== Windows tests under Wine"
  trap qf_env_stop EXIT
  trap 'exit 130' INT TERM
  if qf_env_start; then
    export QF_ENV_UP=1
    ctest --preset windows --timeout 600 2>&1 | tee "$QF_BUILD/windows-tests.log"
    count_ctest "$QF_BUILD/windows-tests.log"
  else
    echo "the Wine environment did not come up"
    failed=$((failed + 1))
  fi
else
  echo "Windows build failed"
  failed=$((failed + 1))
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
