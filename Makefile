# Thin wrapper over CMake + Ninja. `make` builds, `make test` builds and runs
# every test, `make run` starts the development host with the demo project.
BUILD   ?= build
CONFIG  ?= RelWithDebInfo
WERROR  ?= $(if $(CI),ON,OFF)

UNAME   := $(shell uname -s)

FUZZ_SECONDS ?= 60
FUZZ_TARGETS := handshake frame origin dispatcher
SANITIZE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEM_WERROR=$(WERROR) -DKEM_NODE_TESTS=OFF

.PHONY: all build deps web-deps test run clean install uninstall package streamdeck streamdeck-deps streamdeck-test asan tsan fuzz stress bench windows windows-deps test-windows

all: build

deps:
	@scripts/install-deps.sh

# The ws package for Node 20, where the examples and kem-doctor's users find it
# (web/node_modules), from the committed lock file.
web-deps: deps
	@cd web && npm ci --no-audit --no-fund --loglevel=error >&2

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(CONFIG) -DKEM_WERROR=$(WERROR) >/dev/null
	@ninja -C $(BUILD) >&2

# Every test in the normal build, then the unit, integration, stress and
# corpus-replay tests again under AddressSanitizer + UndefinedBehaviorSanitizer
# and under ThreadSanitizer, then the Stream Deck plug-in's tests, then (on
# Linux) the Windows build's tests under Wine and its release archive. Two
# tests at a time: the in-process server tests each have a port of their own;
# those on 127.0.0.1:7890 take turns (a lock).
test: build web-deps asan
	@scripts/install-deps.sh chromium
	@cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error
	@ctest --test-dir $(BUILD) --output-on-failure -j2
	@ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir build-asan --output-on-failure -j2
	@$(MAKE) --no-print-directory tsan
	@$(MAKE) --no-print-directory streamdeck-test
	@$(if $(filter Linux,$(UNAME)),$(MAKE) --no-print-directory test-windows,echo "the Windows build is cross-built and tested on Linux only")

# The Windows build, cross-built with mingw-w64: build-windows/KEMEngine.prm,
# kem-devhost.exe and the test programs.
windows-deps: deps
	@scripts/install-deps.sh --no-recommends g++-mingw-w64-x86-64-posix wine wine64 libgnutls30

windows: windows-deps
	@cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DKEM_WERROR=$(WERROR) -DKEM_NODE_TESTS=OFF >/dev/null
	@ninja -C build-windows >&2

# The Windows build's tests under Wine, then the Node client tests against
# its development host.
test-windows: windows web-deps
	@cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error
	@scripts/test-windows.sh

asan: deps
	@cmake -S . -B build-asan -G Ninja $(SANITIZE_FLAGS) -DKEM_SANITIZE=address,undefined >/dev/null
	@ninja -C build-asan

# The same tests under ThreadSanitizer.
tsan: deps
	@cmake -S . -B build-tsan -G Ninja $(SANITIZE_FLAGS) -DKEM_SANITIZE=thread >/dev/null
	@ninja -C build-tsan
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build-tsan --output-on-failure -j2

# Each libFuzzer target for FUZZ_SECONDS, starting from the committed seeds.
# New inputs go to build-fuzz/corpus; crashes to build-fuzz/crash-*.
fuzz: deps
	@scripts/install-deps.sh clang libclang-rt-14-dev
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja $(SANITIZE_FLAGS) -DKEM_FUZZ=ON \
	  -DKEM_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
	@ninja -C build-fuzz $(addprefix kem_fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t; \
	  echo "== fuzzing $$t for $(FUZZ_SECONDS) s"; \
	  build-fuzz/tests/fuzz/kem_fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=20 -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/crash-$$t- build-fuzz/corpus/$$t tests/fuzz/corpus/$$t || exit 1; \
	done

# The module into the host's plug-in folder (KEM_PLUGIN_DIR overrides it,
# DESTDIR stages), and the user's allowlist folder with an example origins.txt
# when there is none. uninstall removes exactly that, never origins.txt.
install: build
	@$(if $(KEM_PLUGIN_DIR),cmake -S . -B $(BUILD) -DKEM_PLUGIN_DIR="$(KEM_PLUGIN_DIR)" >/dev/null)
	@cmake --install $(BUILD)

uninstall:
	@cmake --build $(BUILD) --target uninstall

# Release archives (CPack ZIP with SHA-256 sums): on Linux the Windows one,
# build-windows/package/KEMEngine-VERSION-windows-x64.zip; on macOS the bundle's,
# build/package/KEMEngine-VERSION-macos-universal.zip.
package:
	@$(if $(filter Linux,$(UNAME)),$(MAKE) --no-print-directory windows && cd build-windows && cpack >&2,\
	  $(MAKE) --no-print-directory build && cd $(BUILD) && cpack >&2)

# The Stream Deck plug-in (integrations/streamdeck): bundle bin/plugin.js,
# validate the plug-in folder, pack build/dev.kem-engine.streamdeck.streamDeckPlugin.
streamdeck-deps: deps
	@cd integrations/streamdeck && npm ci --no-audit --no-fund --loglevel=error >&2

streamdeck: streamdeck-deps
	@cd integrations/streamdeck && npm run --silent build >&2 && npm run --silent validate && npm run --silent pack

# Validate, then its tests in a stand-in for the Stream Deck application
# against the development host.
streamdeck-test: build streamdeck-deps
	@cd integrations/streamdeck && npm run --silent build >&2 && npm run --silent validate
	@cd integrations/streamdeck && KEM_DEVHOST=$(CURDIR)/$(BUILD)/kem-devhost npm test

run: build web-deps
	@$(BUILD)/kem-devhost --project examples/demo-project.json

# Longer load and fault tests (KEM_STRESS_SECONDS, default 60).
stress: build
	@KEM_STRESS_SECONDS=$${KEM_STRESS_SECONDS:-60} $(BUILD)/tests/kem_stress_tests

# Release build; KEM Engine against the raw TCP and Beast echo baselines; rewrites docs/performance.md.
bench: deps
	@scripts/install-deps.sh libboost-dev
	@cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKEM_TESTS=OFF -DKEM_BENCH=ON >/dev/null
	@ninja -C build-release
	@build-release/bench/kem-bench build-release/kem-devhost build-release/bench/kem_raw_echo \
	  build-release/bench/kem_beast_echo examples/demo-project.json docs/performance.md

clean:
	rm -rf $(BUILD) build-asan build-tsan build-fuzz build-release build-windows
