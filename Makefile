# The two commands a newcomer needs: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps configure package fuzz bench screenshots format check-threads clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run-program $(BUILD)

test: build
	@cd $(BUILD) && ctest -j2 --output-on-failure

package: build
	@cd $(BUILD) && cpack -G DEB

bench: build
	@scripts/run-benchmarks $(BUILD)

screenshots: build
	@scripts/take-screenshots $(BUILD)

fuzz: deps
	@scripts/run-fuzzers

format: deps
	@scripts/check-format

check-threads: deps
	@scripts/check-threads

clean:
	rm -rf $(BUILD)
