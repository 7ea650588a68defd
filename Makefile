# make run   installs what is missing, builds, runs the main job
# make test  installs what is missing, builds, runs every test (also under ASan + UBSan, and
#            the tests of code with threads under ThreadSanitizer); builds the fuzz targets
# make package  builds the Debian package $(BUILD)/sorbit_VERSION_ARCH.deb
# make fuzz  builds the libFuzzer targets (clang) and runs each FUZZ_SECONDS
#
# Every tree made here treats warnings as errors (-DSORBIT_WERROR=ON); the project's own
# default leaves them warnings, for whoever packages it with another compiler.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_CHECK_BUILD ?= build-fuzz-check
JOBS       ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all deps build asan tsan test run bench fuzz fuzz-build fuzz-check format check-format clean package

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBIT_WERROR=ON
	cmake --build $(BUILD) -j$(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORBIT_WERROR=ON -DSORBIT_SANITIZE=ON -DSORBIT_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)

# The tests of code with threads (label "threads"), built and run under ThreadSanitizer; only
# their targets are built, so this tree costs a couple of minutes.
TSAN_TARGETS = tekuri2svf_test tekuri2svf_parts_test sjisregexp_thread_tests
tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORBIT_WERROR=ON -DSORBIT_SANITIZE_THREAD=ON -DSORBIT_BENCH=OFF -DSORBIT_UI=OFF
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target $(TSAN_TARGETS)

test: build asan tsan fuzz-check check-format
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure -j$(JOBS) -L threads

package: build
	cmake --build $(BUILD) --target package

run: build
	@scripts/run.sh $(BUILD)

bench: build
	bench/run.sh $(BUILD)

# The libFuzzer targets and what they link, nothing else (no tests, window or benchmarks).
# $(call fuzz_tree,FOLDER,OPTIMISATION) configures and builds such a tree with clang.
fuzz_tree = CXX=clang++ cmake -S . -B $(1) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$(2) -DNDEBUG" -DSORBIT_WERROR=ON -DSORBIT_FUZZ=ON \
	  -DBUILD_TESTING=OFF -DSORBIT_UI=OFF -DSORBIT_BENCH=OFF && \
	cmake --build $(1) -j$(JOBS) --target fuzzers

# `make fuzz` runs the targets of an optimised tree.
fuzz-build: deps
	$(call fuzz_tree,$(FUZZ_BUILD),-O2 -g)

# `make test` builds them so that they cannot stop compiling unseen: without optimisation,
# which gives the same clang diagnostics (warnings are errors) for much less work, in a tree
# of its own so that the fuzzing tree stays optimised.
fuzz-check: deps
	$(call fuzz_tree,$(FUZZ_CHECK_BUILD),-O0)

fuzz: fuzz-build
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

check-format:
	@scripts/check-format.sh

format:
	git ls-files '*.h' '*.cpp' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(FUZZ_CHECK_BUILD) out
