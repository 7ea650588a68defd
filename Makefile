# make run   installs what is missing, builds, runs the main job
# make test  installs what is missing, builds, runs every test (also under ASan + UBSan)
# make package  builds the Debian package $(BUILD)/sorbit_VERSION_ARCH.deb
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all deps build asan test run bench fuzz format check-format clean package

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSORBIT_SANITIZE=ON -DSORBIT_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j$(JOBS)

test: build asan check-format
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j$(JOBS)

package: build
	cmake --build $(BUILD) --target package

run: build
	@scripts/run.sh $(BUILD)

bench: build
	bench/run.sh $(BUILD)

fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORBIT_FUZZ=ON -DSORBIT_UI=OFF -DSORBIT_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j$(JOBS)
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

check-format:
	@scripts/check-format.sh

format:
	git ls-files '*.h' '*.cpp' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) out
