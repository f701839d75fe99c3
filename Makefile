# Thin wrappers over CMake. An IDE can open CMakeLists.txt directly.
BUILD_DIR  ?= build
ASAN_DIR   ?= build-asan
PREFIX     ?= /usr/local
JOBS       ?= 2
CMAKE      ?= cmake
CTEST      ?= ctest

.PHONY: all configure test test-asan demo install bench fuzz clean check-gtest

all: configure
	$(CMAKE) --build $(BUILD_DIR) -j$(JOBS)

configure:
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)

check-gtest:
	@if [ ! -e /usr/include/gtest/gtest.h ] && [ ! -e /usr/local/include/gtest/gtest.h ]; then \
	  echo "GoogleTest is missing: install the Debian package libgtest-dev (apt-get install libgtest-dev)." >&2; \
	  exit 1; \
	fi

test: check-gtest
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKO_WERROR=ON
	$(CMAKE) --build $(BUILD_DIR) -j$(JOBS)
	$(CTEST) --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

test-asan: check-gtest
	$(CMAKE) -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVELKO_WERROR=ON -DVELKO_SANITIZE=ON
	$(CMAKE) --build $(ASAN_DIR) -j$(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(CTEST) --test-dir $(ASAN_DIR) --output-on-failure -j$(JOBS)

demo: all
	./examples/demo.sh $(BUILD_DIR)

install: all
	$(CMAKE) --install $(BUILD_DIR) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
