# Set-up, build and test commands. Each one installs the Debian packages it needs first.

BUILD_DIR ?= build/release
DEBUG_DIR ?= build/debug
JOBS ?= $(shell nproc)

PACKAGES = build-essential cmake pkg-config libgtk2.0-dev libgtest-dev libgmock-dev \
           libbenchmark-dev xvfb xauth libcli11-dev nlohmann-json3-dev libcairo2-dev \
           libx11-dev valgrind xdotool libtomlplusplus-dev locales-all clang libfuzzer-14-dev \
           pybind11-dev python3-dev python3-numpy python3-pandas python3-dask python3-distributed \
           python3-matplotlib python3-pytest python3-venv python3-setuptools python3-wheel \
           emscripten chromium chromium-driver python3-selenium python3-markdown nodejs esbuild

# The Python package is built for Debian's Python, whatever python3 comes first on PATH.
PYTHON = -DPython3_EXECUTABLE=/usr/bin/python3

.PHONY: deps build debug run test bench test-asan soak memcheck fuzz web web-serve web-test web-deps FORCE

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
test: build debug web
	xvfb-run -a ctest --test-dir $(BUILD_DIR) --output-on-failure
	xvfb-run -a ctest --test-dir $(DEBUG_DIR) --output-on-failure
	$(MAKE) web-test

# The web page in headless Chromium (Selenium): its figures against the engine run natively and
# the command-line tool, bit for bit, with no console error; its engine under hostile input
# (model files against the program's reader, text of any length, a forced trap); then the
# class exercise (budget table, comparison, saved files, links and history) against the
# tool's CSV.
web-test: build web web-deps
	/usr/bin/python3 web/tests/browser_test.py $(WEB_DIR) $(BUILD_DIR)/web/web-replay \
	  $(BUILD_DIR)/cli/cpu-widget-cli models
	/usr/bin/python3 web/tests/engine_hardening_test.py $(WEB_DIR) $(BUILD_DIR)/web/web-replay \
	  $(BUILD_DIR)/cli/cpu-widget-cli models
	/usr/bin/python3 web/tests/exercise_test.py $(WEB_DIR) $(BUILD_DIR)/web/web-replay \
	  $(BUILD_DIR)/cli/cpu-widget-cli models
	/usr/bin/python3 web/tests/class_page_test.py $(WEB_DIR) $(BUILD_DIR)/web/web-replay \
	  $(BUILD_DIR)/cli/cpu-widget-cli models

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
# virtual display, the command-line tool's sweep, the analysis queries, the research analyses,
# batches of searches against a search each (bench_batch), the model against real chips
# (bench_chips, and bench/chips_bench.py: validate and calibrate as whole processes, evaluate
# from Python)
# (in-process, and as whole processes with bench/research_bench.py), the tool's streamed
# output as whole processes (bench/output_bench.py, medians of 7 runs, with peak memory), whole
# processes side by side (bench/process_bench.py: search against /bin/true, a picture command
# against /bin/true, a sweep under a model file that changes nothing against the built-in
# model's; medians of 41 alternate runs, as ratios), the
# Python package's sweep, search calls, search_many and Dask study (bench/python_bench.py,
# medians of 5 runs, the study's of 3), and the web page in headless Chromium
# (bench/web_bench.py: first result, beside an empty page and the engine's first result alone,
# worst option change, size); the others report the median
# of BENCH_REPETITIONS runs. BENCH_FLAGS takes further Google Benchmark options, e.g.
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
	$(BUILD_DIR)/bench/bench_batch $(BENCH_ARGS)
	$(BUILD_DIR)/bench/bench_chips $(BENCH_ARGS)
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 bench/research_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	/usr/bin/python3 bench/output_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	/usr/bin/python3 bench/process_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 bench/python_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	PYTHONPATH=$(BUILD_DIR)/python /usr/bin/python3 bench/chips_bench.py $(BUILD_DIR)/cli/cpu-widget-cli
	$(MAKE) web web-deps
	/usr/bin/python3 bench/web_bench.py $(WEB_DIR) $(WEB_OBJ)/engine.js
	/usr/bin/python3 bench/web_lighthouse.py $(WEB_DIR)

