# Two commands set up a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=

.PHONY: setup build test bench run clean

setup:
	@bash scripts/setup

build: setup
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@$(BUILD)/bench/nimbrel-bench 2>&1 | sed "s|nimbrel-bench|$(BUILD)/bench/nimbrel-bench|"
	@if [ -x $(BUILD)/bench/nimbrel-micro ]; then $(BUILD)/bench/nimbrel-micro; fi

run: build
	@if [ -x $(BUILD)/src/nimbrel ]; then $(BUILD)/src/nimbrel $(ARGS); \
	 else echo "The application is not built yet."; fi

clean:
	@rm -rf $(BUILD) build-asan build-tsan build-clang build-release
