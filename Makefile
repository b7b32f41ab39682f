# The commands on a fresh Debian machine:
#   make test   installs what is missing, builds everything, runs every test
#   make run    builds and runs the program
#   make bench  times the conversions against sox and cat (not part of the tests)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all setup build test test-native test-sanitize run bench clean

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

# Speed and memory against sox and cat; not part of the tests.
bench: build
	@scripts/setup.sh bench
	python3 scripts/bench.py

run: build
	@scripts/demo.sh build/bin/quorix

clean:
	rm -rf build
