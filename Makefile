# Two commands matter: `make test` and `make run`. Both install what is
# missing (tools/install-deps.sh), build every tree and go on from there.
#
#   build/native  g++: portable code, POSIX serial port, virtual device, tests
#                 (plain, ASan+UBSan, TSan variants of the test programs)
#   build/win64   mingw-w64: quorvane.exe and the test programs run under Wine
#   build/fuzz    clang: the libFuzzer target
#
# CTest in build/native runs everything, the Wine and fuzz tests included.

ROOT   := $(abspath .)
BUILD  := $(ROOT)/build
JOBS   ?= $(shell nproc)
CMAKE_TYPE ?= RelWithDebInfo

.PHONY: all deps native win64 fuzz-build test run bench soak fuzz mutants clean

all: native win64 fuzz-build

deps:
	@bash tools/install-deps.sh

# Configure every time: module and test folders are picked up at configure
# time, so a pull that adds one must reach CMake. It is quick when nothing
# changed.
.PHONY: configure-native configure-win64 configure-fuzz
configure-native: deps
	cmake -S . -B $(BUILD)/native -DCMAKE_BUILD_TYPE=$(CMAKE_TYPE) \
	  -DQV_WIN64_DIR=$(BUILD)/win64 -DQV_FUZZ_DIR=$(BUILD)/fuzz >/dev/null

configure-win64: deps
	cmake -S . -B $(BUILD)/win64 -DCMAKE_BUILD_TYPE=$(CMAKE_TYPE) \
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

test: all
	cd $(BUILD)/native && ctest --output-on-failure --timeout 600

# make run LOCALE=C.UTF-8: as on an English Windows (code page 1252);
# make run DPI=144: at 150 % display scale.
run: all
	QV_RUN_LOCALE='$(LOCALE)' QV_RUN_DPI='$(DPI)' bash tools/run.sh

# Receive throughput, reply latency beside a python3-serial reader, and the
# receive threads' processor time; `uptime` gives the machine's load.
bench: configure-native
	cmake --build $(BUILD)/native -j $(JOBS) --target receive_bench
	@uptime
	$(BUILD)/native/receive_bench
	cmake --build $(BUILD)/native -j $(JOBS) --target quorvane-cli quorvane-device && bash tools/bench/cli_bench.sh $(BUILD)/native

# make soak SOAK_SECONDS=3600
SOAK_SECONDS ?= 600
soak: all
	SOAK_SECONDS=$(SOAK_SECONDS) bash tools/soak.sh

# make fuzz FUZZ_SECONDS=600
FUZZ_SECONDS ?= 60
fuzz: fuzz-build
	bash tests/fuzz/run-fuzz.sh $(BUILD)/fuzz $(FUZZ_SECONDS)

# make mutants [MUTANTS=id,pattern*]: plants the faults listed in
# tools/mutants/faults.txt one at a time in a copy of the tree (build/mutants)
# and runs the tests that could see each one. Not part of `make test`.
mutants: deps
	MUTANTS='$(MUTANTS)' JOBS=$(JOBS) python3 tools/mutants/mutants.py

clean:
	rm -rf $(BUILD)
