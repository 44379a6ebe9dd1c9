# Querna: `make run` starts the program, `make test` runs every test.
# Both first install the Debian packages the build needs when they are missing.

BUILD ?= build
JOBS ?= $(shell nproc)
PACKAGES = build-essential cmake ninja-build pkg-config qt6-base-dev libsqlite3-dev \
           qt6-translations-l10n libqt6svg6 fonts-ipafont-gothic fonts-ipafont-mincho xvfb xauth
BENCH_PACKAGES = libbenchmark-dev libqt6sql6-sqlite
FUZZ_PACKAGES = clang libclang-rt-14-dev

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build run test test-sanitize bench fuzz fuzz-ci install package format clean

# Installs only what dpkg does not already list as installed.
deps:
	@missing=""; for p in $(PACKAGES) $(EXTRA_PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y $$missing; \
	fi

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Only the program itself: the tests are built by `make test`.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target querna
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then ./$(BUILD)/querna; \
	else echo "No display: starting under xvfb-run"; xvfb-run -a ./$(BUILD)/querna; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer; any report fails.
test-sanitize: EXTRA_PACKAGES = $(FUZZ_PACKAGES)
test-sanitize: deps
	CC=clang CXX=clang++ cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DQUERNA_SANITIZE=address,undefined
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

install: build
	$(SUDO) cmake --install $(BUILD)

package: build
	cd $(BUILD) && cpack -G DEB

bench: EXTRA_PACKAGES = $(BENCH_PACKAGES)
bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUERNA_BENCH=ON -DQUERNA_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ./build-bench/bench/querna_bench

fuzz: EXTRA_PACKAGES = $(FUZZ_PACKAGES)
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUERNA_FUZZ=ON -DQUERNA_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	cd build-fuzz/fuzz && for f in fuzz_*; do \
	  if [ -f "$$f" ] && [ -x "$$f" ]; then ./$$f -max_total_time=$${FUZZ_SECONDS:-300} || exit 1; fi; \
	done

# A short run of every fuzz target, as CI does it.
fuzz-ci:
	$(MAKE) fuzz FUZZ_SECONDS=$${FUZZ_SECONDS:-60}

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) build-bench build-fuzz build-sanitize
