#!/usr/bin/env bash
# What each command needs beyond what `make run` needs (a C++ compiler, cmake
# and make), how it is looked for, and the Debian package that provides it; and
# its provision:
#   packages.sh COMMAND [BUILD [-- RECONFIGURE...]]
# COMMAND is test, plot, bench, lint or fuzz (the make targets) or ci (.ci/run); BUILD
# is the build folder whose configuration looked for the libraries. A need is
# met by whatever the build finds, from any package or none: a command on PATH,
# a library the configuration in BUILD found, a file that is there (under
# PACKAGES_ROOT, if set, where a test stages the files). Says nothing
# and exits 0 when nothing is missing. Otherwise, as root or where `sudo -n`
# works, it says in one line what it installs and why, installs the packages
# with apt-get, non-interactively, without recommended packages and never
# removing one (a conflict stops it, with nothing changed), then runs
# RECONFIGURE, so that the build finds what came. Where it may not install (not
# root and no sudo, or NO_INSTALL set) it stops with one line giving the
# command that would, as its reader can paste it; without apt-get, with one line
# naming what is missing. Every such stop exits 1; a fault of its own call or
# its lists exits 2.
set -uo pipefail
command=${1:?usage: packages.sh test|plot|bench|lint|fuzz|ci [BUILD [-- RECONFIGURE...]]}
build=${2:-}
shift $(($# < 2 ? $# : 2))
[ "${1:-}" = -- ] && shift
who="make $command"
[ "$command" = ci ] && who=.ci/run

# libFuzzer, as clang++ 14 links it on x86-64.
fuzzer_runtime=/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a

# needs COMMAND: what COMMAND needs, a line each: how it is looked for (a
# command, a library the configuration found, a file), the package that
# provides it, and what for.
needs() {
    case $1 in
    test)
        echo "library:GoogleTest googletest the unit tests"
        echo "command:valgrind valgrind memcheck"
        echo "command:gnuplot gnuplot-nox the plot test"
        ;;
    plot) echo "command:gnuplot gnuplot-nox drawing the plot" ;;
    bench) echo "library:GoogleBenchmark libbenchmark-dev the benchmarks" ;;
    lint)  # and the libraries of the tests and benchmarks it lints
        echo "library:GoogleTest googletest the unit tests"
        needs bench
        echo "command:clang-format clang-format the format check"
        echo "command:cppcheck cppcheck static analysis"
        echo "command:clang-tidy clang-tidy static analysis"
        echo "command:shellcheck shellcheck the shell scripts' check"
        ;;
    fuzz)
        echo "command:clang++ clang the fuzzer's compiler"
        echo "file:$fuzzer_runtime libclang-rt-14-dev libFuzzer"
        ;;
    ci)  # beyond what each make command provides for itself
        echo "command:g++ g++ the g++ presets"
        echo "command:cmake cmake the build"
        echo "command:make make the front door"
        echo "command:clang++ clang the clang presets"
        echo "file:$fuzzer_runtime libclang-rt-14-dev the fuzzer"
        echo "command:ninja ninja-build the multi-config build"
        echo "file:/usr/include/gtest/gtest.h libgtest-dev the installed GoogleTest"
        echo "file:/usr/src/googletest/CMakeLists.txt googletest GoogleTest from its sources"
        echo "command:pkg-config pkgconf the pkg-config consumer"
        echo "file:/usr/lib/llvm-14/include/c++/v1/vector libc++-dev the libc++ preset"
        echo "file:/usr/lib/llvm-14/lib/libc++abi.so libc++abi-dev the libc++ preset"
        echo "command:qemu-aarch64 qemu-user the cross presets' tests"
        echo "command:aarch64-linux-gnu-g++ g++-aarch64-linux-gnu the aarch64 preset"
        echo "command:s390x-linux-gnu-g++ g++-s390x-linux-gnu the s390x preset"
        echo "command:arm-linux-gnueabihf-g++ g++-arm-linux-gnueabihf the armhf preset"
        ;;
    *)
        echo "packages.sh: unknown command $1" >&2
        exit 2
        ;;
    esac
}

# found NEED: NEED is there, by whatever package or none. A library is there
# unless the configuration in BUILD looked for it and did not find it.
found() {
    case $1 in
    command:*) command -v "${1#*:}" >/dev/null ;;
    file:*) [ -e "${PACKAGES_ROOT:-}${1#*:}" ] ;;
    library:*)
        [ -f "$build/CMakeCache.txt" ] ||
            { echo "packages.sh: no configuration in '$build' to say what it found" >&2; exit 2; }
        ! grep -Eq "^HFT_LACKS:INTERNAL=(.*;)?${1#*:}(;|\$)" "$build/CMakeCache.txt"
        ;;
    *)
        echo "packages.sh: unknown kind of need $1" >&2
        exit 2
        ;;
    esac
}

needed=$(needs "$command") || exit
missing=() described=()
while read -r need package purpose; do
    found "$need" && continue
    missing+=("$package")
    described+=("${need#*:} ($purpose)")
done <<<"$needed"
[ ${#missing[@]} -eq 0 ] && exit 0
list=$(printf '%s, ' "${described[@]}")
list=${list%, }
install=(install --no-install-recommends --no-remove "${missing[@]}")

if ! command -v apt-get >/dev/null; then
    echo "$who: lacks $list; on Debian, packages ${missing[*]} provide them" >&2
    exit 1
fi
# The install command as its reader can paste it: as root, apt-get itself; else
# through sudo, or, where there is no sudo, apt-get run as root.
if [ "$(id -u)" -eq 0 ]; then
    paste="install them with: apt-get ${install[*]}"
elif command -v sudo >/dev/null; then
    paste="install them with: sudo apt-get ${install[*]}"
else
    paste="install them as root with: apt-get ${install[*]}"
fi
if [ -n "${NO_INSTALL:-}" ]; then
    echo "$who: lacks $list; NO_INSTALL is set, so $paste" >&2
    exit 1
elif [ "$(id -u)" -eq 0 ]; then
    as=()
elif sudo -n true 2>/dev/null; then
    as=(sudo -n)
else
    echo "$who: lacks $list; $paste" >&2
    exit 1
fi
echo "$who: lacks $list; installing ${missing[*]} with apt-get" >&2
apt=("${as[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# apt-get's first error line: the cause, for the one line of a failure.
cause() { head -n 1 "$log" | cut -c 1-200; }
"${apt[@]}" update >/dev/null 2>"$log" ||
    { echo "$who: apt-get update failed: $(cause)" >&2; exit 1; }
if ! "${apt[@]}" -y "${install[@]}" >/dev/null 2>"$log"; then
    if grep -q 'remove is disabled' "$log"; then
        # Only a simulation, allowed to remove, to name what would have gone.
        removed=$(apt-get -s install --no-install-recommends "${missing[@]}" 2>/dev/null |
                  sed -n 's/^Remv \([^ ]*\).*/\1/p' | paste -sd ' ')
        echo "$who: installing ${missing[*]} would remove ${removed:-other packages}" \
            "(a conflict); nothing was changed" >&2
    else
        echo "$who: apt-get could not install ${missing[*]}: $(cause)" >&2
    fi
    exit 1
fi
[ $# -eq 0 ] || "$@" >&2
