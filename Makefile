# Set-up, build and test commands. Each one installs the Debian packages it needs first.

BUILD_DIR ?= build/release
DEBUG_DIR ?= build/debug
JOBS ?= $(shell nproc)

PACKAGES = build-essential cmake pkg-config libgtk2.0-dev libgtest-dev libgmock-dev \
           libbenchmark-dev xvfb xauth libcli11-dev nlohmann-json3-dev libcairo2-dev \
           libx11-dev valgrind xdotool libtomlplusplus-dev locales-all clang libfuzzer-14-dev \
           pybind11-dev python3-dev python3-numpy python3-pandas python3-dask python3-distributed \
           python3-matplotlib python3-pytest python3-venv python3-setuptools python3-wheel

# The Python package is built for Debian's Python, whatever python3 comes first on PATH.
PYTHON = -DPython3_EXECUTABLE=/usr/bin/python3

.PHONY: deps build debug run test bench test-asan soak memcheck fuzz

# Installs whatever of PACKAGES is missing (apt-get; through sudo when not root).
deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo apt-get update && \
	  $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release $(PYTHON)
	cmake --build $(BUILD_DIR) -j $(JOBS)

debug: deps
	cmake -S . -B $(DEBUG_DIR) -DCMAKE_BUILD_TYPE=Debug $(PYTHON)
	cmake --build $(DEBUG_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/ui/cpu-widget

# Every test of the optimised build and of the debug build (the model's figures must not
# depend on the build type); window tests run on a virtual X display.
test: build debug
	xvfb-run -a ctest --test-dir $(BUILD_DIR) --output-on-failure
	xvfb-run -a ctest --test-dir $(DEBUG_DIR) --output-on-failure

# Every test again, built with AddressSanitizer and UndefinedBehaviorSanitizer. Any report ends
# the process with status 86 and fails its test; leaks inside the libraries beneath GTK are
# suppressed in tests/sanitizers/lsan.supp, one reason each.
ASAN_DIR ?= build/asan
SANITIZER_ENV = \
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=86 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp:print_suppressions=0
test-asan: deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPU_WIDGET_SANITIZE=ON
	cmake --build $(ASAN_DIR) -j $(JOBS)
	env $(SANITIZER_ENV) xvfb-run -a ctest --test-dir $(ASAN_DIR) --output-on-failure

# A longer soak of the window than the test suite's 2,000 actions: N random user actions from
# SEED (by default one taken from the clock, printed with the result so that a failure can be
# replayed with the same SEED).
N ?= 20000
SEED ?= $(shell date +%s)
soak: build
	xvfb-run -a env SOAK_ACTIONS=$(N) SOAK_SEED=$(SEED) $(BUILD_DIR)/tests/soak_tests \
	  --gtest_filter=Soak.RandomUserActionsKeepTheWindowConsistent

# valgrind's memcheck over a scripted session of the program (debug build) on a virtual display:
# no invalid access and no leak of the program's own; GTK's libraries' suppressions are in
# tests/memcheck/gtk.supp. The session runs twice: as the window opens by default, and with the
# design-space map open beside it (--map). The logs are left in $(DEBUG_DIR)/memcheck and
# $(DEBUG_DIR)/memcheck-map.
memcheck: debug
	xvfb-run -a -s "-screen 0 1920x1080x24" tests/memcheck/session.sh $(DEBUG_DIR)/ui/cpu-widget \
	  $(DEBUG_DIR)/tests/close_window $(DEBUG_DIR)/memcheck
	xvfb-run -a -s "-screen 0 1920x1080x24" tests/memcheck/session.sh $(DEBUG_DIR)/ui/cpu-widget \
	  $(DEBUG_DIR)/tests/close_window $(DEBUG_DIR)/memcheck-map --map

# Benchmarks of the optimised build: the searches, the window's worst option change on a
# virtual display, the command-line tool's sweep, the analysis queries, the research analyses
# (in-process, and as whole processes with bench/research_bench.py), the tool's streamed
# output as whole processes (bench/output_bench.py, medians of 7 runs, with peak memory), and
# the Python package's sweep, search calls, search_many and Dask study (bench/python_bench.py,
# medians of 5 runs, the study's of 3); the others report the median of BENCH_REPETITIONS runs. BENCH_FLAGS takes further Google Benchmark options, e.g.
# BENCH_FLAGS=--benchmark_filter=speedup_max_all.
BENCH_REPETITIONS ?= 9
BENCH_FLAGS ?=
BENCH_ARGS = --benchmark_repetitions=$(BENCH_REPETITIONS) --benchmark_report_aggregates_only=true \
             $(BENCH_FLAGS)
bench: build
	xvfb-run -a $(BUILD_DIR)/bench/bench_search $(BENCH_ARGS)
	xvfb-run -a $(BUILD_DIR)/bench/bench_window $(BENCH_ARGS)
	$(BUILD_DIR)/bench/bench_sweep $(BENCH_ARGS)
	$(BUILD_DIR)/bench/bench_analysis $(BENCH_ARGS)
	$(BUILD_DIR)/bench/bench_research $(BENCH_ARGS)
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 bench/research_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	/usr/bin/python3 bench/output_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 bench/python_bench.py $(BUILD_DIR)/cli/cpu-widget-cli

# Every fuzz target for FUZZ_SECONDS each, built with clang, libFuzzer, AddressSanitizer and
# UBSan in FUZZ_DIR; the working corpora grow in FUZZ_DIR/corpus. A crash, a hang (over 3 s on
# one input), a leak or a sanitizer report fails it and keeps the input in
# tests/fuzz/<target>/regressions, which make test replays.
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = cli_args search_options model_file
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPU_WIDGET_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	for target in $(FUZZ_TARGETS); do \
	  tests/fuzz/run.sh $(FUZZ_DIR)/tests/fuzz/fuzz_$$target $$target $(FUZZ_SECONDS) \
	    $(FUZZ_DIR)/corpus/$$target || exit 1; \
	done
