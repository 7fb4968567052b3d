# Thin front over CMake. `make run` and `make test` install what they need first.
BUILD       ?= build
RUN_BUILD   ?= build-run
BENCH_BUILD ?= build-bench
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps test-deps configure build run test bench clean

all: build

# The program's packages only.
deps:
	@scripts/deps program

# The program's and the tests', fuzz targets' and benchmarks' packages.
test-deps:
	@scripts/deps test

configure: test-deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_WERROR=ON -DQV_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Runs the program's main job: an optimised build without the tests, so that
# it needs nothing the tests need. A device root the package was never
# installed on gets it first, as a device gets the CAB before the first start.
run: deps
	@cmake -S . -B $(RUN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_BUILD_TESTS=OFF -DQV_LAYER_CHECK=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(RUN_BUILD) -j $(JOBS)
	@$(RUN_BUILD)/setup/QvMailInstall
	@if [ -x $(RUN_BUILD)/app/QvMail ]; then exec $(RUN_BUILD)/app/QvMail; \
	else echo "QvMail: the program is not built yet; the engine library and the platform layer were built in $(RUN_BUILD)/."; fi

# The fuzz targets run first so that the test count closes the output. The
# tests start their own servers, which need root (postfix's master, dovecot).
test: build
	@scripts/run-fuzz
	@scripts/run-tests $(BUILD)

bench: test-deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=ON -DQV_LAYER_CHECK=OFF >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-bench $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(BENCH_BUILD) build-fuzz
