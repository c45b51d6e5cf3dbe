# Two commands matter: `make test` and `make run`. Both install what is
# missing (tools/install-deps.sh), build every tree and go on from there.
#
#   build/native  g++: portable code, POSIX serial port, virtual device, tests
#                 (plain, ASan+UBSan, TSan variants of the test programs)
#   build/win64   mingw-w64: quorvane.exe and the test programs run under Wine
#   build/fuzz    clang: the libFuzzer targets (receive path, provision sheet)
#   build/dist    mingw-w64: quorvane.exe and quorvane-cli.exe for the release
#                 archive of `make dist` (dist/)
#
# CTest in build/native runs everything, the Wine and fuzz tests included.

ROOT   := $(abspath .)
BUILD  := $(ROOT)/build
JOBS   ?= $(shell nproc)
CMAKE_TYPE ?= RelWithDebInfo
# One version for every tree: `quorvane-cli --version` and both programs'
# version resource (cmake/Version.cmake). No tag: the commit's short hash.
VERSION := $(shell git describe --tags --always --dirty 2>/dev/null)

.PHONY: all deps native win64 fuzz-build test run bench soak fuzz mutants dist dist-check clean

all: native win64 fuzz-build

deps:
	@bash tools/install-deps.sh

# Configure every time: module and test folders are picked up at configure
# time, so a pull that adds one must reach CMake. It is quick when nothing
# changed.
.PHONY: configure-native configure-win64 configure-fuzz
configure-native: deps
	cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=$(CMAKE_TYPE) -DQV_VERSION='$(VERSION)' \
	  -DQV_WIN64_DIR=$(BUILD)/win64 -DQV_FUZZ_DIR=$(BUILD)/fuzz >/dev/null

configure-win64: deps
	cmake -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=$(CMAKE_TYPE) -DQV_VERSION='$(VERSION)' \
	  -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-w64-x86_64.cmake >/dev/null

configure-fuzz: deps
	CXX=clang++ cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQV_FUZZ_ONLY=ON >/dev/null

native: configure-native
	cmake --build $(BUILD)/native -j $(JOBS)

win64: configure-win64
	cmake --build $(BUILD)/win64 -j $(JOBS)

fuzz-build: configure-fuzz
	cmake --build $(BUILD)/fuzz -j $(JOBS)

# Two tests at a time on two cores: the Wine tests spend most of their time
# waiting on the dialog's and the device's own periods. The longest start
# first (their CTest COST).
test: all
	cd $(BUILD)/native && ctest --output-on-failure --timeout 600 -j $(JOBS)

# make run LOCALE=C.UTF-8: as on an English Windows (code page 1252);
# make run DPI=144: at 150 % display scale.
run: all
	QV_RUN_LOCALE='$(LOCALE)' QV_RUN_DPI='$(DPI)' bash tools/run.sh

# Receive throughput, reply latency beside a python3-serial reader, and the
# receive threads' processor time; quorvane-cli beside a python3-serial
# script; under Wine, the port list of 32 described ports with and without
# their descriptions. `uptime` gives the machine's load.
bench: configure-native configure-win64
	cmake --build $(BUILD)/native -j $(JOBS) --target receive_bench quorvane-cli quorvane-device
	cmake --build $(BUILD)/win64 -j $(JOBS) --target identity_bench
	@uptime
	$(BUILD)/native/receive_bench
	bash tools/bench/cli_bench.sh $(BUILD)/native
	@echo "the port list under Wine:"
	bash tools/wine/wine-run.sh --prefix $(BUILD)/native/wine-prefixes/bench \
	  $$(for n in $$(seq 1 32); do printf -- '--com %s=/nonexistent/qv-bench ' $$n; done) \
	  -- $(BUILD)/win64/identity_bench.exe

# make soak SOAK_SECONDS=3600
SOAK_SECONDS ?= 600
soak: all
	SOAK_SECONDS=$(SOAK_SECONDS) bash tools/soak.sh

# make fuzz FUZZ_SECONDS=600: each fuzzer for that long, one after the other
FUZZ_SECONDS ?= 60
fuzz: fuzz-build
	bash tests/fuzz/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# make mutants [MUTANTS=id,pattern*]: plants the faults listed in
# tools/mutants/faults.txt one at a time in a copy of the tree (build/mutants)
# and runs the tests that could see each one. Not part of `make test`.
mutants: deps
	MUTANTS='$(MUTANTS)' JOBS=$(JOBS) python3 tools/mutants/mutants.py

# make dist: dist/quorvane-VERSION-win64.zip (the two programs stripped, the
# technicians' guide docs/使用说明.md, README.md, SHA256SUMS), built in
# build/dist. make dist-check: two fresh clones of HEAD each make it, and the
# archives must be the same bytes (tools/release.py).
dist: deps
	/usr/bin/python3 tools/release.py pack --version '$(VERSION)' --jobs $(JOBS)

dist-check: deps
	/usr/bin/python3 tools/release.py check --jobs $(JOBS)

clean:
	rm -rf $(BUILD) $(ROOT)/dist
