# Two commands for a newcomer: `make run` and `make test`. Both install what is missing first.
BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
CMAKE_GEN  := -G Ninja

.PHONY: run test build deps asan format format-check tidy clean demo bench screenshots install deb \
        windows windows-installer windows-screenshots

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DND_SANITIZE=ON

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: build
	$(BUILD)/nulldrift

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) --target unit_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) -L unit --output-on-failure -j2

# The Windows tests under Wine run beside the Linux ones: most of both is waiting (for windows to
# appear, for volumes to fill), and one after the other they would take twice as long. The
# Windows output follows the Linux output.
test: build asan format-check windows-installer
	@ctest --test-dir $(WIN_BUILD) --output-on-failure >$(WIN_BUILD)/ctest.log 2>&1 & windows=$$!; \
	  ctest --test-dir $(BUILD) --output-on-failure -j2; linux=$$?; \
	  wait $$windows; windows=$$?; \
	  echo "== Windows tests under Wine"; cat $(WIN_BUILD)/ctest.log; \
	  [ $$linux -eq 0 ] && [ $$windows -eq 0 ]

# nulldrift-clean.exe and the tests for 64-bit Windows, cross-built with mingw-w64 into
# $(WIN_BUILD); the tests run under Wine in a scratch prefix (scripts/wine-run).
windows:
	@scripts/install-windows-deps
	@[ -f $(WIN_BUILD)/build.ninja ] || cmake -S . -B $(WIN_BUILD) $(CMAKE_GEN) \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j2

# The setup program $(WIN_BUILD)/Nulldrift-<version>-setup.exe (NSIS): nulldrift.exe and its
# resources into "Nulldrift 3" below the 64-bit Program Files folder; /S installs silently.
windows-installer: windows
	cmake --build $(WIN_BUILD) --target windows_installer

# As root: the program into "/opt/Nulldrift 3" (PREFIX=... or DESTDIR=... to place it elsewhere).
PREFIX ?= /opt/Nulldrift 3
install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package nulldrift_<version>-1_<arch>.deb, into this folder.
deb: build
	rm -rf $(BUILD)/deb
	cd $(BUILD) && cpack -B "$(abspath $(BUILD))/deb"
	cp $(BUILD)/deb/nulldrift_*.deb .

# As root: wipes a scratch loop volume and shows the deleted content gone from the raw image.
demo: build
	scripts/demo.sh

# As root: the fill side by side with dd and the usual free-space wipers, and the small-file
# pass against a plain C loop, on scratch volumes that behave like a disk; with build-windows/
# (make windows) also nulldrift-clean.exe under Wine against dd conv=fsync.
bench: build
	scripts/install-bench-tools
	$(BUILD)/nulldrift_bench

# As root: the window test under Xvfb, keeping its screenshots for the README.
screenshots: build
	tests/gui/wizard_gui_test.sh $(BUILD) docs/screenshots
	tests/gui/modes_gui_test.sh $(BUILD) docs/screenshots

# As root: the Windows window tests under Wine and Xvfb, keeping their screenshots for the README.
windows-screenshots: build windows
	tests/windows/gui/wizard_test.sh $(WIN_BUILD) docs/screenshots
	tests/windows/gui/modes_test.sh $(WIN_BUILD) docs/screenshots $(BUILD)

SOURCES = $(shell find src tests bench -name '*.cpp' -o -name '*.h')

format:
	clang-format -i $(SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(SOURCES)

tidy: build
	clang-tidy -p $(BUILD) $(filter %.cpp,$(filter src/%,$(SOURCES)))

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
