#!/usr/bin/env bash
# The set-up script and the configure-time dependency check, against a fake package database:
# dpkg-query, apt-get and sudo are stand-ins first on PATH, so nothing is ever installed.
#
#   setup_check.sh SOURCE_DIR [CMAKE]
set -uo pipefail
src=$1
cmake=${2:-cmake}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0
check() { # check NAME CONDITION...
    local name=$1
    shift
    if "$@"; then echo "ok   $name"; else echo "FAIL $name" && fails=$((fails + 1)); fi
}

# dpkg-query -W: "ii" for the packages in FAKE_INSTALLED, "un" for those in FAKE_REMOVED; of any
# other it has never heard, and then fails as the real one does after listing the rest.
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
status=0
for p in "$@"; do
    case "$p" in -*) continue ;; esac
    if [[ " $FAKE_INSTALLED " == *" $p "* ]]; then echo "ii  $p"
    elif [[ " $FAKE_REMOVED " == *" $p "* ]]; then echo "un  $p"
    else echo "dpkg-query: no packages found matching $p" >&2; status=1; fi
done
exit $status
FAKE
printf '#!/bin/sh\necho "apt-get $*" >>"$FAKE_LOG"\n' >"$work/bin/apt-get"
printf '#!/bin/sh\necho sudo >>"$FAKE_LOG"\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work/bin"/*
export FAKE_LOG=$work/log FAKE_INSTALLED="" FAKE_REMOVED=""
PATH="$work/bin:$PATH"
run() { "$src/setup" "$@" >"$work/out" 2>&1; }

# Every package the script knows, as --check lists them on a machine without any.
run --ci --extras --check
all=$(sed -n 's/^setup: missing: //p' "$work/out")
base_out=$(run --check; cat "$work/out")
check "a machine without any: --check lists every one" \
    bash -c '[[ "$0" == "setup: missing: cmake "* ]]' "$base_out"
check "--ci and --extras add packages" test "$(wc -w <<<"$all")" -gt "$(wc -w <<<"$base_out")"

export FAKE_INSTALLED=$all
run
check "everything there: nothing said, nothing done" bash -c '[ $? = 0 ] && [ ! -s "$0" ] && [ ! -e "$1" ]' "$work/out" "$FAKE_LOG"
run --ci --extras --check
check "--check with everything there passes" grep -q "^setup: all .* packages are installed$" "$work/out"

# One removed, one never heard of (dpkg-query fails): both missing, the rest not.
export FAKE_REMOVED="libcli11-dev" FAKE_INSTALLED=${all/libcli11-dev /}
FAKE_INSTALLED=${FAKE_INSTALLED/tmux /}
run --check
check "--check names exactly the missing ones" grep -qx "setup: missing: libcli11-dev tmux" "$work/out"
run --check && s=0 || s=$?
check "--check fails when some are missing" test "$s" = 1
check "--check installs nothing" test ! -e "$FAKE_LOG"
run
check "installing: says what, then updates and installs just those" bash -c \
    'grep -qx "setup: installing libcli11-dev tmux" "$0" &&
     grep -q "^apt-get update" "$1" && grep -q "^apt-get install .* libcli11-dev tmux$" "$1"' \
    "$work/out" "$FAKE_LOG"
# As root without sudo, else through it (id is a stand-in for each).
printf '#!/bin/sh\necho 0\n' >"$work/bin/id" && chmod +x "$work/bin/id" && rm "$FAKE_LOG" && run
check "as root: no sudo" bash -c '! grep -qx sudo "$0" && grep -q "^apt-get install" "$0"' "$FAKE_LOG"
printf '#!/bin/sh\necho 1000\n' >"$work/bin/id" && rm "$FAKE_LOG" && run
check "not root: through sudo" bash -c 'grep -qx sudo "$0" && grep -q "^apt-get install" "$0"' "$FAKE_LOG"
rm "$work/bin/id"

