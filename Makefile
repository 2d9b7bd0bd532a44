# make run      installs what is missing, builds and starts the editor
# make test     installs what is missing, builds and runs every test: of Linux,
#               and of the Windows build under Wine
# make windows  the Windows zip: the editor and the command-line programs
# make format   formats the C++ sources as .clang-format says (make test
#               fails on a file laid out otherwise)

BUILD      ?= build
ASAN_BUILD ?= build-asan
CMAKE_ARGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Qt for Windows, for the Windows build of the editor: a tarball of a Qt
# prefix, or an unpacked one. Without it the Windows build has no editor.
THORNWAKE_QT_WINDOWS ?= $(abspath ../shared/qt6-windows/qt6.4.2-mingw-w64-x86_64.tar.xz)

# Debian 12 packages the build, the tests and the packaging need.
DEPS = build-essential cmake ninja-build pkg-config \
       qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libbenchmark-dev \
       libcli11-dev libcsv-dev nlohmann-json3-dev \
       xvfb xdotool x11-utils imagemagick python3 fonts-wine \
       dbus-daemon at-spi2-core python3-pyatspi \
       desktop-file-utils appstream dpkg-dev file locales \
       shared-mime-info help2man lintian clang-format \
       g++-mingw-w64-x86-64-posix wine wine64

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps configure build run test test-asan format format-check clean sample windows
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
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) -DTHORNWAKE_QT_WINDOWS="$(THORNWAKE_QT_WINDOWS)"

build: configure
	cmake --build $(BUILD)

sample: build
	$(BUILD)/tools/thornwake-sample-image --force sample.smc
	@echo "Wrote sample.smc: open it with File > Open ROM."

run: configure
	cmake --build $(BUILD) --target thornwake-editor
	$(BUILD)/ui/thornwake-editor

# The Windows build comes with the Linux one (cmake/windows_build.cmake); its
# tests run in the same CTest, under Wine.
test: format-check build test-asan
	cd $(BUILD) && ctest --output-on-failure --timeout 600 -j2

# The ROM image logic once more under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHORNWAKE_ROM_ONLY=ON -DTHORNWAKE_SANITIZE=ON
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ctest --output-on-failure -L rom

windows: build
	rm -f $(BUILD)/windows/thornwake-*-windows-x86_64.zip
	cd $(BUILD)/windows && cpack
	@echo "Wrote $$(ls $(BUILD)/windows/thornwake-*-windows-x86_64.zip)"

CXX_SOURCES = $(shell git ls-files '*.cpp' '*.h')

format: deps
	clang-format -i $(CXX_SOURCES)

# Every C++ file as .clang-format has it.
format-check: deps
	@echo "clang-format --dry-run --Werror: $(words $(CXX_SOURCES)) C++ files"
	@clang-format --dry-run --Werror $(CXX_SOURCES)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
