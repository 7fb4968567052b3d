# Thin front over CMake. `make run` and `make test` install what they need first.
BUILD       ?= build
BENCH_BUILD ?= build-bench
JOBS        ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_WERROR=ON -DQV_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Runs the program's main job. Until the program exists it builds everything.
run: build
	@if [ -x $(BUILD)/app/QvMail ]; then exec $(BUILD)/app/QvMail; \
	else echo "QvMail: the program is not built yet; the engine library and the platform layer were built in $(BUILD)/."; fi

# The fuzz targets run first so that the test count closes the output.
test: build
	@scripts/run-fuzz
	@scripts/run-tests $(BUILD)

bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF -DQV_BUILD_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@scripts/run-bench $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
