#!/usr/bin/env bash
# The provision of Debian packages, run against stand-ins for dpkg-query,
# apt-get, id and sudo on PATH: what it installs for the packages missing, that
# it says so before apt-get runs, and that where it may not install it stops
# with the one line that gives the command.   packages_test.sh PACKAGES_SCRIPT
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The stand-ins: the packages in $INSTALLED are installed; the user is $USER_ID;
# sudo -n works if $SUDO is "works", and runs its command as user 0; apt-get
# says how it was called on stderr, as whom and how interactive, and fails at
# the step named by $APT_FAILS.
mkdir "$work/bin" "$work/bare"
cat >"$work/bin/dpkg-query" <<'EOF'
#!/bin/sh
# dpkg-query -W -f=FORMAT PACKAGE
case " $INSTALLED " in
*" $3 "*) printf 'install ok installed' ;;
*) echo "dpkg-query: no packages found matching $3" >&2; exit 1 ;;
esac
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $* (user $(id -u), ${DEBIAN_FRONTEND:-interactive})" >&2
case " $* " in *" $APT_FAILS "*) exit 100 ;; esac
EOF
printf '#!/bin/sh\necho "$USER_ID"\n' >"$work/bin/id"
cat >"$work/bin/sudo" <<'EOF'
#!/bin/sh
[ "$1" = -n ] && [ "$SUDO" = works ] || { echo "sudo: a password is required" >&2; exit 1; }
shift
USER_ID=0 exec "$@"
EOF
chmod +x "$work/bin/"*

# row WHAT COMMAND INSTALLED USER_ID SUDO APT_FAILS STATUS STDERR: run as COMMAND
# with those stand-ins, it exits with STATUS, prints nothing on stdout and
# exactly STDERR on stderr.
row() {
    local path=$work/bin:$PATH
    [ "$1" = "not Debian" ] && path=$work/bare
    INSTALLED=$3 USER_ID=$4 SUDO=$5 APT_FAILS=$6 PATH=$path "$BASH" "$script" "$2" \
        >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne "$7" ] || [ -s "$work/out" ] || [ "$(cat "$work/err")" != "$8" ]; then
        echo "FAIL [$1]: exit $status (expected $7), stdout $(wc -c <"$work/out") bytes, stderr:"
        diff <(echo "$8") "$work/err"
        failures=$((failures + 1))
    fi
}

gtest="googletest (GoogleTest's sources, built here where libgtest-dev is missing)"
as_root="(user 0, noninteractive)"

row "root, two missing" test "valgrind" 0 - - 0 \
"make test: installing $gtest, gnuplot-nox (the plot test) with apt-get
apt-get -qq update $as_root
apt-get -qq install -y --no-install-recommends googletest gnuplot-nox $as_root"

row "nothing missing" test "googletest valgrind gnuplot-nox" 0 - - 0 ""

row "not root, no sudo" test "googletest valgrind" 1000 - - 1 \
"make test: lacks the Debian packages gnuplot-nox (the plot test); install them with:\
 sudo apt-get install --no-install-recommends gnuplot-nox"

row "not root, sudo without a password" plot "" 1000 works - 0 \
"make plot: installing gnuplot-nox (drawing the plot) with apt-get
apt-get -qq update $as_root
apt-get -qq install -y --no-install-recommends gnuplot-nox $as_root"

row "lint takes test's and bench's" lint "googletest valgrind gnuplot-nox cppcheck" 0 - - 0 \
"make lint: installing libbenchmark-dev (Google Benchmark), clang-format (the format check),\
 clang-tidy (static analysis) with apt-get
apt-get -qq update $as_root
apt-get -qq install -y --no-install-recommends libbenchmark-dev clang-format clang-tidy $as_root"

row "apt-get cannot install" test "" 0 - install 1 \
"make test: installing $gtest, valgrind (memcheck), gnuplot-nox (the plot test) with apt-get
apt-get -qq update $as_root
apt-get -qq install -y --no-install-recommends googletest valgrind gnuplot-nox $as_root
make test: apt-get could not install googletest valgrind gnuplot-nox"

row "apt-get cannot update" bench "" 0 - update 1 \
"make bench: installing libbenchmark-dev (Google Benchmark) with apt-get
apt-get -qq update $as_root
make bench: apt-get update failed"

row "not Debian" test "" 0 - - 0 \
"make test: no dpkg-query, so not a Debian system: no packages are checked or installed"

row "unknown command" tests "" 0 - - 2 "packages.sh: unknown command tests"

[ "$failures" -eq 0 ] && echo "packages: passed"
[ "$failures" -eq 0 ]
