# Front door over CMake. Build chatter goes to stderr, so that
# `make run > report.txt` captures exactly the report. Works from any folder with
# `make -f path/to/Makefile`: sources and the default build folder are this
# Makefile's own.
# Make's word functions would split a path with spaces, so this Makefile's path
# is the last word of the list read so far only when that names a file, and
# otherwise the whole list (this Makefile alone, its path spaced).
THIS := $(if $(wildcard $(lastword $(MAKEFILE_LIST))),$(lastword $(MAKEFILE_LIST)),$(strip $(MAKEFILE_LIST)))
ROOT := $(shell dirname -- '$(subst ','\'',$(THIS))')
BUILD ?= $(ROOT)/build
CMAKE_ARGS ?=
MAKEFLAGS += --no-print-directory

# Under `make -jN` the CMake build shares make's job slots; otherwise it uses
# every core.
PARALLEL = $(if $(findstring jobserver,$(MAKEFLAGS)),,-j $(shell nproc))

# configure_and_build [TARGET]: configure, then build TARGET, or everything.
define configure_and_build
@cmake -S "$(ROOT)" -B "$(BUILD)" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING $(CMAKE_ARGS) >&2
+@cmake --build "$(BUILD)" $(PARALLEL) $(if $(1),--target $(1)) >&2
endef

# provide COMMAND: install the Debian packages COMMAND needs and lacks, where it
# may (scripts/packages.sh holds the list); else stop with the command that would.
# Before the configure step, which looks for them.
provide = @"$(ROOT)/scripts/packages.sh" $(1)

# need COMMAND PACKAGE: stop with one line if a tool the command needs is missing.
need = @command -v $(1) >/dev/null || { echo "$@: $(1) is missing; install the Debian package $(2)" >&2; exit 1; }
# built PART: stop with one line naming the cause if the configuration just made
# did not build PART (UNIT_TESTS or BENCHMARKS). It asks that configuration,
# never files an earlier one left in the build folder.
built = @why=$$(sed -n 's/^HFT_$(1):INTERNAL=//p' "$(BUILD)/CMakeCache.txt"); \
	[ "$$why" = built ] || { echo "$@: $${why:-$(BUILD) does not say whether it built them}" >&2; exit 1; }

.PHONY: all build tool run test bench lint plot clean

all: build

# Everything: the tool, and the tests and benchmarks where their libraries are found.
build:
	$(call configure_and_build)

# The tool alone: needs nothing but a compiler, cmake and make.
tool:
	$(call configure_and_build,hashFunctionTester)

run: tool
	@"$(BUILD)/hashFunctionTester"

test:
	$(call provide,test)
	$(call configure_and_build)
	$(call built,UNIT_TESTS)
	$(call need,valgrind,valgrind)
	$(call need,gnuplot,gnuplot-nox)
	@cd "$(BUILD)" && ctest --output-on-failure --no-tests=error $(PARALLEL)

bench:
	$(call provide,bench)
	$(call configure_and_build)
	$(call built,BENCHMARKS)
	@"$(ROOT)/scripts/bench.sh" "$(BUILD)/hash_bench"

# Lints every source that was built; tests and benchmarks need their libraries.
lint:
	$(call provide,lint)
	$(call configure_and_build)
	$(call need,cppcheck,cppcheck)
	$(call need,clang-tidy,clang-tidy)
	$(call need,clang-format,clang-format)
	$(call built,UNIT_TESTS)
	$(call built,BENCHMARKS)
	@"$(ROOT)/scripts/lint.sh" "$(BUILD)"

plot:
	$(call provide,plot)
	$(call configure_and_build,hashFunctionTester)
	$(call need,gnuplot,gnuplot-nox)
	@"$(BUILD)/hashFunctionTester" > "$(BUILD)/report.txt"
	@"$(ROOT)/scripts/plot-distribution.sh" "$(BUILD)/distribution.png" < "$(BUILD)/report.txt"

clean:
	rm -rf "$(BUILD)"
