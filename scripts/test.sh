#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# then the engine's tests again under the address and undefined-behaviour
# sanitizers.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j2
bash "$root/scripts/build.sh" "$root/build-sanitize" -DMONDRAKE_SANITIZE=ON -DMONDRAKE_FRONTEND=OFF
ctest --test-dir "$root/build-sanitize" --output-on-failure -j2
# Fuzz smoke: each fuzz target for 20 seconds (clang with libFuzzer, its own
# build folder); any crash, hang or sanitizer report fails the run.
bash "$root/fuzz/run.sh" 20
