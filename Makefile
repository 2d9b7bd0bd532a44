# make run   installs what is missing, builds and starts the editor
# make test  installs what is missing, builds and runs every test

BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Debian 12 packages the build, the tests and the packaging need.
DEPS = build-essential cmake ninja-build pkg-config \
       qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libbenchmark-dev \
       libcli11-dev libcsv-dev nlohmann-json3-dev \
       xvfb xdotool x11-utils imagemagick python3 fonts-wine \
       dbus-daemon at-spi2-core python3-pyatspi \
       desktop-file-utils appstream dpkg-dev file locales \
       shared-mime-info help2man lintian

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps configure build run test test-asan clean sample
.NOTPARALLEL:

deps:
	@missing=""; \
	for p in $(DEPS); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)

sample: build
	$(BUILD)/tools/thornwake-sample-image --force sample.smc
	@echo "Wrote sample.smc: open it with File > Open ROM."

run: build
	$(BUILD)/ui/thornwake-editor

test: build test-asan
	cd $(BUILD) && ctest --output-on-failure --timeout 600

# The ROM image logic once more under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHORNWAKE_ROM_ONLY=ON -DTHORNWAKE_SANITIZE=ON
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ctest --output-on-failure -L rom

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
