#!/usr/bin/env bash
# The provision of what each command needs, run against stand-ins for apt-get,
# dpkg-query, id and sudo, the commands a row has, and the libraries its
# configuration lacks, each row in an environment of its own: what it installs and when, that it says so before apt-get
# runs and configures again after, that a need met by any provider counts, and
# that where it may not install it stops with one line.
#   packages_test.sh PACKAGES_SCRIPT
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins: the user is $USER_ID; sudo -n works if $SUDO is "works", and
# runs its command as user 0; with $SUDO "none" there is no sudo; dpkg-query knows no package installed, so nothing
# may be judged by a package's name. apt-get writes how it was called to fd 3,
# shared with stderr, and fails at the step named by $APT_FAILS; "remove" is a
# conflict: the install would remove gnuplot-x11, which --no-remove refuses, even
# in a simulation (-s).
mkdir "$work/bin" "$work/sys" "$work/build" "$work/sudo"
for tool in env grep sed paste head cut mktemp rm cat true; do ln -s "$(type -P $tool)" "$work/sys/"; done
cat >"$work/bin/apt-get" <<'STAND_IN'
#!/bin/sh
echo "apt-get $* (user $(id -u), ${DEBIAN_FRONTEND:-interactive})" >&3
case "$APT_FAILS $*" in
"remove "*--no-remove*) echo "E: Packages need to be removed but remove is disabled." >&2; exit 100 ;;
esac
case " $* " in *" -s "*) echo "Remv gnuplot-x11 [5.4.4]"; exit 0 ;; esac
case " $* " in *" $APT_FAILS "*) echo "E: stand-in failure" >&2; exit 100 ;; esac
STAND_IN
printf '#!/bin/sh\necho "no packages found matching $*" >&2; exit 1\n' >"$work/bin/dpkg-query"
# shellcheck disable=SC2016 # expanded by the stand-in, not here
printf '#!/bin/sh\necho "$USER_ID"\n' >"$work/bin/id"
cat >"$work/sudo/sudo" <<'STAND_IN'
#!/bin/sh
[ "$1" = -n ] && [ "$SUDO" = works ] || { echo "sudo: a password is required" >&2; exit 1; }
shift
USER_ID=0 exec "$@"
STAND_IN
chmod +x "$work/bin/"* "$work/sudo/sudo"

# row WHAT "COMMAND [VAR=VALUE...]" HAVE LACKS USER_ID SUDO APT_FAILS STATUS STDERR:
# with the commands HAVE on PATH, a configuration that lacks the libraries LACKS
# and no variable but the row's own, run as COMMAND (configuring again by `echo
# reconfigured`; ci as .ci/run calls it, alone), it exits with STATUS, prints
# nothing on stdout and exactly STDERR on stderr.
row() {
    local command settings path=$work/bin:$work/sys:$work/have build=$work/build
    local call=("$build" -- echo reconfigured)
    read -r command settings <<<"$2"
    rm -rf "$work/have" && mkdir "$work/have"
    for tool in $3; do printf '#!/bin/sh\n' >"$work/have/$tool" && chmod +x "$work/have/$tool"; done
    echo "HFT_LACKS:INTERNAL=$4" >"$build/CMakeCache.txt"
    [ "$1" = "not Debian" ] && path=$work/sys:$work/have
    [ "$1" = "no configuration" ] && call[0]=$work/none
    [ "$command" = ci ] && call=()
    [ "$6" = none ] || path=$path:$work/sudo
    # shellcheck disable=SC2086 # the settings are words
    env -i $settings USER_ID=$5 SUDO=$6 APT_FAILS=$7 PATH="$path" "$BASH" "$script" "$command" \
        "${call[@]}" >"$work/out" 2>"$work/err" 3>&2
    local status=$?
    if [ "$status" -ne "$8" ] || [ -s "$work/out" ] || [ "$(cat "$work/err")" != "$9" ]; then
        echo "FAIL [$1]: exit $status (expected $8), stdout $(wc -c <"$work/out") bytes, stderr:"
        diff <(echo "$9") "$work/err"
        failures=$((failures + 1))
    fi
}

as_root="(user 0, noninteractive)"
install="install --no-install-recommends --no-remove"

row "root, two missing" test valgrind "GoogleBenchmark;GoogleTest" 0 - - 0 \
"make test: lacks GoogleTest (the unit tests), gnuplot (the plot test); installing googletest gnuplot-nox with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install googletest gnuplot-nox $as_root
reconfigured"

