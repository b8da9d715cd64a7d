# The README's commands. Each one installs what is missing first.
BUILD ?= build
JOBS  ?= $(shell nproc)

.PHONY: all setup build test test-trixie test-sanitize fuzz demo bench deb check-fresh clean

all: build

setup:
	scripts/setup

$(BUILD)/CMakeCache.txt:
	@mkdir -p $(BUILD)
	@echo "build: configurando ($(BUILD)/build.log)"
	@cmake -S . -B $(BUILD) > $(BUILD)/build.log 2>&1 || { tail -n 30 $(BUILD)/build.log; exit 1; }

build: setup $(BUILD)/CMakeCache.txt
	@echo "build: compilando ($(BUILD)/build.log)"
	@cmake --build $(BUILD) -j $(JOBS) >> $(BUILD)/build.log 2>&1 || { tail -n 40 $(BUILD)/build.log; exit 1; }

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite inside a fresh minimal Debian 13 root (cached with its packages).
test-trixie:
	scripts/testar-em trixie

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

# rosto and escuta as Debian packages, in $(BUILD)/, then lintian on them:
# any error or warning fails but the maintainer's placeholder address
# (PACOTE_MANTENEDOR in CMakeLists.txt), which lintian flags in two places.
LINTIAN_ACEITAS = bogus-mail-host,bogus-mail-host-in-debian-changelog
deb: build
	scripts/setup-deb
	rm -f $(BUILD)/*.deb
	@# the packages' directories take the umask's modes: 0755 whoever builds
	cd $(BUILD) && umask 022 && cpack -G DEB > cpack.log && ls -1 $(CURDIR)/$(BUILD)/*.deb
	lintian --fail-on error,warning --suppress-tags $(LINTIAN_ACEITAS) $(BUILD)/*.deb
	@echo "lintian: nenhum erro nem aviso (fora $(LINTIAN_ACEITAS))"
	@# A packager's `cmake --install` gives the files the packages hold, under its prefix.
	rm -rf $(BUILD)/instalado && cmake --install $(BUILD) --prefix $(BUILD)/instalado > /dev/null
	cd $(BUILD)/instalado && find . ! -type d | sort > ../instalado.txt
	for d in $(BUILD)/*.deb; do dpkg-deb -c $$d; done | awk '$$6 !~ /\/$$/ {sub("^./usr/", "./", $$6); print $$6}' \
	  | sort | diff - $(BUILD)/instalado.txt
	@echo "cmake --install: os mesmos $$(wc -l < $(BUILD)/instalado.txt) arquivos dos pacotes"

# The README's two commands on a minimal Debian made here (SUITE=bookworm, the
# default, or trixie), then the packages installed on another one. Slow
# (about half an hour); never part of make test.
SUITE ?= bookworm
check-fresh:
	scripts/check-fresh $(SUITE)

clean:
	rm -rf $(BUILD)
