#!/usr/bin/env bash
# The manual pages and the bash completion name every subcommand and option that the programs
# themselves list in --help, the troff renders without warnings, and the metainfo is valid.
#   docs_cover_commands.sh KANDREL_CLI KANDREL_SIM SOURCE_DIR
set -uo pipefail
cli=$1 sim=$2 src=$3
man_cli=$src/doc/man/kandrel-cli.1
man_sim=$src/doc/man/kandrel-sim.1
completion=$src/packaging/kandrel-cli.bash
failed=0 passed=0

fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}
ok() { passed=$((passed + 1)); }

# troff writes "-" as "\-"; look for the option as it is written there.
in_man() { grep -qF -- "${2//-/\\-}" "$1"; }

# kandrel-cli: "  kandrel-cli VERB USAGE" per line of --help.
help=$("$cli" --help) || fail "kandrel-cli --help failed"
commands_line=$(grep -m1 '^  local commands=' "$completion")
while read -r _ verb usage; do
  [ -n "$verb" ] || continue
  [[ $commands_line == *" $verb"* || $commands_line == *"\"$verb"* ]] ||
    fail "kandrel-cli $verb is not among the subcommands in packaging/kandrel-cli.bash"
  grep -q "^\.B kandrel-cli $verb\$" "$man_cli" ||
    fail "kandrel-cli $verb has no synopsis line (.B kandrel-cli $verb) in doc/man/kandrel-cli.1"
  grep -q "^\.BI\? $verb\b" "$man_cli" ||
    fail "kandrel-cli $verb is not described under COMMANDS in doc/man/kandrel-cli.1"
  for option in $(grep -oE -- '(^|[^[:alnum:]])--?[a-z][a-z-]*' <<<"$usage" | grep -oE -- '--?[a-z][a-z-]*'); do
    in_man "$man_cli" "$option" || fail "kandrel-cli $verb $option is not in doc/man/kandrel-cli.1"
    grep -qF -- "$option" "$completion" ||
      fail "kandrel-cli $verb $option is not completed by packaging/kandrel-cli.bash"
  done
  ok
done < <(grep '^  kandrel-cli ' <<<"$help")
[ "$passed" -gt 0 ] || fail "kandrel-cli --help lists no subcommand"

# kandrel-sim: every --option of its usage.
for option in $("$sim" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
  if in_man "$man_sim" "$option"; then ok; else fail "kandrel-sim $option is not in doc/man/kandrel-sim.1"; fi
done

for page in "$src"/doc/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -z "$warnings" ]; then ok; else fail "$page: $warnings"; fi
done

if bash -n "$completion"; then ok; else fail "$completion: not valid bash"; fi

if command -v appstreamcli >/dev/null; then
  if out=$(appstreamcli validate --no-net "$src"/packaging/*.metainfo.xml 2>&1); then ok; else fail "$out"; fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
