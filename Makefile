# Developer entry points. `make test` and `make demo` set up everything they
# need on a fresh machine (missing Debian packages are installed when run as
# root).
BUILD ?= build
SAN_BUILD ?= $(BUILD)-san
JOBS ?= $(shell nproc)

.PHONY: all deps build build-san test demo bench clean

all: build

deps:
	@./tools/ensure-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-san: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DZUT_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)

# Every test, in the normal build and again under ASan/UBSan.
test: build build-san
	@echo "== tests (normal build) =="
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer) =="
	@cd $(SAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

demo: build
	@./tools/demo.sh $(BUILD)

bench: build
	@./tools/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
