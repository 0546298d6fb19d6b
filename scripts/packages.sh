#!/usr/bin/env bash
# The Debian packages that each command needs beyond what `make run` needs (a C++
# compiler, cmake and make; CI installs those too), and their provision:
#   packages.sh COMMAND
# COMMAND is test, plot, bench or lint (the make targets) or ci (.ci/run). Says
# nothing and exits 0 when nothing is missing. Otherwise, as root or where
# `sudo -n` works without a password, it first says in one line what it
# installs and what for, then installs it with apt-get, non-interactively and
# without recommended packages; failing that, it stops with one line giving the
# command that would, and exits 1. On a system without dpkg-query (not Debian)
# it says so and leaves the checks to the build.
set -uo pipefail
command=${1:?usage: packages.sh test|plot|bench|lint|ci}
who="make $command"
[ "$command" = ci ] && who=.ci/run

# needs COMMAND: the packages COMMAND needs, a line each: the package, then what for.
needs() {
    case $1 in
    test)
        # libgtest-dev, where installed, brings this too: it depends on it.
        echo "googletest GoogleTest's sources, built here where libgtest-dev is missing"
        echo "valgrind memcheck"
        echo "gnuplot-nox the plot test"
        ;;
    plot) echo "gnuplot-nox drawing the plot" ;;
    bench) echo "libbenchmark-dev Google Benchmark" ;;
    lint)
        needs test
        needs bench
        echo "clang-format the format check"
        echo "cppcheck static analysis"
        echo "clang-tidy static analysis"
        ;;
    ci)
        needs lint
        echo "g++ the g++ presets"
        echo "cmake the build"
        echo "make the front door"
        echo "clang the clang presets"
        echo "libgtest-dev the installed GoogleTest"
        echo "pkgconf the pkg-config consumer"
        echo "libc++-dev the libc++ preset"
        echo "libc++abi-dev the libc++ preset"
        echo "qemu-user the cross presets' tests"
        echo "g++-aarch64-linux-gnu the aarch64 preset"
        echo "g++-s390x-linux-gnu the s390x preset"
        echo "g++-arm-linux-gnueabihf the armhf preset"
        ;;
    *)
        echo "packages.sh: unknown command $1" >&2
        exit 2
        ;;
    esac
}

if ! command -v dpkg-query >/dev/null; then
    echo "$who: no dpkg-query, so not a Debian system: no packages are checked or installed" >&2
    exit 0
fi

needed=$(needs "$command") || exit
missing=() described=()
while read -r package purpose; do
    [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" = "install ok installed" ] &&
        continue
    missing+=("$package")
    described+=("$package ($purpose)")
done <<<"$needed"
[ ${#missing[@]} -eq 0 ] && exit 0
list=$(printf '%s, ' "${described[@]}")
list=${list%, }

if [ "$(id -u)" -eq 0 ]; then
    as=()
elif sudo -n true 2>/dev/null; then
    as=(sudo -n)
else
    echo "$who: lacks the Debian packages $list; install them with:" \
        "sudo apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
fi
echo "$who: installing $list with apt-get" >&2
apt=("${as[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq)
"${apt[@]}" update >/dev/null || { echo "$who: apt-get update failed" >&2; exit 1; }
"${apt[@]}" install -y --no-install-recommends "${missing[@]}" >/dev/null ||
    { echo "$who: apt-get could not install ${missing[*]}" >&2; exit 1; }
