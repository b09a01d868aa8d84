# SPDX-License-Identifier: GPL-3.0-or-later
# Set-up and entry points. `make run` and `make test` work on a fresh Debian 12 machine as root.
SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
PACKAGE_BUILD ?= build-package
JOBS ?= $(shell nproc)
# Building and running the two programs (the example disc is written by a Python script).
RUN_PACKAGES := build-essential cmake pkg-config python3 qt6-base-dev libcli11-dev nlohmann-json3-dev fonts-liberation fonts-ipafont-gothic \
                libflac-dev libavformat-dev libavcodec-dev libavutil-dev
# The tests, benchmarks, package checks and fuzz targets add these: libcdio reads the CD-TEXT packs back,
# mednafen plays the images when it is there, xvfb and openbox carry the screenshots and the
# window-manager test, clang builds the fuzz targets, flac, wavpack, lame and ffmpeg encode the audio
# files of the source tests.
TEST_PACKAGES := libgtest-dev libgmock-dev libbenchmark-dev libcdio-dev xvfb xauth x11-utils openbox mednafen \
                 help2man dpkg-dev lintian file appstream desktop-file-utils bash-completion groff-base \
                 clang libclang-rt-14-dev flac wavpack lame ffmpeg
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps deps-run build build-run build-asan run test package fuzz-short bench clean

# Installs the Debian packages of the list given that are missing.
define install_missing
	@missing=$$(for p in $(1); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing: $$missing"; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps-run:
	$(call install_missing,$(RUN_PACKAGES))

deps:
	$(call install_missing,$(RUN_PACKAGES) $(TEST_PACKAGES))

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DSARVEX_WERROR=ON -DSARVEX_SANITIZE=OFF -DSARVEX_GUI=ON -DSARVEX_CLI=ON -DSARVEX_TESTS=ON -DSARVEX_BENCH=ON -DSARVEX_PACKAGE_BUILD_DIR=$(CURDIR)/$(PACKAGE_BUILD) >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARVEX_WERROR=ON -DSARVEX_SANITIZE=ON -DSARVEX_GUI=ON -DSARVEX_CLI=ON -DSARVEX_TESTS=ON -DSARVEX_BENCH=OFF -DSARVEX_PACKAGE_BUILD_DIR=$(CURDIR)/$(PACKAGE_BUILD) >/dev/null
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The programs alone, without the tests and benchmarks.
build-run: deps-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DSARVEX_WERROR=ON -DSARVEX_SANITIZE=OFF -DSARVEX_GUI=ON -DSARVEX_CLI=ON -DSARVEX_TESTS=OFF -DSARVEX_BENCH=OFF >/dev/null
	cmake --build $(BUILD) -j$(JOBS)

# Starts the desktop program; without a display it shows sarvex-cli converting the example disc.
run: build-run
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/src/ui/sarvex $(ARGS); \
	else examples/show.sh $(BUILD); fi

# The Debian package: $(BUILD)/sarvex_<version>_amd64.deb, built with the distribution's hardening flags
# in $(PACKAGE_BUILD); the maintainer is DEBFULLNAME <DEBEMAIL>, else this machine's user.
package: deps
	packaging/build-package.sh . $(PACKAGE_BUILD) $(BUILD)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j$(JOBS)
	$(MAKE) fuzz-short

# Each fuzz target for 60 seconds (fuzz/run.sh SECONDS runs them longer).
fuzz-short: deps
	fuzz/run.sh 60

bench: build
	./$(BUILD)/bench/sarvex_bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(PACKAGE_BUILD)
