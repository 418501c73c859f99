# The front door. Every target first installs what is missing (Debian 12, apt-get), then builds
# with CMake into build/. When everything is present the check costs a fraction of a second.

BUILD     ?= build
JOBS      ?= $(shell nproc)
SUDO      := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
CMAKE_ARGS ?=

# What building, testing and running need from Debian.
BUILD_PKGS := cmake g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
RUN_PKGS   := fonts-dejavu-core
TEST_PKGS  := xvfb xauth xdotool

.PHONY: all deps build run test bench clean

all: build

# Installs only the packages that are missing; `apt-get update` runs only if something is.
deps:
	@missing=$$(for p in $(BUILD_PKGS) $(RUN_PKGS) $(TEST_PKGS); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/rotavel-motion

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bench/*_benchmark; do echo "== $$b"; $$b --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || exit 1; done

clean:
	rm -rf $(BUILD)
