# The commands on a fresh Debian machine:
#   make test   installs what is missing, builds everything, runs every test
#   make deps   installs the Debian packages of the build and of every test
#               (as root; otherwise prints the apt-get line to run)
#   make run    builds QUORIX.exe and runs it under Wine on this display
#   make bench  times the conversions against sox and cat, and the browser page
#               against the converter (not part of the tests)
#   make fuzz   builds the fuzz targets with clang and runs each of them for
#               FUZZ_SECONDS seconds (default 120); fails on any finding
#   make install PREFIX=/usr/local   installs quorix, its manual page and its
#               bash completion under PREFIX (DESTDIR is honoured too)
#   make winlibs
#               builds the static Windows libraries of the converter from
#               Debian's source packages (scripts/winlibs.pins), once
#   make build-wincli
#               builds the converter for Windows, build/wincli/quorix-cli.exe
#   make weblibs
#               builds the static WebAssembly libraries of the browser page from
#               the same Debian source packages, once
#   make web    builds the browser page, build/web/quorix.html (one file)
#   make release
#               puts QUORIX.exe (32-bit), quorix-cli.exe (64-bit), quorix.html
#               and README-windows.txt into build/release/QUORIX-VERSION-windows.zip
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build build-windows winlibs build-wincli weblibs web release test test-sanitize test-e2e \
	test-wincli test-browser run demo bench fuzz install clean

all: build

# Every apt step goes through here, DEPS naming groups of scripts/setup.sh;
# make build and the test targets only say what is missing.
DEPS ?= core windows wine32 winlibs web
deps:
	@scripts/setup.sh $(DEPS)

build:
	@scripts/setup.sh --check core
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

# QUORIX.exe twice, each with the end-to-end driver of its width:
# build/win32/QUORIX.exe for Windows users, build/win64/QUORIX.exe for Wine
# on 64-bit Linux.
build-windows:
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

# Static libraries for 64-bit Windows, built once into build/winlibs and
# rebuilt when a version in scripts/winlibs.pins changes.
winlibs:
	JOBS=$(JOBS) scripts/winlibs.sh

# The converter as one static 64-bit Windows program, linked with them.
build-wincli: winlibs
	cmake --preset wincli >/dev/null
	cmake --build --preset wincli -j $(JOBS)

# Static WebAssembly libraries in build/weblibs, from the same pins, once.
weblibs:
	@scripts/setup.sh --check winlibs web
	JOBS=$(JOBS) scripts/weblibs.sh

# The browser page: the engine in WebAssembly and the page in one HTML file.
web: weblibs
	cmake --preset web >/dev/null
	cmake --build --preset web -j $(JOBS)

VERSION := $(shell sed -n 's/^project.QUORIX VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
RELEASE_ZIP := build/release/QUORIX-$(VERSION)-windows.zip

# What Windows users download: the 32-bit desktop program, the converter
# and the browser page.
release: build-wincli web
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	@scripts/release.sh $(RELEASE_ZIP)

# Every test is a CTest test of the native tree: the unit tests (label
# unit), both QUORIX.exe driven under Wine on a virtual display (e2e), the
# Windows converter under Wine against the Linux one and the release zip
# (wincli); the last two build the Windows programs first (test
# windows-build) and are SKIPPED where Wine or Xvfb are missing, which fails
# in CI; the browser page in headless Chromium against the converter
# (browser). Then the unit tests again under the sanitizers.
test: deps
	@$(MAKE) --no-print-directory build winlibs web
	ctest --preset default -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize

test-sanitize:
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

test-e2e: build
	ctest --preset e2e

test-wincli: build winlibs web
	ctest --preset wincli

test-browser: build web
	ctest --preset browser

run:
	@$(MAKE) --no-print-directory deps DEPS="core windows"
	@scripts/run-windows.sh

# The command-line converter on a synthesised drum voice.
demo: build
	@scripts/demo.sh build/bin/quorix

# Speed and memory against sox and cat; not part of the tests.
bench: build web
	@$(MAKE) --no-print-directory deps DEPS=bench
	python3 scripts/bench.py
	/usr/bin/python3 scripts/bench_web.py

PREFIX ?= /usr/local
install: build
	cmake --install build/native --prefix "$(PREFIX)"

clean:
	rm -rf build

FUZZ_SECONDS ?= 120
fuzz:
	@$(MAKE) --no-print-directory deps DEPS="core fuzz"
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh
