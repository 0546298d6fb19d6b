# Front door over CMake. Build chatter goes to stderr, so that
# `make run > report.txt` captures exactly the report. Works from any folder with
# `make -f path/to/Makefile`: sources and the default build folder are this
# Makefile's own.
# Make's word functions would split a path with spaces, so this Makefile's path
# is the last word of the list read so far only when that names a file, and
# otherwise the whole list (this Makefile alone, its path spaced).
THIS := $(if $(wildcard $(lastword $(MAKEFILE_LIST))),$(lastword $(MAKEFILE_LIST)),$(strip $(MAKEFILE_LIST)))
ROOT := $(shell dirname -- '$(subst ','\'',$(THIS))')
# BUILD, CMAKE_ARGS and FUZZ_SECONDS come from make's command line only: the first
# two are common names in a shell, and a stray one in the environment must not
# choose what is built, nor what `make clean` removes; FUZZ_SECONDS goes as they do.
ifneq ($(origin BUILD),command line)
BUILD := $(ROOT)/build
endif
ifneq ($(origin CMAKE_ARGS),command line)
CMAKE_ARGS :=
endif
ifneq ($(origin FUZZ_SECONDS),command line)
FUZZ_SECONDS := 600
endif
MAKEFLAGS += --no-print-directory

# One recipe at a time, so that one configure or one build uses the build folder
# at a time, whatever the targets and -j; the CMake build within still runs jobs
# in parallel. Under `make -jN` the Makefiles generator's build shares make's job
# slots; Ninja's takes none of them and runs as many jobs as it chooses (the
# cores + 2). Without -jN, either uses every core.
.NOTPARALLEL:
PARALLEL = $(if $(findstring jobserver,$(MAKEFLAGS)),,-j $(shell nproc))

CONFIGURE = cmake -S "$(ROOT)" -B "$(BUILD)" -DCMAKE_BUILD_TYPE=Release --log-level=WARNING \
	$(CMAKE_ARGS)
# cmake_build [TARGET]: build TARGET, or everything; Release with a multi-config generator too.
cmake_build = +@cmake --build "$(BUILD)" --config Release $(PARALLEL) $(if $(1),--target $(1)) >&2

# A build folder that is the source tree would put CMake's Makefile over this one,
# and `make clean` would remove the tree: refused before anything is written.
not_the_tree = @[ "$$(cd "$(BUILD)" 2>/dev/null && pwd -P)" != "$$(cd "$(ROOT)" && pwd -P)" ] || \
	{ echo "make: the build folder $(BUILD) is the source tree; choose another, e.g. BUILD=build" >&2; \
	  exit 1; }

# provide COMMAND: install what COMMAND needs and the configuration did not find,
# where it may, and configure again to find it; else stop with one line saying
# what is missing and how to install it. scripts/packages.sh holds the needs.
provide = @"$(ROOT)/scripts/packages.sh" $(1) "$(BUILD)" -- $(CONFIGURE)

# built PART: stop with one line naming the cause if the configuration just made
# did not build PART (UNIT_TESTS or BENCHMARKS). It asks that configuration,
# never files an earlier one left in the build folder.
built = @why=$$(sed -n 's/^HFT_$(1):INTERNAL=//p' "$(BUILD)/CMakeCache.txt"); \
	[ "$$why" = built ] || { echo "$@: $${why:-$(BUILD) does not say whether it built them}" >&2; exit 1; }

.PHONY: all configure build tool run diagnose test bench lint fuzz plot clean

all: build

configure:
	$(not_the_tree)
	@$(CONFIGURE) >&2

# Everything: the tool, and the tests and benchmarks where their libraries are found.
build: configure
	$(call cmake_build)

# The tool alone: needs nothing but a compiler, cmake and make.
tool: configure
	$(call cmake_build,hashFunctionTester)

run: tool
	@"$(BUILD)/hashFunctionTester"

# Why the key function spreads as it does: needs what make run needs.
diagnose: configure
	$(call cmake_build,hashFunctionDiagnosis)
	@"$(BUILD)/hashFunctionDiagnosis"

test: configure
	$(call provide,test)
	$(call cmake_build)
	$(call built,UNIT_TESTS)
	@cd "$(BUILD)" && ctest -C Release --output-on-failure --no-tests=error $(PARALLEL)

bench: configure
	$(call provide,bench)
	$(call cmake_build)
	$(call built,BENCHMARKS)
	@"$(ROOT)/scripts/bench.sh" "$(BUILD)/hash_bench"

# Lints every source that was built; tests and benchmarks need their libraries.
lint: configure
	$(call provide,lint)
	$(call cmake_build)
	$(call built,UNIT_TESTS)
	$(call built,BENCHMARKS)
	@"$(ROOT)/scripts/lint.sh" "$(BUILD)"

# The request reader under libFuzzer for FUZZ_SECONDS seconds, in a clang++ build of its own,
# BUILD/fuzz (scripts/fuzz.sh): needs clang++ and its libFuzzer.
fuzz:
	$(not_the_tree)
	@"$(ROOT)/scripts/packages.sh" fuzz
	@"$(ROOT)/scripts/fuzz.sh" "$(BUILD)/fuzz" "$(FUZZ_SECONDS)"

# The picture, drawn from the figures the diagnosis writes in BUILD/figures.
plot: configure
	$(call provide,plot)
	$(call cmake_build,hashFunctionDiagnosis)
	@"$(BUILD)/hashFunctionDiagnosis" --data "$(BUILD)/figures" > "$(BUILD)/diagnosis.txt"
	@"$(ROOT)/scripts/plot-distribution.sh" "$(BUILD)/distribution.png" "$(BUILD)/figures"

# Removes the build folder only if it is one of this tree's, as its CMakeCache.txt
# says; anything else is refused with nothing removed. No folder, nothing to do.
clean:
	$(not_the_tree)
	@[ ! -e "$(BUILD)" ] || { \
	  home=$$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$(BUILD)/CMakeCache.txt" 2>/dev/null); \
	  [ -n "$$home" ] || { echo "make clean: $(BUILD) holds no CMake configuration, so it is no" \
	    "build folder of this tree; nothing was removed" >&2; exit 1; }; \
	  [ "$$(cd "$$home" 2>/dev/null && pwd -P)" = "$$(cd "$(ROOT)" && pwd -P)" ] || { \
	    echo "make clean: $(BUILD) is a build folder of $$home, not of this tree; nothing was removed" >&2; \
	    exit 1; }; \
	  rm -rf "$(BUILD)"; }
