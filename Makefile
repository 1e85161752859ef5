# The two everyday commands: `make run` and `make test`. Both install what is missing first.
JOBS ?= $(shell nproc)
RUN_DIR := build/release
TEST_DIR := build/test
TSAN_DIR := build/tsan
BENCH_DIR := build/bench
SAMPLE ?= examples/sample.dump

.PHONY: run test tsan deps build bench fuzz clean install package

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B $(RUN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(RUN_DIR) -j $(JOBS)

# Opens the window on the sample dump; without a display, shows what the command line sees.
run: build
	@if [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; then \
		$(RUN_DIR)/bin/kalvex $(SAMPLE); \
	else \
		echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): showing kalvex-cli info $(SAMPLE) instead."; \
		$(RUN_DIR)/bin/kalvex-cli info $(SAMPLE); \
	fi

test: deps
	@cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVEX_SANITIZE=ON \
		-DKALVEX_WERROR=ON >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

# The concurrency tests under ThreadSanitizer, in a build of their own: AddressSanitizer
# and ThreadSanitizer cannot share one. It builds only the core and those tests.
tsan: deps
	@cmake -S . -B $(TSAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKALVEX_TSAN=ON \
		-DKALVEX_WERROR=ON >/dev/null
	@cmake --build $(TSAN_DIR) -j $(JOBS)
	@cd $(TSAN_DIR) && ctest --output-on-failure -j $(JOBS) -L concurrency

# Release at -O2 without sanitizers, in its own folder; the archives are made once and kept.
bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DKALVEX_SANITIZE=OFF \
		-DKALVEX_BUILD_TESTS=OFF -DKALVEX_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS)
	@KX_BENCH_BUILD=$(BENCH_DIR) bash scripts/bench.sh

# libFuzzer targets (clang), each run for FUZZ_SECONDS seconds; see scripts/fuzz.sh.
FUZZ_DIR := build/fuzz
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh --fuzz
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_CXX_COMPILER=clang++ -DKALVEX_BUILD_TESTS=OFF -DKALVEX_BUILD_FUZZ=ON >/dev/null
	@nice -n 10 cmake --build $(FUZZ_DIR) -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_BUILD=$(FUZZ_DIR) bash scripts/fuzz.sh

# Installs the programs, the desktop entry, the dump file type, icons, man pages and the
# completion under PREFIX (default /usr/local), from the release build.
PREFIX ?= /usr/local
install: build
	@cmake --install $(RUN_DIR) --prefix $(PREFIX)

# The Debian package, from a release build of its own with /usr as its prefix:
# build/package/kalvex_<version>_<arch>.deb.
PACKAGE_DIR := build/package-build
package: deps
	@cmake -S . -B $(PACKAGE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	@cmake --build $(PACKAGE_DIR) -j $(JOBS)
	@cd $(PACKAGE_DIR) && cpack -G DEB
	@rm -rf build/package/_CPack_Packages

clean:
	rm -rf build
