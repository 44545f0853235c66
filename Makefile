# `make demo` runs the launcher on a sample disc; `make test` runs every test.
# Both install the Debian packages they need first.  A thin layer over the
# CMake presets `host` (tests on the simulated platform) and `win32`
# (setup.exe and the Windows test programs), and `win64` (the same for
# x86-64) on a machine that cannot run 32-bit programs.
SHELL := /bin/bash
.PHONY: all deps win32 win64 wine-build host test demo clean disc fuzz soak soak-wine bench

all: win32

# A disc of your own: DISC=path/to/description.json builds the launcher
# from that description in build/disc-NAME/ (NAME: the description's folder
# when the file is disc.json, else its file name), never over the default
# build.  Without DISC, or with resources/disc.json, everything is as usual.
DISC ?=
ifneq ($(strip $(DISC)),)
ifneq ($(abspath $(DISC)),$(abspath resources/disc.json))
DISC_NAME := $(if $(filter disc.json,$(notdir $(DISC))),$(notdir $(patsubst %/,%,$(dir $(abspath $(DISC))))),$(basename $(notdir $(DISC))))
BUILD_WIN32 := build/disc-$(DISC_NAME)/win32
BUILD_WIN64 := build/disc-$(DISC_NAME)/win64
DISC_FLAG := -DDISC=$(abspath $(DISC))
endif
endif
BUILD_WIN32 ?= build/win32
BUILD_WIN64 ?= build/win64

deps:
	@scripts/install-deps.sh

win32: deps
	@cmake --preset win32 -B $(BUILD_WIN32) $(DISC_FLAG) >/dev/null
	@cmake --build $(BUILD_WIN32) -j2

win64: deps
	@cmake --preset win64 -B $(BUILD_WIN64) $(DISC_FLAG) >/dev/null
	@cmake --build $(BUILD_WIN64) -j2

# What the tests and the demo run under Wine: the win32 build, and where
# this machine cannot run 32-bit programs (scripts/wine-arch.sh) the win64
# build too, which runs there in its place.
wine-build: win32
	@[ "$$(scripts/wine-arch.sh)" = win32 ] || $(MAKE) --no-print-directory win64

host: deps
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j2

test: wine-build host
	@ctest --preset host

demo: wine-build
	@tests/e2e/demo.sh $(BUILD_WIN32)

# The disc image, from the sample disc or from PAYLOAD=dir (the real installers).
# A description refused, or a build that fails, leaves no image behind, not
# even one made before.
disc: deps
	@cmake --preset win32 -B $(BUILD_WIN32) $(DISC_FLAG) >/dev/null && cmake --build $(BUILD_WIN32) -j2 || \
	    { rm -f $(BUILD_WIN32)/disc.iso; echo "make disc: no image made" >&2; exit 1; }
	@PAYLOAD="$(PAYLOAD)" scripts/make-disc.sh $(BUILD_WIN32)

# The command-tail fuzzer for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600).
FUZZ_SECONDS ?= 60
fuzz: deps
	@cmake --preset host >/dev/null
	@cmake --build --preset host --target cmdtail_fuzzer
	@bash tests/fuzz/run-fuzz.sh build/host/tests/fuzz/cmdtail_fuzzer $(FUZZ_SECONDS) build/host/tests/fuzz/long

# The long soak of random whole runs (make soak SOAK_RUNS=1000 SOAK_SEED=5).
SOAK_RUNS ?= 1000000
SOAK_SEED ?= 1
soak: deps
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j2 --target scenario_soak
	@build/host/tests/scenario_soak --runs $(SOAK_RUNS) --seed $(SOAK_SEED)

# Real runs at random under Wine, each compared with the simulated platform
# (make soak-wine RUNS=500 SEED=1); prints a tally of outcomes by kind and
# every difference.
RUNS ?= 500
SEED ?= 1
soak-wine: wine-build host
	@tests/e2e/random.sh build/win32 --runs $(RUNS) --seed $(SEED)

# The benchmark under Wine: sizes, start-up, the menu's return after a
# child, idle cost and memory, beside reference programs; writes build/win32/bench.md.
bench: win32
	@cmake --build --preset win32 -j2 --target bench_programs
	@tests/bench/run.sh build/win32

clean:
	rm -rf build
