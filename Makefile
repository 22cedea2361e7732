# Quillon: the two commands that set everything up on a fresh Debian 12 machine.
#   make run    installs what is needed, builds, and recognises the bundled sample page
#   make test   installs what is needed, builds, and runs every test, then again under
#               AddressSanitizer and UndefinedBehaviorSanitizer

BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
SAMPLE ?= samples/sample.png

.PHONY: all setup build run test test-fast asan bench bench-classic format clean

all: build

setup:
	bash scripts/setup

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/gui/quillon $(SAMPLE) -

# The tests build with warnings as errors (as CI does); make run does not.
test-fast: setup $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DQUILLON_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON

asan: setup $(ASAN_BUILD)/build.ninja
	cmake -S . -B $(ASAN_BUILD) -DQUILLON_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

test: test-fast asan

# The classic text of every bench page, byte for byte as kept in bench/classic/.
bench-classic: build
	bench/check_classic.sh ./$(BUILD)/gui/quillon

bench: bench-classic
	./$(BUILD)/bench/bench_pages
	./$(BUILD)/bench/bench_pages --quillon-arg=--recogniser=extended

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
