# SPDX-License-Identifier: GPL-3.0-or-later
# The two everyday commands: `make run` and `make test`.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test test-sanitize fuzz bench bench-window install package format clean \
        windows test-windows

all: build

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DQUIRLBILD_WERROR=ON

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/src/app/quirlbild

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every test again, built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer; then
# the renderer's and rasteriser's tests with ThreadSanitizer, for the strips drawn in parallel, the
# posters packed while their next band is drawn, and the long drawings that look at waiting events
# while their strips are drawn.
test-sanitize: deps
	cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIRLBILD_SANITIZE=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && \
	  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)
	cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRLBILD_TSAN=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-tsan -j $(JOBS) --target pattern_test raster_test picturefile_test window_test
	TSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen $(BUILD)-tsan/tests/pattern_test
	TSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen $(BUILD)-tsan/tests/raster_test
	TSAN_OPTIONS=halt_on_error=1:allocator_may_return_null=1 QT_QPA_PLATFORM=offscreen \
	  $(BUILD)-tsan/tests/picturefile_test \
	  --gtest_filter='*Poster*:-*Librsvg*'
	TSAN_OPTIONS=halt_on_error=1:suppressions=$(CURDIR)/tests/tsan.supp QT_QPA_PLATFORM=offscreen \
	  $(BUILD)-tsan/tests/window_test \
	  --gtest_filter='LongDrawing.*:*CancelledPoster*'

# The libFuzzer targets, built with clang, each run for FUZZ_SECONDS from the committed seeds.
FUZZ_SECONDS ?= 20
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIRLBILD_FUZZ=ON -DQUIRLBILD_WERROR=ON
	cmake --build $(BUILD)-fuzz -j $(JOBS)
	for target in val differential raster; do \
	  mkdir -p $(BUILD)-fuzz/corpus/$$target && \
	  $(BUILD)-fuzz/fuzz/$${target}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -print_final_stats=1 $(BUILD)-fuzz/corpus/$$target fuzz/corpus/$$target || exit 1; \
	done

bench: build
	./$(BUILD)/bench/quirlbild_bench
	./$(BUILD)/bench/quirlbild_poster_bench

# The real window against a naive peer under a private Xvfb, at screen scales 1 and 2.
bench-window: build
	./$(BUILD)/bench/quirlbild_window_bench --benchmark_report_aggregates_only=true

# Honours DESTDIR and PREFIX: make install DESTDIR=/tmp/stage PREFIX=/usr
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD): sudo apt install ./$(BUILD)/quirlbild_*_amd64.deb
package: build
	cd $(BUILD) && cpack

# The program for 64-bit Windows, cross-built with MinGW-w64 against the Qt for Windows that
# ../shared/toolchains/ holds (unpacked into the build folder, never rebuilt), its tests and its
# installer (build-windows/Quirlbild-VERSION-win64.exe). The tests run under Wine, in a Wine prefix
# of the build folder's own.
WINDOWS_BUILD ?= build-windows
QT_FOR_WINDOWS ?= ../shared/toolchains/qt6-mingw64.tar.xz
WINE_PREFIX = $(CURDIR)/$(WINDOWS_BUILD)/wine
WINE = env WINEPREFIX=$(WINE_PREFIX) WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
windows:
	./scripts/install-deps windows
	@test -f $(QT_FOR_WINDOWS) || { echo "make windows: the Qt for Windows is missing:" \
	  "$(QT_FOR_WINDOWS) (from ../shared/toolchains/ beside this folder)" >&2; exit 1; }
	@test -x $(WINDOWS_BUILD)/qt6-mingw64/bin/qt-cmake || \
	  { mkdir -p $(WINDOWS_BUILD) && tar -C $(WINDOWS_BUILD) -xJf $(QT_FOR_WINDOWS); }
	$(WINDOWS_BUILD)/qt6-mingw64/bin/qt-cmake -S . -B $(WINDOWS_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Release -DQUIRLBILD_WERROR=ON \
	  "-DCMAKE_CROSSCOMPILING_EMULATOR=/usr/bin/env;WINEPREFIX=$(WINE_PREFIX);WINEDEBUG=-all;$(CURDIR)/tests/windows/run-under-wine.sh"
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && cpack

test-windows: windows build
	@test -d $(WINE_PREFIX) || $(WINE) wine wineboot -i
	@# One wineserver for the whole run, up before the first test and kept until the last: a test
	@# that starts while the server of the one before shuts down may fail to start at all. Wine's
	@# own services start with it here, or the first test would lend them its output to keep open.
	-$(WINE) wineserver -k >/dev/null 2>&1
	$(WINE) wineserver -p </dev/null >/dev/null 2>&1
	$(WINE) wine wineboot </dev/null >/dev/null 2>&1
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS); status=$$?; \
	  $(WINE) wineserver -k; exit $$status
	@# The installer, the installed program in a real window on Windows' own platform plugin, and
	@# the uninstaller, in a Wine prefix and on an X display of the test's own.
	./$(BUILD)/tests/wine_window_test $$(ls -t $(WINDOWS_BUILD)/Quirlbild-*-win64.exe | head -n 1)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)
