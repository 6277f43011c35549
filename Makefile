# Two commands do all set-up on a fresh Debian 12 machine (as root):
#   make run    install what is missing, build, build the database, start the program
#   make test   the same set-up, then the whole test suite through CTest

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
CORPUS_DIR := $(abspath $(BUILD_DIR))/corpus
RUN_DIR := $(abspath $(BUILD_DIR))/run

# The web engine's sandbox cannot run as root; only then do we turn it off.
ifeq ($(shell id -u),0)
  export QTWEBENGINE_DISABLE_SANDBOX := 1
endif

.PHONY: run test deps corpus configure build

run: build
	cd "$(RUN_DIR)" && ./vennali

test: build
	cd "$(BUILD_DIR)" && ctest --output-on-failure -j $(JOBS)

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
