# Thin wrapper over CMake + Ninja. `make` builds, `make test` builds and runs
# every test, `make run` starts the development host with the demo project.
BUILD   ?= build
CONFIG  ?= RelWithDebInfo
WERROR  ?= $(if $(CI),ON,OFF)

.PHONY: all build deps test run clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(CONFIG) -DKEM_WERROR=$(WERROR) >/dev/null
	@ninja -C $(BUILD)

test: build
	@cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error
	@ctest --test-dir $(BUILD) --output-on-failure

run: build
	@$(BUILD)/kem-devhost --project examples/demo-project.json

clean:
	rm -rf $(BUILD)