# Every fuzz target for FUZZ_SECONDS each, built with clang, libFuzzer, AddressSanitizer and
# UBSan in FUZZ_DIR; the working corpora grow in FUZZ_DIR/corpus. A crash, a hang (over 3 s on
# one input), a leak or a sanitizer report fails it and keeps the input in
# tests/fuzz/<target>/regressions, which make test replays.
FUZZ_DIR ?= build/fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = cli_args search_options model_file page_model_file
fuzz: deps
	cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCPU_WIDGET_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_DIR) -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	for target in $(FUZZ_TARGETS); do \
	  tests/fuzz/run.sh $(FUZZ_DIR)/tests/fuzz/fuzz_$$target $$target $(FUZZ_SECONDS) \
	    $(FUZZ_DIR)/corpus/$$target || exit 1; \
	done

# The page's checkers from the npm registry, at the versions package-lock.json pins: axe-core
# (accessibility, in the browser tests) and Lighthouse (make bench). Debian's nodejs; its npm
# where the nodejs package does not bring one.
web-deps: deps node_modules/.package-lock.json
node_modules/.package-lock.json: package.json package-lock.json
	@command -v npm >/dev/null || { \
	  if [ "$$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi; \
	  $$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y npm; }
	npm ci --ignore-scripts --no-audit --no-fund

# The explorer as a web page (web/): the engine (the model, the searches, the study layer, the
# map's content, the model-file reader, and the window's own handlers on controls without a
# display) compiled to WebAssembly with Debian's emscripten, and the page's static files, in
# WEB_DIR. The native build does not need emscripten.
WEB_DIR ?= build/web
WEB_OBJ ?= build/web-obj
WEB_PORT ?= 8019
# Debian's emscripten finds its JavaScript modules (acorn) there whatever node comes first.
EMXX = env NODE_PATH=/usr/share/nodejs em++
WEB_SOURCES = model/tables.cpp model/model.cpp model/state.cpp model/runtime_math.cpp \
  search/selection.cpp search/configuration.cpp search/terms.cpp search/engine.cpp \
  search/design_space.cpp search/search.cpp search/limit_queries.cpp \
  study/choices.cpp study/design.cpp study/explain.cpp study/budget.cpp study/table.cpp \
  study/result_columns.cpp study/energy.cpp \
  spacemap/space_map.cpp ui/window.cpp ui/handlers.cpp \
  modelfile/text.cpp modelfile/syntax_guard.cpp modelfile/read_model.cpp modelfile/load.cpp \
  modelfile/plausibility.cpp modelfile/export.cpp modelfile/number_fields.cpp \
  web/shim/gtk_shim.cpp web/session.cpp web/engine_api.cpp web/quiet_trace.cpp \
  web/map_number.cpp web/compat/shortest_chars.cpp web/page_exports.cpp web/json_text.cpp \
  web/model_open.cpp web/exercise_api.cpp
WEB_OBJECTS = $(patsubst %.cpp,$(WEB_OBJ)/%.o,$(WEB_SOURCES))
# Optimised for size (a smaller engine compiles sooner in the browser: the first result comes
# earlier, and an action still takes a few milliseconds). No fused multiply-add and no
# fast-math, as in the native build; the controls without a display stand in for GTK's
# headers; the one folder of toml++ is on the include path, not all of /usr/include.
# Exceptions are WebAssembly's own: with emscripten's JavaScript ones every call that may throw
# went out to JavaScript and back, a third of the engine's time on the first result.
WEB_CXXFLAGS = -std=c++20 -Oz -flto -Wall -Wextra -ffp-contract=off -fno-math-errno -fno-trapping-math \
  -fwasm-exceptions -Iweb/shim -I. -I$(WEB_OBJ)/include -include web/compat/to_chars_fallback.h -MMD -MP
WEB_EXPORTS = _web_restart,_web_act,_web_model,_web_map,_web_map_cell,_web_explain,_web_budget
WEB_EXPORTS := $(WEB_EXPORTS),_web_load_model,_web_export_model,_web_map_speedups
WEB_EXPORTS := $(WEB_EXPORTS),_web_model_file_read_bytes,_web_scan_step,_web_test_trap_on_next_action
WEB_EXPORTS := $(WEB_EXPORTS),_malloc,_free
WEB_EXPORTS := $(WEB_EXPORTS),_web_request_csv,_web_budget_csv,_web_test_number_text
WEB_LDFLAGS = -Oz -flto -fwasm-exceptions -sFILESYSTEM=0 -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createEngine \
  -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sEXPORTED_FUNCTIONS=$(WEB_EXPORTS) \
  -sEXPORTED_RUNTIME_METHODS=cwrap,HEAPF64,HEAPU8
WEB_PAGE = $(wildcard web/page/*)

$(WEB_OBJ)/include/toml++:
	mkdir -p $(WEB_OBJ)/include
	ln -sfn /usr/include/toml++ $@

# The engine is made again when its flags change (each file holds the flags last used).
$(WEB_OBJ)/cxxflags $(WEB_OBJ)/ldflags: FORCE
	@mkdir -p $(WEB_OBJ)
	@echo '$(if $(filter cxxflags,$(notdir $@)),$(WEB_CXXFLAGS),$(WEB_LDFLAGS))' | cmp -s - $@ || \
	  echo '$(if $(filter cxxflags,$(notdir $@)),$(WEB_CXXFLAGS),$(WEB_LDFLAGS))' > $@
FORCE:

$(WEB_OBJ)/%.o: %.cpp $(WEB_OBJ)/cxxflags | $(WEB_OBJ)/include/toml++
	@mkdir -p $(dir $@)
	$(EMXX) $(WEB_CXXFLAGS) -c $< -o $@

$(WEB_OBJ)/engine.js: $(WEB_OBJECTS) $(WEB_OBJ)/ldflags
	@mkdir -p $(WEB_OBJ)
	$(EMXX) $(WEB_LDFLAGS) $(WEB_OBJECTS) -o $@

-include $(WEB_OBJECTS:.o=.d)

# The page's modules and the engine's loader go out as one minified script (Debian's esbuild),
# and it and the minified style sheet inside index.html: the page and the engine are two
# requests, made at once, before the first result, and the page's files stay under 600 KiB.
# The model's equations (docs/model.md) beside it as model.html.
web: deps
	$(MAKE) -j $(JOBS) $(WEB_OBJ)/engine.js
	@mkdir -p $(WEB_DIR) $(WEB_OBJ)/page
	rm -f $(WEB_DIR)/*.js $(WEB_DIR)/style.css
	cp $(WEB_PAGE) $(WEB_OBJ)/engine.js $(WEB_OBJ)/page/
	esbuild $(WEB_OBJ)/page/app.js --bundle --format=esm --minify --log-level=warning \
	  --outfile=$(WEB_OBJ)/app.min.js
	esbuild web/page/style.css --minify --log-level=warning --outfile=$(WEB_OBJ)/style.min.css
	/usr/bin/python3 web/inline_page.py web/page/index.html $(WEB_OBJ)/style.min.css \
	  $(WEB_OBJ)/app.min.js $(WEB_DIR)/index.html
	cp $(WEB_OBJ)/engine.wasm $(WEB_DIR)/
	/usr/bin/python3 web/docs/model_page.py docs/model.md $(WEB_DIR)/model.html

# Serves the page on 127.0.0.1 (any static server will do; this one is Python's).
web-serve: web
	@echo "The page: http://127.0.0.1:$(WEB_PORT)/index.html"
	cd $(WEB_DIR) && /usr/bin/python3 -m http.server $(WEB_PORT) --bind 127.0.0.1
