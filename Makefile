# Two commands do all set-up on a fresh Debian 12 machine (as root):
#   make run    install what is missing, build, build the database, start the program
#   make test   the same set-up, then the whole test suite through CTest, and the
#               unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer

BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CORPUS_DIR := $(abspath $(BUILD_DIR))/corpus
RUN_DIR := $(abspath $(BUILD_DIR))/run

# The web engine's sandbox cannot run as root; only then do we turn it off.
ifeq ($(shell id -u),0)
  export QTWEBENGINE_DISABLE_SANDBOX := 1
endif

# Tests that start the real program in a session of its own, and the fuzzers
# (already built with AddressSanitizer), are not repeated in the sanitizer run.
SANITIZE_EXCLUDE := ^(fuzz_|release_|tst_database_faults|tst_no_writes)

.PHONY: run test deps corpus configure build sanitize-build

run: build
	cd "$(RUN_DIR)" && ./vennali

test: build sanitize-build
	cd "$(BUILD_DIR)" && ctest --output-on-failure -j $(JOBS)
	cd "$(SANITIZE_DIR)" && ctest --output-on-failure -j $(JOBS) -E '$(SANITIZE_EXCLUDE)'

deps:
	scripts/install-deps.sh

corpus: deps
	scripts/fetch-corpus.sh "$(CORPUS_DIR)"

configure: corpus
	@if [ ! -f "$(BUILD_DIR)/CMakeCache.txt" ]; then \
	  cmake -S . -B "$(BUILD_DIR)" -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	        -DVENNALI_CORPUS_DIR="$(CORPUS_DIR)/songci"; \
	fi

build: configure
	cmake --build "$(BUILD_DIR)" -j $(JOBS)

# The unit tests built with the sanitizers, reading the database the main
# build made.
sanitize-build: build
	@if [ ! -f "$(SANITIZE_DIR)/CMakeCache.txt" ]; then \
	  cmake -S . -B "$(SANITIZE_DIR)" -DCMAKE_BUILD_TYPE=Debug -DVENNALI_SANITIZE=ON \
	        -DVENNALI_BUILD_BENCH=OFF -DVENNALI_BUILD_FUZZERS=OFF; \
	fi
	cmake --build "$(SANITIZE_DIR)" -j $(JOBS)
	cp -f "$(RUN_DIR)/songci.idb" "$(SANITIZE_DIR)/run/songci.idb"
