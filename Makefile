# `make demo` runs the launcher on a sample disc; `make test` runs every test.
# Both install the Debian packages they need first.  A thin layer over the
# CMake presets `host` (tests on the simulated platform) and `win32`
# (setup.exe and the Windows test programs).
SHELL := /bin/bash
.PHONY: all deps win32 host test demo clean

all: win32

deps:
	@scripts/install-deps.sh

win32: deps
	@cmake --preset win32 >/dev/null
	@cmake --build --preset win32 -j2

host: deps
	@cmake --preset host >/dev/null
	@cmake --build --preset host -j2

test: win32 host
	@ctest --preset host

demo: win32
	@echo "setup.exe is at build/win32/setup.exe ($$(stat -c %s build/win32/setup.exe) bytes)"

clean:
	rm -rf build
