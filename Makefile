# Front door over CMake. Build chatter goes to stderr, so that
# `make run > report.txt` captures exactly the report.
BUILD ?= build
CMAKE_ARGS ?=
MAKEFLAGS += --no-print-directory

# Under `make -jN` the CMake build shares make's job slots; otherwise it uses
# every core.
PARALLEL = $(if $(findstring jobserver,$(MAKEFLAGS)),,-j $(shell nproc))

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release --log-level=WARNING $(CMAKE_ARGS) >&2
BUILD_TARGETS = +@cmake --build $(BUILD) $(PARALLEL) $(if $(1),--target $(1)) >&2

# need COMMAND PACKAGE: stop with one line if a tool the command needs is missing.
need = @command -v $(1) >/dev/null || { echo "$@: $(1) is missing; install the Debian package $(2)" >&2; exit 1; }

.PHONY: all build tool run test bench lint plot clean

all: build

# Everything: the tool, and the tests and benchmarks where their libraries are found.
build:
	@$(CONFIGURE)
	$(call BUILD_TARGETS)

# The tool alone: needs nothing but a compiler, cmake and make.
tool:
	@$(CONFIGURE)
	$(call BUILD_TARGETS,hashFunctionTester)

run: tool
	@"$(BUILD)/hashFunctionTester"

test: build
	@test -x "$(BUILD)/tests/unit_tests" || { echo "test: GoogleTest is missing; install the Debian package libgtest-dev" >&2; exit 1; }
	$(call need,valgrind,valgrind)
	@cd "$(BUILD)" && ctest --output-on-failure $(PARALLEL)

bench: build
	@test -x "$(BUILD)/hash_bench" || { echo "bench: Google Benchmark is missing; install the Debian package libbenchmark-dev" >&2; exit 1; }
	@scripts/bench.sh "$(BUILD)/hash_bench"

lint: build
	$(call need,cppcheck,cppcheck)
	$(call need,clang-tidy,clang-tidy)
	@scripts/lint.sh "$(BUILD)"

plot: tool
	$(call need,gnuplot,gnuplot-nox)
	@"$(BUILD)/hashFunctionTester" > "$(BUILD)/report.txt"
	@scripts/plot-distribution.sh "$(BUILD)/distribution.png" < "$(BUILD)/report.txt"

clean:
	rm -rf "$(BUILD)"
