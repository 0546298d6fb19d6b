# Front door over CMake. Build chatter goes to stderr so that
# `make run > report.txt` captures exactly the report.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)

.PHONY: all build run test bench lint plot clean

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS) >&2
	@cmake --build $(BUILD) -j $(JOBS) >&2

run: build
	@./$(BUILD)/hashFunctionTester

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@test -x $(BUILD)/hash_bench || { echo "bench: install libbenchmark-dev, then run make bench again" >&2; exit 1; }
	@./$(BUILD)/hash_bench

lint: build
	@scripts/lint.sh $(BUILD)

plot: build
	@./$(BUILD)/hashFunctionTester > $(BUILD)/report.txt
	@scripts/plot-distribution.sh $(BUILD)/distribution.png < $(BUILD)/report.txt

clean:
	rm -rf $(BUILD)
