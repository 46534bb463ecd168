#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor on the bundled sample base with
# kandrel-sim serving the same base on 127.0.0.1:6000, so the network commands work at once.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"

bin=build/bin
sample=samples/sample.kdl
if [ ! -x "$bin/kandrel" ]; then
  echo "The editor is not built yet. Try the command-line tool:"
  "$bin/kandrel-cli" --help
  [ -f "$sample" ] && echo "  e.g. $bin/kandrel-cli dump $sample"
  exit 0
fi

sim_pid=""
if [ -x "$bin/kandrel-sim" ]; then
  # The analog inputs of the boiler-house controller move, as a plant's measurements would.
  "$bin/kandrel-sim" --port 6000 --base "$sample" --tick 1000 \
    --move "/Hardware/Контроллер КП-1 (котельная)/Модуль AI-8 (аналоговый ввод)" &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true' EXIT
fi
"$bin/kandrel" "$sample"
