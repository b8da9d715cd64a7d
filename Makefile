# The README's commands. Each one installs what is missing first.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup build test test-sanitize fuzz demo bench clean

all: build

setup:
	scripts/setup

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite again with AddressSanitizer and UBSan in every binary.
test-sanitize: setup
	cmake -S . -B $(BUILD)-sanitizar -DSANITIZAR=ON
	cmake --build $(BUILD)-sanitizar -j $(JOBS)
	cd $(BUILD)-sanitizar && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SEGUNDOS seconds (60 by default).
fuzz:
	scripts/fuzz

demo: build
	scripts/demo $(BUILD)

# Figures next to their baselines; never part of make test.
bench: build
	scripts/setup-bench
	cmake -S . -B $(BUILD)
	cmake --build $(BUILD) -j $(JOBS)
	python3 bench/bench.py $(BUILD)

clean:
	rm -rf $(BUILD)
