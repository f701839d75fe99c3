# Thin wrappers over CMake. An IDE can open CMakeLists.txt directly.
BUILD_DIR  ?= build
ASAN_DIR   ?= build-asan
CLANG_DIR  ?= build-clang
FUZZ_DIR   ?= build-fuzz
BENCH_DIR  ?= build-release
PACKAGE_DIR ?= build-package
PREFIX     ?= /usr/local
# Staging root for install and uninstall (packagers): files go to $(DESTDIR)$(PREFIX).
DESTDIR    ?=
JOBS       ?= 2
CMAKE      ?= cmake
CTEST      ?= ctest
CPACK      ?= cpack
CLANGXX    ?= clang++
# How long `make fuzz` runs each fuzz target, in seconds.
FUZZ_SECONDS ?= 60

# Make's "Entering directory" lines, also those of the make that CMake runs,
# say nothing here.
MAKEFLAGS += --no-print-directory

# The one configuration of $(BUILD_DIR), shared by all, test, demo and
# install, so that none of them rebuilds what another built. CMake's status
# lines are left out; its warnings and errors are not.
CONFIGURE = $(CMAKE) -S . -B $(BUILD_DIR) --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DVELKO_WERROR=ON

SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
                UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: format format-check all configure test test-asan test-clang demo install uninstall package \
        bench fuzz fuzz-build fuzz-replay clean check-gtest check-clang

all: configure
	$(CMAKE) --build $(BUILD_DIR) -j$(JOBS)

configure:
	@$(CONFIGURE)

check-gtest:
	@if [ ! -e /usr/include/gtest/gtest.h ] && [ ! -e /usr/local/include/gtest/gtest.h ]; then \
	  echo "GoogleTest is missing: install the Debian package libgtest-dev (apt-get install libgtest-dev)." >&2; \
	  exit 1; \
	fi

check-clang:
	@if ! command -v $(CLANGXX) >/dev/null 2>&1; then \
	  echo "$(CLANGXX) is missing: install the Debian packages clang and libclang-rt-dev." >&2; \
	  exit 1; \
	fi

test: check-gtest configure
	$(CMAKE) --build $(BUILD_DIR) -j$(JOBS)
	$(CTEST) --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

test-asan: check-gtest
	$(CMAKE) -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELKO_WERROR=ON -DVELKO_SANITIZE=ON
	$(CMAKE) --build $(ASAN_DIR) -j$(JOBS)
	$(SANITIZER_ENV) $(CTEST) --test-dir $(ASAN_DIR) --output-on-failure -j$(JOBS)

# Everything, tests included, built with clang++ and warnings as errors, then
# the tests run.
test-clang: check-gtest check-clang
	$(CMAKE) -S . -B $(CLANG_DIR) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELKO_WERROR=ON
	$(CMAKE) --build $(CLANG_DIR) -j$(JOBS)
	$(CTEST) --test-dir $(CLANG_DIR) --output-on-failure -j$(JOBS)

# The fuzz targets, built with clang, libFuzzer and the sanitizers.
fuzz-build: check-clang
	$(CMAKE) -S . -B $(FUZZ_DIR) -DCMAKE_CXX_COMPILER=$(CLANGXX) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELKO_WERROR=ON -DVELKO_SANITIZE=ON -DVELKO_FUZZ=ON -DVELKO_TESTS=OFF
	$(CMAKE) --build $(FUZZ_DIR) -j$(JOBS) --target velko_fuzzers

# Each fuzz target once over its committed corpus (what CI runs).
fuzz-replay: fuzz-build
	$(SANITIZER_ENV) ./fuzz/run.sh $(FUZZ_DIR) replay

# Each fuzz target for FUZZ_SECONDS on a scratch copy of its corpus.
fuzz: fuzz-build
	$(SANITIZER_ENV) ./fuzz/run.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

