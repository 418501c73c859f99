# SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
# SPDX-License-Identifier: MIT

# The front door. Every target first installs what is missing (Debian 12, 13 or testing, apt-get), then
# builds with CMake into build/. When everything is present the check costs a fraction of a second.

BUILD     ?= build
JOBS      ?= $(shell nproc)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_ARGS ?=
PREFIX    ?= /usr/local

# What each purpose needs from Debian beyond a minimal system (the minbase variant plus git, make,
# ca-certificates and sudo; `make test-fresh` proves the lists on one of each release). The targets
# install them all (ALL_PKGS) unless they name their own.
BUILD_PKGS   := cmake g++ make qt6-base-dev libgl-dev libx11-dev libgtest-dev libgmock-dev \
                libbenchmark-dev
RUN_PKGS     := fonts-dejavu-core qt6-wayland
# cpack's Debian generator: dpkg-shlibdeps finds the libraries, and needs `file` to tell binaries.
PACKAGE_PKGS := dpkg-dev file
# The tests: an X server of their own and a pointer to drive it, the screen-reader bus, valgrind,
# readelf and nm for the hardening check, the desktop's own validators, a Wayland compositor and
# the accessibility bindings that press Run there, the package's lint, the licence check and the
# manual pages' renderer.
TEST_PKGS    := xvfb xauth xdotool dbus at-spi2-core valgrind binutils desktop-file-utils appstream \
                weston python3-gi gir1.2-atspi-2.0 lintian reuse man-db
PREVIEW_PKGS := imagemagick
# The fuzzer's runtime for the release's own clang.
FUZZ_PKGS    := clang libclang-rt-dev
FRESH_PKGS   := mmdebstrap git
# Line and branch coverage of the program's own code.
COVERAGE_PKGS := gcovr
# The page: Debian's WebAssembly toolchain, and the browsers its tests drive, one of each engine:
# chromium through its WebDriver server, firefox-esr over WebDriver BiDi (python3-websocket), and
# WebKitGTK's MiniBrowser through WebKit's WebDriver server on an X server of the tests' own (its
# package renamed on the way to Debian 14).
WEB_PKGS     := emscripten node-acorn python3
BROWSER_PKGS := chromium chromium-driver firefox-esr python3-websocket \
                webkitgtk-webdriver|webkit2gtk-driver \
                libwebkit2gtk-4.1-0 xvfb python3-pil

ALL_PKGS := $(BUILD_PKGS) $(RUN_PKGS) $(PACKAGE_PKGS) $(TEST_PKGS)

.PHONY: all deps build run test test-sanitize test-fresh soak fuzz bench timing install package \
        preview clean web web-deps web-serve web-timing coverage FORCE

all: build

