# Set-up and entry points. `make run` and `make test` work on a fresh Debian 12 machine as root.
SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
PACKAGES := build-essential cmake pkg-config python3 libgtest-dev libgmock-dev libbenchmark-dev \
            qt6-base-dev libcli11-dev libsimpleini-dev xvfb xauth x11-utils mednafen fonts-liberation fonts-ipafont-gothic \
            help2man dpkg-dev file appstream desktop-file-utils bash-completion groff-base \
            clang libclang-rt-14-dev
# Only the tests need these: libcdio reads the CD-TEXT packs back.
TEST_PACKAGES := libcdio-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build build-asan run test package fuzz-short bench clean

deps:
	@missing=$$(for p in $(PACKAGES) $(TEST_PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DSARVEX_WERROR=ON -DSARVEX_SANITIZE=OFF -DSARVEX_GUI=ON -DSARVEX_CLI=ON -DSARVEX_TESTS=ON -DSARVEX_BENCH=ON >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARVEX_WERROR=ON -DSARVEX_SANITIZE=ON -DSARVEX_GUI=ON -DSARVEX_CLI=ON -DSARVEX_TESTS=ON -DSARVEX_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# Starts the desktop program; without a display it shows sarvex-cli converting the example disc.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/src/ui/sarvex $(ARGS); \
	else examples/show.sh $(BUILD); fi

# The Debian package: $(BUILD)/sarvex_<version>_amd64.deb
package: build
	cd $(BUILD) && cpack -G DEB

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)
	$(MAKE) fuzz-short

# Each fuzz target for 60 seconds (fuzz/run.sh SECONDS runs them longer).
fuzz-short: deps
	fuzz/run.sh 60

bench: build
	./$(BUILD)/bench/sarvex_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
