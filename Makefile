# Front door over CMake. Build chatter goes to stderr so that
# `make run > report.txt` captures exactly the report.
BUILD ?= build
CMAKE_ARGS ?=
JOBS ?= $(shell nproc)

.PHONY: all build run test clean

all: build

build:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS) >&2
	@cmake --build $(BUILD) -j $(JOBS) >&2

run: build
	@./$(BUILD)/hashFunctionTester

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
