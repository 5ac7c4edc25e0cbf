#!/usr/bin/env bash
# Installs the build dependencies, builds Tarvek with its tests in build-test/, runs every
# test and ends with one line "N passed, N failed". Tests work in temporary folders only.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-test -j2
cd build-test
set +e
QT_QPA_PLATFORM=offscreen ctest -j2 --timeout 600 --output-on-failure 2>&1 | tee ctest.log
status=${PIPESTATUS[0]}
set -e
total=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\2/p' ctest.log)
failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1/p' ctest.log)
if [ -z "$total" ]; then
    echo "0 passed, 1 failed"
    exit 1
fi
skipped=$(grep -c '(Skipped)' ctest.log || true)
echo "$((total - failed - skipped)) passed, ${failed} failed, ${skipped} skipped"
exit "$status"
