# Quillon: the two commands that set everything up on a fresh Debian 12 machine.
#   make run    installs what is needed, builds, and recognises the bundled sample page
#   make test   installs what is needed, builds the libFuzzer targets (clang) and runs a
#               short smoke of each, then builds and runs every test under AddressSanitizer
#               and UndefinedBehaviorSanitizer (gcc, warnings as errors)

BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
FUZZ_SECONDS ?= 300
# The fuzzing smoke of `make test`: a few seconds per target, two targets at a time.
FUZZ_SMOKE_SECONDS ?= 3
FUZZ_SMOKE_JOBS ?= 2
JOBS ?= $(shell nproc)
SAMPLE ?= samples/sample.png

.PHONY: all setup build run test test-fast asan fuzz fuzz-smoke tsan bench bench-classic bench-typeset format clean model letter-model

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

# The sanitizer build at -Og with line tables only: gcc compiles it no slower than at -O0,
# and recognition under the sanitizers runs more than twice as fast (the tests that start
# the program gain less: its start and leak check weigh more there); the reports still give
# file and line.
ASAN_FLAGS ?= -Og -g1
$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="$(ASAN_FLAGS)"

asan: setup $(ASAN_BUILD)/build.ninja
	cmake -S . -B $(ASAN_BUILD) -DQUILLON_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 QT_QPA_PLATFORM=offscreen \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer targets (clang), one per decoder, the word list, the learned-grid store and
# the whole run: `make fuzz FUZZ_SECONDS=600` fuzzes each for that long. Built at -O1 with
# line tables only, as fuzzers commonly are: quick to compile, quick to run, and the reports
# still give file and line. Warnings are errors here too, so clang checks them as well.
# The smoke of `make test` builds them apart at -O0: two fifths quicker to compile, and a
# few seconds of fuzzing need no speed.
FUZZ_FLAGS ?= -O1 -gline-tables-only
FUZZ_SMOKE_FLAGS ?= -O0 -gline-tables-only
FUZZ_SMOKE_BUILD ?= build-fuzz-smoke
fuzz_configure = CC=clang-14 CXX=clang++-14 cmake -S . -B $(1) -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(2)" \
  -DQUILLON_FUZZ=ON -DQUILLON_WERROR=ON -DQUILLON_GUI=OFF -DBUILD_TESTING=OFF
$(FUZZ_BUILD)/build.ninja:
	$(call fuzz_configure,$(FUZZ_BUILD),$(FUZZ_FLAGS))
$(FUZZ_SMOKE_BUILD)/build.ninja:
	$(call fuzz_configure,$(FUZZ_SMOKE_BUILD),$(FUZZ_SMOKE_FLAGS))

fuzz: setup $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	scripts/fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

fuzz-smoke: setup $(FUZZ_SMOKE_BUILD)/build.ninja
	cmake --build $(FUZZ_SMOKE_BUILD) -j $(JOBS) --target fuzz_all
	FUZZ_JOBS=$(FUZZ_SMOKE_JOBS) scripts/fuzz $(FUZZ_SMOKE_BUILD) $(FUZZ_SMOKE_SECONDS)

# ThreadSanitizer over the tests that start threads (the scanner's worker, the
# classification on all cores, the extended recogniser's two readers, template painters and
# ink bands, the learned classifier's nets and readings shared by both readers, the word list
# and faces loaded meanwhile).
# Not part of `make test`: a third full build would take CI past its time.
$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TSAN=ON \
	  -DQUILLON_GUI=OFF

tsan: setup $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target test_app_intake test_recognition_run \
	  test_extended test_glyph_classifier test_app test_layout test_threads
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest --output-on-failure -j $(JOBS) -R '^(ParallelFor|PageThreads|Scan|ScanLineArt|ClassifyAll|ExtendedRunTest|ReadingOrderTest|GlyphNet|ExtendedInk|WordListAtStart)\.|PicturePagesTest\.APageReadAhead|BlackWhite\.TableConversionMatchesPlainRule|MakeSearchMap\.|GlyphClassifier\.(ThreadsReadAlikeAtOnce|PreparedSizes|FacesOpenedMeanwhile)'

# The tests run once, under the sanitizers (make test-fast runs them without, in the build
# that make run uses). The fuzzing smoke comes first: its build is the shorter, so a
# decoder that fails again, or code that clang refuses, shows within minutes.
test: fuzz-smoke asan

# The classic text of every bench page, byte for byte as kept in bench/classic/.
bench-classic: build
	bench/check_classic.sh ./$(BUILD)/gui/quillon

bench: bench-classic
	./$(BUILD)/bench/bench_pages
	./$(BUILD)/bench/bench_pages --quillon-arg=--recogniser=extended
	./$(BUILD)/bench/bench_pages --real

# Pages typeset by pdflatex, Pango and groff in other faces, some degraded as copiers, fax machines
# and phones degrade them; the error rates of both recognisers (and of Tesseract and Ocrad where
# installed). Its tools come from scripts/setup-bench, which neither `make run` nor `make test` needs.
TYPESET_PAGES ?= $(BUILD)/typeset-pages
bench-typeset: build
	bash scripts/setup-bench
	bench/typeset/test_measure
	bench/typeset/make_pages $(TYPESET_PAGES)
	bench/typeset/measure --quillon=./$(BUILD)/gui/quillon $(TYPESET_PAGES)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(FUZZ_SMOKE_BUILD) $(TSAN_BUILD)

# The extended recogniser's glyph model: renders, trains (fixed seeds), exports data/glyphnet.* and
# tests/data/glyphnet/cases.txt. Not part of run or test (the model is committed); set up once with
# scripts/setup-training. MODEL_ARGS passes settings, e.g. MODEL_ARGS="--epochs 2".
MODEL_ARGS ?=
model: letter-model
	/usr/bin/python3 training/train.py $(MODEL_ARGS)

# The letter model of the page's languages (data/letters.tsv) from Debian's word lists.
letter-model:
	/usr/bin/python3 training/letter_model.py