# No apt-get: one line naming the packages, and a failure.
rm "$work/bin/apt-get"
mkdir "$work/noapt"
for tool in bash env id sed awk dpkg-query; do
    ln -s "$(PATH="$work/bin:$PATH" command -v $tool)" "$work/noapt/$tool"
done
PATH="$work/noapt" "$src/setup" >"$work/out" 2>&1 && s=0 || s=$?
check "without apt-get: one line naming the packages, and a failure" bash -c \
    '[ "$1" = 1 ] && [ "$(wc -l <"$0")" = 1 ] && grep -q "install these Debian packages.*: libcli11-dev tmux$" "$0"' \
    "$work/out" "$s"
run --bogus && s=0 || s=$?
check "an unknown option fails" test "$s" = 2

# The configure-time check: every missing dependency named with its package, in one stop.
mkdir -p "$work/proj"
cat >"$work/proj/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(deps NONE)
include($src/cmake/dependencies.cmake)
dependency("a shell" DEBIAN make PROGRAM SHELL_PATH sh)
dependency(NoSuchLibrary DEBIAN libcli11-dev FIND_PACKAGE NoSuchLibrary CONFIG)
dependency(no-such-tool DEBIAN llvm PROGRAM NO_SUCH_TOOL no-such-tool-here)
dependency("a test tool" DEBIAN tmux FOR_TESTS PROGRAM NO_TEST_TOOL no-such-test-tool)
dependencies_report()
message(STATUS "shell at \${SHELL_PATH}")
CMAKE
"$cmake" -S "$work/proj" -B "$work/proj/b1" >"$work/out" 2>&1 && s=0 || s=$?
check "configure stops on missing dependencies" test "$s" != 0
check "it names each with its Debian package" bash -c 'tr -s " \n" " " <"$0" | grep -q \
    "NoSuchLibrary: the Debian package libcli11-dev no-such-tool: the Debian package llvm a test tool: the Debian package tmux (apt-get install libcli11-dev llvm tmux)"' "$work/out"
check "it points at ./setup" grep -q "./setup installs every missing package" "$work/out"
"$cmake" -S "$work/proj" -B "$work/proj/b2" -DBUILD_TESTING=OFF >"$work/out" 2>&1
check "a test-only one is not looked for without the tests" bash -c '! grep -q "a test tool" "$0"' "$work/out"
sed -i 's/^dependency(No.*//; s/^dependency(no-such.*//; s/^dependency("a test.*//' "$work/proj/CMakeLists.txt"
"$cmake" -S "$work/proj" -B "$work/proj/b3" >"$work/out" 2>&1 && s=0 || s=$?
check "found ones configure, with their results set" bash -c '[ "$1" = 0 ] && grep -q "shell at /" "$0"' "$work/out" "$s"
sed -i 's/^dependency("a shell" DEBIAN make/dependency("a shell" DEBIAN not-in-the-list/' "$work/proj/CMakeLists.txt"
"$cmake" -S "$work/proj" -B "$work/proj/b4" >"$work/out" 2>&1
check "a package missing from ./setup's list is an error" grep -q "not-in-the-list is not in ./setup's list" "$work/out"
sed -i 's/^dependency("a shell" DEBIAN not-in-the-list/dependency(a shell DEBIAN make/' "$work/proj/CMakeLists.txt"
"$cmake" -S "$work/proj" -B "$work/proj/b5" >"$work/out" 2>&1
check "a name of several words without quotes is an error" grep -q "unexpected shell" "$work/out"
sed -i 's/^dependency(a shell DEBIAN make.*/dependency(zlib DEBIAN libsqlite3-dev PKG_CONFIG Z zlib)/' \
    "$work/proj/CMakeLists.txt"
"$cmake" -S "$work/proj" -B "$work/proj/b6" -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON >"$work/out" 2>&1
check "a library looked for with pkg-config, without pkg-config: both named" \
    grep -q "zlib: the Debian packages pkg-config libsqlite3-dev" "$work/out"

[ "$fails" = 0 ]
