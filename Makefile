# make run   installs what is missing, builds and starts the editor
# make test  installs what is missing, builds and runs every test, also those of
#            the Windows build (the editor's and thornwake-levels'), under Wine
# make windows  the Windows zip of the editor and thornwake-levels

BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
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
       shared-mime-info help2man lintian \
       g++-mingw-w64-x86-64-posix wine wine64

# Wine for the tests of the Windows build: a prefix of its own in the build
# folder, no installer dialogs, none of Wine's own messages.
WINE_ENV = WINEPREFIX=$(abspath $(WIN_BUILD))/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=

SUDO := $(shell [ "$$(id -u)" -eq 0 ] || echo sudo)

.PHONY: deps configure build run test test-asan clean sample windows-build windows
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
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS) -DTHORNWAKE_WINDOWS_BUILD=$(abspath $(WIN_BUILD))

build: configure
	cmake --build $(BUILD)

sample: build
	$(BUILD)/tools/thornwake-sample-image --force sample.smc
	@echo "Wrote sample.smc: open it with File > Open ROM."

run: build
	$(BUILD)/ui/thornwake-editor

# Wine's server and helper processes start before CTest, which would otherwise
# wait for the helpers that hold a test's output open, and end after it; a
# server left over from an interrupted run is ended first. The tests of the
# Windows build (mostly waiting for Wine) run beside those of Linux; their
# output follows, with every row they skip.
test: build windows-build test-asan
	mkdir -p $(WIN_BUILD)/wine
	$(WINE_ENV) timeout 60 wineserver -k 2>/dev/null || true
	$(WINE_ENV) timeout 60 wineserver -p
	$(WINE_ENV) timeout 300 wine cmd /c exit </dev/null >/dev/null 2>&1 || \
	  { $(WINE_ENV) timeout 60 wineserver -k; exit 1; }
	status=0; windows=""; \
	  if [ -f $(WIN_BUILD)/ui/thornwake-editor.exe ]; then \
	    (cd $(WIN_BUILD) && ctest --output-on-failure --timeout 600 >ctest.log 2>&1) & windows=$$!; \
	  fi; \
	  (cd $(BUILD) && ctest --output-on-failure --timeout 600) || status=1; \
	  if [ -n "$$windows" ]; then \
	    wait $$windows || status=1; \
	    echo "Tests of the Windows build, under Wine:"; cat $(WIN_BUILD)/ctest.log; \
	    echo "Rows they skip on Windows, and why:"; grep -h '^SKIP' $(WIN_BUILD)/Testing/Temporary/LastTest.log; \
	  fi; \
	  $(WINE_ENV) timeout 60 wineserver -k; exit $$status

# The ROM image logic once more under AddressSanitizer and UBSan.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTHORNWAKE_ROM_ONLY=ON -DTHORNWAKE_SANITIZE=ON
	cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && ctest --output-on-failure -L rom

# thornwake-levels.exe and the sample tool, cross-built with MinGW-w64, and
# with Qt for Windows the editor and its tests too.
windows-build: deps
	@if [ -e "$(THORNWAKE_QT_WINDOWS)" ]; then editor="OFF"; else editor="ON"; \
	  echo "No Qt for Windows at $(THORNWAKE_QT_WINDOWS): skipped the Windows editor and its tests."; fi; \
	  set -x; cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTHORNWAKE_CLI_ONLY=$$editor \
	  -DTHORNWAKE_QT_WINDOWS="$(THORNWAKE_QT_WINDOWS)" -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake
	cmake --build $(WIN_BUILD)

windows: windows-build
	rm -f $(WIN_BUILD)/thornwake-*-windows-x86_64.zip
	cd $(WIN_BUILD) && cpack
	@echo "Wrote $$(ls $(WIN_BUILD)/thornwake-*-windows-x86_64.zip)"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD)
