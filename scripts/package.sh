#!/usr/bin/env bash
# Builds the Debian package from the release build, installs it on this machine, tries the
# installed programs as a user would, and removes the package again, checking that it leaves
# nothing behind. Needs root (or sudo) for apt-get.
#   scripts/package.sh          build, install, check, purge
#   scripts/package.sh --build  only build build/kandrel_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."

only_build=0
case "${1:-}" in
  --build) only_build=1 ;;
  "") ;;
  *) echo "usage: scripts/package.sh [--build]" >&2; exit 2 ;;
esac

scripts/setup.sh
# The release build that scripts/test.sh made; only what changed since is built again.
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
rm -f build/kandrel_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/kandrel_*.deb)
echo "package: built $deb"
[ "$only_build" -eq 1 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >/tmp/kandrel-package-check.log 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "package: FAIL: $what"
    sed 's/^/  /' /tmp/kandrel-package-check.log
  fi
}

work=$(mktemp -d)
cleanup() {
  rm -rf "$work" /tmp/kandrel-package-check.log
}
trap cleanup EXIT

# The files the package brings, to check the installation against and to look for afterwards.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e '/\/$/d' | sort >"$work/files"

only_programs_in_bin() {
  local extra
  extra=$(grep '^/usr/bin/' "$work/files" | grep -vxE '/usr/bin/kandrel(-cli|-sim)?' || true)
  [ -z "$extra" ] || { echo "not a program: $extra"; return 1; }
  [ "$(grep -c '^/usr/bin/' "$work/files")" -eq 3 ]
}
check "the package holds the three programs and nothing else in /usr/bin" only_programs_in_bin
check "no tests, benchmarks or the sample generator in the package" \
  bash -c "! grep -E '_test|_bench|make_sample|/include/|\.a\$' '$work/files'"

if dpkg-query -W -f='${Status}' kandrel 2>/dev/null | grep -q "install ok installed"; then
  echo "package: removing the kandrel package installed before"
  $SUDO apt-get purge -y -qq kandrel >/dev/null
fi
$SUDO apt-get install -y -qq "./$deb" >/dev/null
echo "package: installed"

check "every file of the package is in place" bash -c "xargs -a '$work/files' ls -d >/dev/null"
check "kandrel-cli new" /usr/bin/kandrel-cli new "$work/plant.kdl"
check "kandrel-cli dump shows the new document's groups" \
  bash -c "/usr/bin/kandrel-cli dump '$work/plant.kdl' | grep -q '\"name\": *\"Network\"'"
check "kandrel --version without a display" \
  env -u DISPLAY QT_QPA_PLATFORM=xcb /usr/bin/kandrel --version
check "link template in /usr/share/kandrel" test -f /usr/share/kandrel/panel_links.xml
check "the installed editor speaks English with KANDREL_LANG=en" bash -c \
  "env -u DISPLAY KANDREL_LANG=en /usr/bin/kandrel --help | grep -q 'configuration base editor'"
for page in kandrel kandrel-cli kandrel-sim; do
  check "man -w $page" man -w "$page"
done
completions=$(pkg-config --variable=completionsdir bash-completion 2>/dev/null ||
  echo /usr/share/bash-completion/completions)
check "completion file" test -f "$completions/kandrel-cli"
check "bash-completion loads the kandrel-cli completion on demand" bash -c \
  "source /usr/share/bash-completion/bash_completion; _completion_loader kandrel-cli
   complete -p kandrel-cli | grep -q _kandrel_cli"
check "desktop entry and metainfo are valid" bash -c \
  "appstreamcli validate --no-net /usr/share/metainfo/org.kandrel.kandrel.metainfo.xml &&
   { ! command -v desktop-file-validate >/dev/null ||
     desktop-file-validate /usr/share/applications/kandrel.desktop; }"
if [ -f /usr/share/mime/globs2 ]; then
  check ".kdl is a known file type" grep -q 'application/x-kandrel-document:\*\.kdl' \
    /usr/share/mime/globs2
fi
if command -v update-desktop-database >/dev/null; then
  check ".kdl files open in Kandrel" grep -q 'application/x-kandrel-document=.*kandrel\.desktop' \
    /usr/share/applications/mimeinfo.cache
fi

# The Python module comes from the installed package alone: no PYTHONPATH, outside the tree.
check "Debian's python3 imports kandrel from the package and reads the new document" \
  bash -c "cd / && env -u PYTHONPATH /usr/bin/python3 -c '
import kandrel, os
assert kandrel.__file__.startswith(\"/usr/lib/python3/dist-packages/\"), kandrel.__file__
doc = kandrel.open(\"$work/plant.kdl\")
assert [g.name for g in doc.groups] == [\"Hardware\", \"Logic\", \"Network\"]
assert os.path.exists(os.path.join(os.path.dirname(kandrel.__file__), \"kandrel.pyi\"))
'"

# The installed editor starts on a document and shows its window; it must still be running
# 3 s later.
cat >"$work/editor_starts.sh" <<'SCRIPT'
/usr/bin/kandrel "$1" &
pid=$!
for i in $(seq 1 50); do
  xdotool search --name 'plant\.kdl' >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --name 'plant\.kdl' || { echo "no window titled plant.kdl"; kill $pid; exit 1; }
sleep 3
kill -0 $pid || { echo "the editor ended"; exit 1; }
kill $pid
wait $pid 2>/dev/null
exit 0
SCRIPT
check "kandrel starts under Xvfb with a .kdl file" \
  xvfb-run -a -s '-screen 0 1280x800x24' bash "$work/editor_starts.sh" "$work/plant.kdl"

$SUDO apt-get purge -y -qq kandrel >/dev/null
echo "package: removed"
check "the package is gone" bash -c "! dpkg-query -W kandrel 2>/dev/null | grep -q ."
left_behind() {
  local f left=""
  while read -r f; do [ -e "$f" ] && left+="$f "; done <"$work/files"
  [ -d /usr/share/kandrel ] && left+="/usr/share/kandrel "
  # The caches that dpkg's triggers rebuild forget the file type and the desktop entry again.
  grep -qs kandrel /usr/share/mime/globs2 && left+="(the .kdl type in the MIME cache) "
  grep -qs kandrel /usr/share/applications/mimeinfo.cache && left+="(the desktop entry in its cache) "
  [ -z "$left" ] || { echo "left behind: $left"; return 1; }
}
check "nothing of the package is left" left_behind

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
