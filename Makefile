# The two commands on a fresh Debian machine:
#   make test   installs what is missing, builds everything, runs every test
#   make run    builds and runs the program
#   make fuzz   builds the fuzz targets with clang and runs each of them for
#               FUZZ_SECONDS seconds (default 120); fails on any finding
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup build test test-native test-sanitize run fuzz clean

all: build

setup:
	@scripts/setup.sh core

build: setup
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

test-native: build
	ctest --preset default -j $(JOBS)

test-sanitize: setup
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

test: test-native test-sanitize

FUZZ_SECONDS ?= 120
fuzz:
	@scripts/setup.sh core fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh

run: build
	@scripts/demo.sh build/bin/quorix

clean:
	rm -rf build