# Installs only the packages that are missing; `apt-get update` runs only if something is. A name
# written `new|old` is one package that a release renamed: either counts as present, and the first
# that apt can install is the one installed.
PKGS ?= $(ALL_PKGS)
deps:
	@pkgs='$(PKGS)'; missing=$$(for p in $$pkgs; do \
	    for alt in $$(echo $$p | tr '|' ' '); do \
	      dpkg-query -W -f='$${Status}\n' $$alt 2>/dev/null | grep -q '^install ok installed' && continue 2; \
	    done; echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  $(SUDO) apt-get update -qq && \
	  missing=$$(for p in $$missing; do \
	    for alt in $$(echo $$p | tr '|' ' ') $${p%%|*}; do \
	      apt-get install -s -qq $$alt >/dev/null 2>&1 && break; \
	    done; echo $$alt; \
	  done) && \
	  echo "Installing:" $$missing && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# Every build folder is configured from a preset of CMakePresets.json, which holds each build's
# flags, so that `cmake --preset NAME` gives a plain-CMake user the same build; CMAKE_ARGS come on
# top. A folder configures again whenever CMAKE_ARGS differ from its last configure's: its stamp
# holds them and is rewritten, and so newer than the cache, only when they change. Nothing is
# written until a target needs the folder.
%/cmake-args.stamp: FORCE
	@mkdir -p $(@D)
	@echo '$(strip $(CMAKE_ARGS))' | cmp -s - $@ || echo '$(strip $(CMAKE_ARGS))' >$@
FORCE:

$(BUILD)/CMakeCache.txt: $(BUILD)/cmake-args.stamp | deps
	cmake --preset default -B $(BUILD) $(CMAKE_ARGS)
	@touch $@

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/rotavel-motion

# axe-core and Lighthouse, for the page's audits: `npm ci` from the lockfile the build copies beside
# the browser tests, so nothing lands in the source tree. Debian's npm brings the client, unless a
# node from elsewhere brought one already. Node trusts the system's certificate authorities too,
# as a machine behind a proxy of its own needs.
SYSTEM_CAS := /etc/ssl/certs/ca-certificates.crt
AXE := $(BUILD)/tests/web/node_modules/axe-core/axe.min.js
$(AXE): tests/web/package-lock.json | build
	@command -v npm >/dev/null || $(MAKE) --no-print-directory deps PKGS=npm
	cd $(BUILD)/tests/web && NODE_EXTRA_CA_CERTS=$${NODE_EXTRA_CA_CERTS:-$(SYSTEM_CAS)} \
	    npm ci --no-audit --no-fund --loglevel=error
	@touch $@

# The names of the tests that a JUnit report from ctest marks as skipped, read as XML, whatever the
# release's layout of it.
define SKIPPED_TESTS
import sys, xml.etree.ElementTree as ET
for report in sys.argv[1:]:
    for case in ET.parse(report).iter("testcase"):
        if case.get("status") == "notrun" or case.find("skipped") is not None:
            print(case.get("name"))
endef
export SKIPPED_TESTS

# The browser tests need the page built, a browser of each engine, axe-core and Lighthouse. They keep
# the page's real time, so a stall of a shared machine gets them one more try, and them alone. With
# everything installed and built, a test that reports itself skipped fails the target. No test may
# write into the source tree: what git sees there afterwards must have been there before.
test: build web $(AXE)
	@$(MAKE) --no-print-directory deps PKGS="$(BROWSER_PKGS)"
	@tests/tree_changes.sh >$(BUILD)/tree-before-test
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) -LE browser --output-junit ctest-results.xml
	cd $(BUILD) && ctest --output-on-failure -L browser --repeat until-pass:2 \
	    --output-junit ctest-browser-results.xml
	@skipped=$$(/usr/bin/python3 -c "$$SKIPPED_TESTS" $(BUILD)/ctest-results.xml \
	    $(BUILD)/ctest-browser-results.xml); \
	[ -z "$$skipped" ] || { echo "make test: skipped, though everything is installed:" $$skipped; exit 1; }
	@tests/tree_changes.sh $(BUILD)/tree-before-test

# Everything built with AddressSanitizer and UndefinedBehaviorSanitizer (the preset `sanitize`);
# any report fails the test. The soak is left out, as its memory figures mean nothing under the
# sanitizer's allocator, and so is the page, which is not built with them.
SAN_BUILD := build-sanitize
$(SAN_BUILD)/CMakeCache.txt: $(SAN_BUILD)/cmake-args.stamp | deps
	cmake --preset sanitize $(CMAKE_ARGS)
	@touch $@

test-sanitize: deps $(SAN_BUILD)/CMakeCache.txt
	cmake --build --preset sanitize -j $(JOBS)
	@tests/tree_changes.sh >$(SAN_BUILD)/tree-before-test
	ctest --preset sanitize -j $(JOBS)
	@tests/tree_changes.sh $(SAN_BUILD)/tree-before-test

# A newcomer's `make test` on a minimal Debian made from nothing with this machine's apt sources,
# from a clone of the committed tree (HEAD): proves the package lists above. Needs root. Each
# release in DEBIAN (bookworm for Debian 12, trixie for 13, forky for testing) has a run of its own,
# from nothing, one after the other; all of them run, and any that fails fails the target.
DEBIAN ?= bookworm trixie forky
test-fresh:
	@$(MAKE) --no-print-directory deps PKGS="$(FRESH_PKGS)"
	@status=0; for suite in $(DEBIAN); do \
	  $(SUDO) tests/fresh/test_fresh.sh $$suite || status=1; \
	done; exit $$status

# Line and branch coverage of the program's own code (app, scene, surface, ui, tools) under the
# tests, in an instrumented tree of its own (the preset `coverage`); build-coverage/coverage.txt
# holds the figures file by file. The page's tests are left out, as the page is not native code;
# so are the soak, valgrind, the packaging and the release-only hardening check, which cost time
# and reach no line the others miss. The instrumented build runs slower, so a test that keeps
# real time gets one more try.
COV_BUILD := build-coverage
$(COV_BUILD)/CMakeCache.txt: $(COV_BUILD)/cmake-args.stamp | deps
	cmake --preset coverage $(CMAKE_ARGS)
	@touch $@

