# The two commands of the README: `make play` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
ADVENTURE ?= adventures/torre/torre.zanfa

.PHONY: all deps configure build play test bench clean

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

# The load benchmark of the server: a shared world, then a world per connection.
bench: build
	$(BUILD_DIR)/bench_remote --connections 1000 --active 100 --seconds 10
	$(BUILD_DIR)/bench_remote --connections 1000 --active 0 --no-mud

clean:
	rm -rf $(BUILD_DIR)
