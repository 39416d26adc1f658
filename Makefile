# The two commands of the README: `make play` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
ADVENTURE ?= adventures/torre/torre.zanfa

.PHONY: all deps configure build play test clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j2

play: build
	$(BUILD_DIR)/zanfir $(ADVENTURE)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j2

clean:
	rm -rf $(BUILD_DIR)
