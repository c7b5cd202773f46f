# Developer entry points. `make test` and `make demo` set up everything they
# need on a fresh machine (missing Debian packages are installed when run as
# root).
BUILD ?= build
SAN_BUILD ?= $(BUILD)-san
FUZZ_BUILD ?= $(BUILD)-fuzz
# Seconds per fuzz target: a short run in `make test`, a long one in `make fuzz`.
FUZZ_SMOKE_SECONDS ?= 6
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: all deps layers build build-demo build-bench build-san build-fuzz fuzz-smoke fuzz test demo bench clean

all: build

deps:
	@./tools/ensure-deps.sh

# Includes point down the layer order (seconds; run first by `make test`).
layers:
	@./tools/check-layers.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUT_TESTS=ON -DZUT_BENCH=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Only what the demo runs: the binary and the database builder.
build-demo:
	@./tools/ensure-deps.sh demo
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUT_TESTS=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target zut zut-mkdb

build-bench: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUT_TESTS=ON -DZUT_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-san: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZUT_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)

build-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUT_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)

fuzz-smoke: build-fuzz
	@./tools/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SMOKE_SECONDS)

fuzz: build-fuzz
	@./tools/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The layer check, then every test in the normal build and again under
# ASan/UBSan, then a short run of every fuzz target.
test: layers build build-san
	@echo "== tests (normal build) =="
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	@cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory fuzz-smoke

demo: build-demo
	@./tools/demo.sh $(BUILD)

bench: build-bench
	@./tools/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(FUZZ_BUILD)
