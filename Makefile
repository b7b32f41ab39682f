# The commands on a fresh Debian machine:
#   make test   installs what is missing, builds everything, runs every test
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

.PHONY: all setup build build-windows winlibs build-wincli weblibs web release test test-native test-sanitize test-e2e \
	test-wincli run demo bench fuzz install clean

all: build

setup:
	@scripts/setup.sh core

build: setup
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

# QUORIX.exe twice: build/win32/QUORIX.exe for Windows users, and
# build/win64/QUORIX.exe (with the test driver) for Wine on 64-bit Linux.
build-windows: setup
	@scripts/setup.sh windows
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

# Static libraries for 64-bit Windows, built once into build/winlibs and
# rebuilt when a version in scripts/winlibs.pins changes.
winlibs:
	@scripts/setup.sh winlibs
	JOBS=$(JOBS) scripts/winlibs.sh

# The converter as one static 64-bit Windows program, linked with them.
build-wincli: winlibs
	cmake --preset wincli >/dev/null
	cmake --build --preset wincli -j $(JOBS)

# Static WebAssembly libraries in build/weblibs, from the same pins, once.
weblibs:
	@scripts/setup.sh winlibs web
	JOBS=$(JOBS) scripts/weblibs.sh

# The browser page: the engine in WebAssembly and the page in one HTML file.
web: weblibs
	cmake --preset web >/dev/null
	cmake --build --preset web -j $(JOBS)

VERSION := $(shell sed -n 's/^project.QUORIX VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
RELEASE_ZIP := build/release/QUORIX-$(VERSION)-windows.zip

# What Windows users download: the 32-bit desktop program, the converter
# and the browser page.
release: setup build-wincli web
	@scripts/setup.sh windows
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)
	@scripts/release.sh $(RELEASE_ZIP)

# With the browser page, which its test compares with the converter.
test-native: build web
	ctest --preset default -j $(JOBS)

test-sanitize: setup
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

# The desktop program under Wine and a virtual display (SKIPPED where those
# cannot be installed, which fails in CI).
test-e2e: build
	@scripts/e2e.sh

# The Windows converter under Wine against the Linux one, and the release
# zip unpacked alone.
test-wincli: build release
	tests/wincli/compare.sh build/bin/quorix build/wincli/quorix-cli.exe $(RELEASE_ZIP)

test: test-native test-sanitize test-e2e test-wincli

run: setup
	@scripts/run-windows.sh

# The command-line converter on a synthesised drum voice.
demo: build
	@scripts/demo.sh build/bin/quorix

# Speed and memory against sox and cat; not part of the tests.
bench: build web
	@scripts/setup.sh bench
	python3 scripts/bench.py
	/usr/bin/python3 scripts/bench_web.py

PREFIX ?= /usr/local
install: build
	cmake --install build/native --prefix "$(PREFIX)"

clean:
	rm -rf build

FUZZ_SECONDS ?= 120
fuzz:
	@scripts/setup.sh core fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh
