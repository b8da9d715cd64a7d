# The README's commands. Each one installs what is missing first.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup build test demo bench clean

all: build

setup:
	scripts/setup

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD)

build: setup $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

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