row "a gnuplot from another package" plot gnuplot "" 0 - - 0 ""

row "GoogleTest found outside Debian's packages" test "valgrind gnuplot" GoogleBenchmark 0 - - 0 ""

row "not root, sudo asks a password" test valgrind "" 1000 - - 1 \
"make test: lacks gnuplot (the plot test); install them with: sudo apt-get $install gnuplot-nox"

row "not root, no sudo" test valgrind "" 1000 none - 1 \
"make test: lacks gnuplot (the plot test); install them as root with: apt-get $install gnuplot-nox"

row "NO_INSTALL=1 as root" "plot NO_INSTALL=1" "" "" 0 - - 1 \
"make plot: lacks gnuplot (drawing the plot); NO_INSTALL is set, so install them with:\
 apt-get $install gnuplot-nox"

row "not root, sudo without a password" plot "" "" 1000 works - 0 \
"make plot: lacks gnuplot (drawing the plot); installing gnuplot-nox with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install gnuplot-nox $as_root
reconfigured"

row "lint: what it runs and the libraries it lints" lint cppcheck "GoogleTest;GoogleBenchmark" 0 - - 0 \
"make lint: lacks GoogleTest (the unit tests), GoogleBenchmark (the benchmarks), clang-format (the\
 format check), clang-tidy (static analysis), shellcheck (the shell scripts' check); installing\
 googletest libbenchmark-dev clang-format clang-tidy shellcheck with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install googletest libbenchmark-dev clang-format clang-tidy shellcheck $as_root
reconfigured"

row "a conflict" plot "" "" 0 - remove 1 \
"make plot: lacks gnuplot (drawing the plot); installing gnuplot-nox with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install gnuplot-nox $as_root
apt-get -s install --no-install-recommends gnuplot-nox (user 0, interactive)
make plot: installing gnuplot-nox would remove gnuplot-x11 (a conflict); nothing was changed"

# .ci/run's own list: commands and files (staged under PACKAGES_ROOT); no reconfigure.
for file in usr/include/gtest/gtest.h usr/lib/llvm-14/include/c++/v1/vector usr/lib/llvm-14/lib/libc++abi.so \
    usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a; do
    mkdir -p "$work/root/$(dirname $file)" && : >"$work/root/$file"
done
row ".ci/run" "ci PACKAGES_ROOT=$work/root" "g++ cmake make clang++ pkg-config qemu-aarch64 \
aarch64-linux-gnu-g++ s390x-linux-gnu-g++ arm-linux-gnueabihf-g++" "" 0 - - 0 \
".ci/run: lacks ninja (the multi-config build), /usr/src/googletest/CMakeLists.txt (GoogleTest from its\
 sources); installing ninja-build googletest with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install ninja-build googletest $as_root"

sed 's/"command:cppcheck /"comand:cppcheck /' "$script" >"$work/typo.sh"
script=$work/typo.sh row "a need of an unknown kind" lint "" "" 0 - - 2 \
"packages.sh: unknown kind of need comand:cppcheck"

row "apt-get cannot install" test "" GoogleTest 0 - install 1 \
"make test: lacks GoogleTest (the unit tests), valgrind (memcheck), gnuplot (the plot test); installing\
 googletest valgrind gnuplot-nox with apt-get
apt-get -qq update $as_root
apt-get -qq -y $install googletest valgrind gnuplot-nox $as_root
make test: apt-get could not install googletest valgrind gnuplot-nox: E: stand-in failure"

row "apt-get cannot update" bench "" GoogleBenchmark 0 - update 1 \
"make bench: lacks GoogleBenchmark (the benchmarks); installing libbenchmark-dev with apt-get
apt-get -qq update $as_root
make bench: apt-get update failed: E: stand-in failure"

row "not Debian" test "" "" 0 - - 1 \
"make test: lacks valgrind (memcheck), gnuplot (the plot test); on Debian, packages valgrind gnuplot-nox\
 provide them"

row "no configuration" test "valgrind gnuplot" "" 0 - - 2 \
"packages.sh: no configuration in '$work/none' to say what it found"

row "unknown command" tests "" "" 0 - - 2 "packages.sh: unknown command tests"

[ "$failures" -eq 0 ] && echo "packages: passed"
[ "$failures" -eq 0 ]
