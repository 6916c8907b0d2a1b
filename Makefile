# The README's commands. Each installs what is missing, configures, builds, then runs.
JOBS ?= 2

.PHONY: deps run test test-sanitize bench fuzz screenshot package windows test-windows test-windows32 windows-package clean

deps:
	@scripts/install-deps.sh

build/default/build.ninja: | deps
	cmake --preset default

run: deps build/default/build.ninja
	cmake --build --preset default -j $(JOBS) --target tarabo
	@scripts/run-console.sh build/default/tarabo

test: deps build/default/build.ninja
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)

test-sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)

bench: deps
	@scripts/install-deps.sh --windows
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	bench/run-benchmarks.sh build/bench

# Every fuzz target for two minutes (CI runs them for a fixed number of inputs instead).
fuzz:
	@scripts/install-deps.sh --fuzz
	scripts/run-fuzz.sh --seconds 120

screenshot: deps build/default/build.ninja
	cmake --build --preset default -j $(JOBS) --target tarabo_screenshot
	mkdir -p docs
	build/default/tarabo_screenshot docs/console.png

package:
	@scripts/install-deps.sh --package-tools
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	appstreamcli validate --no-net packaging/org.tarabo.tarabo.metainfo.xml
	cd build/default && cpack -G DEB
	lintian --fail-on error build/default/tarabo_*.deb

# The native 32-bit Windows build (build/windows), and its tests under Wine on a virtual display.
windows:
	@scripts/install-deps.sh --windows
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

test-windows:
	@scripts/install-deps.sh --windows
	JOBS=$(JOBS) scripts/test-windows.sh

# Every test program of the 32-bit tree under 32-bit Wine, emulated by qemu-i386
# where the kernel runs no 32-bit programs (SUITES="scale_server_tests ..." for chosen ones).
test-windows32:
	@scripts/install-deps.sh --windows32
	JOBS=$(JOBS) scripts/test-windows32.sh $(SUITES)

# The Windows installer and zip in build/windows.
windows-package: windows
	cmake --build --preset windows -j $(JOBS) --target windows_package

clean:
	rm -rf build
