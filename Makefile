# The two commands of the README: `make play` and `make test`.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
ADVENTURE ?= adventures/miniera/miniera.zanfa

.PHONY: all deps configure build play check walkthrough test-deps test sanitize coverage fuzz mutants bench clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j2

play: build
	$(BUILD_DIR)/zanfir $(ADVENTURE)

# The authors' tools on an adventure: its check, and its walkthrough script
# (<name>.walkthrough beside the main file).
check: build
	$(BUILD_DIR)/zanfir-check $(ADVENTURE)

walkthrough: build
	$(BUILD_DIR)/zanfir-script $(ADVENTURE) $(ADVENTURE:.zanfa=.walkthrough)

# The tests also drive the telnet clients players use, and the page in a
# headless chromium through puppeteer-core (from npm).
test-deps:
	@scripts/deps.sh telnet tintin++ chromium
	@cd tests/browser && { npm install --no-audit --no-fund --silent >/dev/null 2>&1 || \
	    echo "npm: puppeteer-core is not installed; the browser test is skipped"; }

test: build test-deps
	cd $(BUILD_DIR) && ctest --output-on-failure -j2

# Plants the faults of tests/mutants.txt one at a time and runs the tests
# against each; MUTANTS=regex picks some by name. Not part of CI.
MUTANTS ?=
mutants: build test-deps
	@scripts/mutants.sh $(BUILD_DIR) '$(MUTANTS)'

# The tests again under AddressSanitizer with UndefinedBehaviorSanitizer, and
# the tests that run threads under ThreadSanitizer.
CONCURRENT_TESTS = Context|Fibers|Login|Session|Server|Language|World|ItemState|Action|Console|Scripted|PlayerRegistry|TurnGate|Saver|IOTest|JournalFile|StateStore|CrashSafety|RealClients|Web|Browser
sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZANFIR_SANITIZE=address,undefined >/dev/null
	@cmake --build build-asan -j2
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DZANFIR_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j2
	cd build-tsan && ctest --output-on-failure -j2 -R '$(CONCURRENT_TESTS)'

# The tests again on a build that counts the lines run (the programs the
# tests start count too), then the line coverage per folder of src/.
coverage: deps test-deps
	@scripts/deps.sh gcovr
	@cmake -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug -DZANFIR_COVERAGE=ON >/dev/null
	@cmake --build build-coverage -j2
	@find build-coverage -name '*.gcda' -delete
	-cd build-coverage && ctest -j2 --output-on-failure
	@scripts/coverage.sh build-coverage

# Each fuzz target for FUZZ_SECONDS, from its seed corpus in fuzz/corpus
# (clang and libFuzzer; new inputs go to build-fuzz/corpus, findings to
# build-fuzz/findings).
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = Config Action Expression Context Remote Script
fuzz:
	@scripts/deps.sh clang libclang-rt-14-dev
	@cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DZANFIR_FUZZ=ON -DZANFIR_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j2 $(addprefix --target fuzz,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
		mkdir -p build-fuzz/corpus/$$t build-fuzz/findings; \
		echo "fuzz$$t: $(FUZZ_SECONDS) s"; \
		build-fuzz/fuzz$$t -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -timeout=10 \
			-artifact_prefix=build-fuzz/findings/$$t- -print_final_stats=1 \
			build-fuzz/corpus/$$t fuzz/corpus/$$(echo $$t | tr A-Z a-z) 2>&1 \
			| grep -E 'Done|stat::number_of_executed_units|ERROR|SUMMARY' || exit 1; \
		test -z "$$(ls build-fuzz/findings | grep ^$$t-)" || exit 1; \
	done

# The load benchmark of the server: a shared world, then a world per
# connection, then a shared world killed under load and restarted.
bench: build
	$(BUILD_DIR)/bench_files
	$(BUILD_DIR)/bench_remote --connections 1000 --active 100 --seconds 10
	$(BUILD_DIR)/bench_remote --connections 1000 --active 100 --seconds 10 --web
	$(BUILD_DIR)/bench_remote --connections 1000 --active 100 --seconds 10 --web --no-live
	$(BUILD_DIR)/bench_remote --connections 1000 --active 0 --no-mud
	$(BUILD_DIR)/bench_remote --connections 1000 --active 100 --kill

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz build-coverage