coverage: deps $(COV_BUILD)/CMakeCache.txt
	@$(MAKE) --no-print-directory deps PKGS="$(COVERAGE_PKGS)"
	cmake --build --preset coverage -j $(JOBS)
	find $(COV_BUILD) -name '*.gcda' -delete
	@tests/tree_changes.sh >$(COV_BUILD)/tree-before-test
	cd $(COV_BUILD) && ctest --output-on-failure -j $(JOBS) -LE 'browser|soak|valgrind' \
	    -E '^(hardening|dist_)' --repeat until-pass:2
	@tests/tree_changes.sh $(COV_BUILD)/tree-before-test
	gcovr --root . --filter '(app|scene|surface|ui|tools)/' --exclude-throw-branches \
	    --exclude-unreachable-branches -j $(JOBS) --print-summary -o $(COV_BUILD)/coverage.txt \
	    $(COV_BUILD)

# The memory soak alone: 1,000 whole animations (ROTOR_SOAK_ANIMATIONS to change).
soak: build
	cd $(BUILD) && ctest --output-on-failure -L soak

# The preset `fuzz`, configured afresh on every run.
fuzz:
	@$(MAKE) --no-print-directory deps PKGS="$(BUILD_PKGS) $(FUZZ_PKGS)"
	tests/tools/run_fuzz.sh build-fuzz $${FUZZ_SECONDS:-60} $(CMAKE_ARGS)

bench: build
	@for b in $(BUILD)/bench/*_benchmark; do echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

# The program, its desktop entry, icons and metainfo under PREFIX (/usr/local needs root).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX) --strip

# The Debian package: $(BUILD)/rotavel-motion_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target package

# docs/preview.gif: a whole run drawn by the headless driver, as an animated GIF.
preview: build
	@$(MAKE) --no-print-directory deps PKGS="$(PREVIEW_PKGS)"
	tools/make_preview.sh $(BUILD)/rotor-headless docs/preview.gif

clean:
	rm -rf $(BUILD) $(SAN_BUILD) build-fuzz $(WEB_BUILD) $(COV_BUILD)

# The page, built with Debian's emscripten (the preset `web`) into $(WEB_BUILD)/site: index.html,
# its script and style, rotavel.js with the module inside; and the page in one file,
# $(WEB_BUILD)/rotavel-motion.html.
WEB_BUILD := build-web
WEB_PORT  ?= 8000
web-deps:
	@$(MAKE) --no-print-directory deps PKGS="$(WEB_PKGS)"

$(WEB_BUILD)/CMakeCache.txt: $(WEB_BUILD)/cmake-args.stamp | web-deps
	cmake --preset web $(CMAKE_ARGS)
	@touch $@

web: web-deps $(WEB_BUILD)/CMakeCache.txt
	cmake --build --preset web -j $(JOBS)

# Serves the page on this machine only.
web-serve: web
	@echo "Rotavel Motion: http://127.0.0.1:$(WEB_PORT)/ (Ctrl-C to stop)"
	/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory $(WEB_BUILD)/site $(WEB_PORT)

# The page's CPU in a browser of each engine, turn about with floor pages that do only the
# browser's share of a run, at ratios 1 and 2, side by side; its run length and frame cost;
# Lighthouse's performance score; docs/web.png mid-animation.
web-timing: build web $(AXE)
	@$(MAKE) --no-print-directory deps PKGS="$(BROWSER_PKGS)"
	/usr/bin/python3 bench/web/page_timing.py $(WEB_BUILD)/site docs/web.png \
	    $(BUILD)/tests/web/node_modules/lighthouse/cli/index.js

# The main window's timing on a screen of its own, for the start-up rotor's 2 vanes and for 8:
# start-up, pace, the program's CPU and the X server's (and theirs for the toolkit alone, ticking
# and repainting a few pixels), bytes written and pixels repainted a frame, wakeups while stopped.
timing: build
	xvfb-run -a -s "-screen 0 1024x768x24" ./$(BUILD)/bench/window_timing
	xvfb-run -a -s "-screen 0 1024x768x24" ./$(BUILD)/bench/window_timing --vanes 8
