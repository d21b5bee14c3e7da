# Set-up, build and test commands. Each one installs the Debian packages it needs first.

BUILD_DIR ?= build/release
DEBUG_DIR ?= build/debug
JOBS ?= $(shell nproc)

PACKAGES = build-essential cmake pkg-config libgtk2.0-dev libgtest-dev libgmock-dev \
           libbenchmark-dev xvfb xauth libcli11-dev nlohmann-json3-dev

.PHONY: deps build debug run test

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
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

debug: deps
	cmake -S . -B $(DEBUG_DIR) -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(DEBUG_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/ui/cpu-widget

# Every test of the optimised build and of the debug build (the model's figures must not
# depend on the build type); window tests run on a virtual X display.
test: build debug
	xvfb-run -a ctest --test-dir $(BUILD_DIR) --output-on-failure
	xvfb-run -a ctest --test-dir $(DEBUG_DIR) --output-on-failure