# The end-to-end tests with every run of trovel and wendle under valgrind, in
# a plain debug build (opt-in: it takes minutes). An invalid access or a leak
# in any run fails it: valgrind's exit status fails the test that sees it,
# and its report, kept per run under $(VALGRIND_DIR)/valgrind/, fails the
# target even where the test expected a failing run.
VALGRIND_DIR ?= build-valgrind
VALGRIND     ?= valgrind --error-exitcode=1 --leak-check=full
.PHONY: valgrind
valgrind: check-gtest
	$(CMAKE) -S . -B $(VALGRIND_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELKO_WERROR=ON
	$(CMAKE) --build $(VALGRIND_DIR) -j$(JOBS) --target trovel_e2e wendle_e2e
	rm -rf $(VALGRIND_DIR)/valgrind && mkdir -p $(VALGRIND_DIR)/valgrind
	VELKO_TEST_WRAPPER="$(VALGRIND) --log-file=$(abspath $(VALGRIND_DIR))/valgrind/%p.log" \
	  $(VALGRIND_DIR)/trovel_e2e && \
	VELKO_TEST_WRAPPER="$(VALGRIND) --log-file=$(abspath $(VALGRIND_DIR))/valgrind/%p.log" \
	  $(VALGRIND_DIR)/wendle_e2e
	@if grep -l 'ERROR SUMMARY: [1-9]' $(VALGRIND_DIR)/valgrind/*.log; then \
	  echo "valgrind found errors: see the reports listed above" >&2; exit 1; \
	fi
	@echo "valgrind: $$(ls $(VALGRIND_DIR)/valgrind | wc -l) runs, no error"

# Hand-made mutants, one at a time, each against the whole suite (opt-in; see
# tests/mutation/run). Fails when a mutant survives.
.PHONY: mutants
mutants: check-gtest
	./tests/mutation/run

# Speed and memory against tar, cat and cp, see bench/README.md (BENCH_REPEAT,
# BENCH_SCALE and BENCH_HUGE are read from the environment or the command line).
bench:
	$(CMAKE) -S . -B $(BENCH_DIR) -DCMAKE_BUILD_TYPE=Release -DVELKO_TESTS=OFF
	$(CMAKE) --build $(BENCH_DIR) -j$(JOBS) --target trovel wendle
	$(CMAKE) -S bench -B $(BENCH_DIR)/bench -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BENCH_DIR)/bench -j$(JOBS)
	./bench/run $(BENCH_DIR)

# Builds only the two programs (not the tests), then runs the example from
# assets to game code under $(BUILD_DIR)/demo.
demo: configure
	@echo "Building trovel and wendle in $(BUILD_DIR)/"
	@$(CMAKE) --build $(BUILD_DIR) -j$(JOBS) --target trovel wendle
	@./examples/demo.sh $(BUILD_DIR)

# The two programs, their manual pages and bash completions, under PREFIX
# (and DESTDIR). What was installed is listed in
# $(BUILD_DIR)/install_manifest.txt, which `make uninstall` reads.
install: configure
	$(CMAKE) --build $(BUILD_DIR) -j$(JOBS) --target trovel wendle
	DESTDIR="$(DESTDIR)" $(CMAKE) --install $(BUILD_DIR) --prefix $(PREFIX)

# Removes exactly the files that the last `make install` listed in its
# manifest, below the same DESTDIR (the folders stay).
uninstall:
	@if [ ! -f $(BUILD_DIR)/install_manifest.txt ]; then \
	  echo "Nothing to uninstall: $(BUILD_DIR)/install_manifest.txt is missing." >&2; \
	  exit 1; \
	fi
	@while IFS= read -r file || [ -n "$$file" ]; do \
	  target="$(DESTDIR)$$file"; \
	  if [ -e "$$target" ] || [ -L "$$target" ]; then echo "Removing $$target"; rm -f -- "$$target"; fi; \
	done < $(BUILD_DIR)/install_manifest.txt

# A Debian package and a tarball in $(PACKAGE_DIR), from a Release build
# installed under /usr.
package:
	$(CMAKE) -S . -B $(PACKAGE_DIR) -DCMAKE_BUILD_TYPE=Release -DVELKO_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr
	$(CMAKE) --build $(PACKAGE_DIR) -j$(JOBS) --target trovel wendle
	cd $(PACKAGE_DIR) && $(CPACK)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(CLANG_DIR) $(FUZZ_DIR) $(BENCH_DIR) $(PACKAGE_DIR) $(VALGRIND_DIR)

# The layout of every C++ file is .clang-format's.
format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# ---- Windows, cross-built with mingw-w64 and tested under Wine -------------
# Not part of `make test`. `make windows` builds build-windows/trovel.exe and
# wendle.exe (statically linked); `make test-windows` builds the unit tests
# for Windows and runs them, the end-to-end tests against the .exe files and
# the same-bytes check under Wine; `make package-windows` zips a release.
WIN_DIR       ?= build-windows
WIN_TEST_DIR  ?= $(WIN_DIR)/tests
WIN_PROGRAMS  ?= $(WIN_DIR)/programs
WIN_HOST_DIR  ?= $(WIN_DIR)/host
WIN_TOOLCHAIN ?= $(CURDIR)/cmake/mingw-w64-x86_64.cmake
MINGW_CXX     ?= x86_64-w64-mingw32-g++-posix
WINE          ?= wine
WINESERVER    ?= wineserver
# Seconds that the Wine server of `make test-windows` stays after its last
# program.
WINE_LINGER   ?= 60
WINEPREFIX    ?= $(CURDIR)/$(WIN_DIR)/wineprefix
WIN_PACKAGE   ?= $(WIN_DIR)/velko-tools-windows.zip
WIN_ENV        = WINEPREFIX=$(WINEPREFIX) WINEDEBUG=-all WINE=$(WINE)

.PHONY: windows test-windows package-windows check-mingw check-wine

# Installs what is missing when run as root on Debian; otherwise says what to
# install.
check-mingw:
	@if ! command -v $(MINGW_CXX) >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	    apt-get install -y g++-mingw-w64-x86-64-posix; \
	  else \
	    echo "$(MINGW_CXX) is missing: install the Debian package g++-mingw-w64-x86-64-posix (apt-get install g++-mingw-w64-x86-64-posix wine64)." >&2; \
	    exit 1; \
	  fi; \
	fi

check-wine:
	@if ! command -v $(WINE) >/dev/null 2>&1; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then \
	    apt-get install -y wine64 wine; \
	  else \
	    echo "$(WINE) is missing: install the Debian packages wine64 and wine (apt-get install g++-mingw-w64-x86-64-posix wine64 wine)." >&2; \
	    exit 1; \
	  fi; \
	fi

windows: check-mingw
	$(CMAKE) -S . -B $(WIN_DIR) -DCMAKE_TOOLCHAIN_FILE=$(WIN_TOOLCHAIN) -DCMAKE_BUILD_TYPE=Release \
	  -DVELKO_WERROR=ON -DVELKO_TESTS=OFF
	$(CMAKE) --build $(WIN_DIR) -j$(JOBS) --target trovel wendle

# The unit tests built for Windows, then every end-to-end test, built for
# Linux in $(WIN_HOST_DIR) and run against the .exe files, then the same-bytes
# check, all under Wine. The end-to-end cases get longer than on Linux, as
# every run starts Wine. A Wine server of its own is started first (the one
# of this prefix, if any, is stopped) and lingers, so that it never inherits
# the limits that a case sets for the program it runs.
test-windows: check-mingw check-wine check-gtest windows
	$(CMAKE) -S tests/windows -B $(WIN_TEST_DIR) -DCMAKE_TOOLCHAIN_FILE=$(WIN_TOOLCHAIN) \
	  -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(WIN_TEST_DIR) -j$(JOBS)
	$(WIN_ENV) $(CTEST) --test-dir $(WIN_TEST_DIR) --output-on-failure
	$(CMAKE) -S . -B $(WIN_HOST_DIR) --log-level=WARNING -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVELKO_WERROR=ON -DVELKO_TEST_TIMEOUT=900
	$(CMAKE) --build $(WIN_HOST_DIR) -j$(JOBS) --target trovel trovel_e2e wendle_e2e
	mkdir -p $(WIN_PROGRAMS)
	for p in trovel wendle; do \
	  printf '#!/bin/sh\nexec %s %s "$$@"\n' '$(WINE)' '$(CURDIR)/$(WIN_DIR)/'$$p.exe >$(WIN_PROGRAMS)/$$p; \
	  chmod +x $(WIN_PROGRAMS)/$$p; \
	done
	-$(WIN_ENV) $(WINESERVER) -k
	$(WIN_ENV) $(WINESERVER) -w
	$(WIN_ENV) $(WINESERVER) -p $(WINE_LINGER)
	$(WIN_ENV) $(WIN_PROGRAMS)/wendle -h >/dev/null
	$(WIN_ENV) VELKO_WINDOWS_PROGRAMS=$(CURDIR)/$(WIN_PROGRAMS) $(CTEST) \
	  --test-dir $(WIN_HOST_DIR)/obj/tests/e2e --output-on-failure -j$(JOBS) \
	  -E "^($$(grep -v '^#' tests/windows/e2e_excluded.txt | paste -sd'|'))$$"
	$(WIN_ENV) tests/windows/same_bytes.sh $(WIN_HOST_DIR)/trovel $(WIN_DIR)/trovel.exe

# A release zip: both programs, the manual pages rendered as text (those in
# docs/man, when there are any), the other manuals and the README.
package-windows: windows
	rm -rf $(WIN_DIR)/package $(WIN_PACKAGE)
	mkdir -p $(WIN_DIR)/package/velko-tools
	cp $(WIN_DIR)/trovel.exe $(WIN_DIR)/wendle.exe README.md CHANGELOG.md docs/*.md $(WIN_DIR)/package/velko-tools/
	for page in docs/man/*.1; do \
	  [ -e "$$page" ] || continue; \
	  groff -man -Tutf8 -P-cbou "$$page" >$(WIN_DIR)/package/velko-tools/$$(basename "$$page" .1).txt; \
	done
	cd $(WIN_DIR)/package && zip -qr -X ../$(notdir $(WIN_PACKAGE)) velko-tools
	@echo "Windows release: $(WIN_PACKAGE)"
