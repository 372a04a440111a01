# Front door of the project. `make test` works from a fresh machine.
.PHONY: all deps test test-native test-win64 test-win32 build-win32 dist bench run assets clean

all: test

deps:
	scripts/install-deps.sh

test: deps
	$(MAKE) test-native
	$(MAKE) test-win64
	$(MAKE) test-win32

test-native:
	cmake --preset native
	cmake --build --preset native
	ctest --preset native

# Under Wine a test process now and then dies before it starts (seen as an
# empty failure in 0.02 s); such a test gets one more run. A test that fails
# twice fails the suite.
test-win64:
	cmake --preset win64
	cmake --build --preset win64
	scripts/wine-session.sh build/win64 ctest --preset win64 --repeat until-pass:2

# The deliverables and their tests, run under 32-bit Wine where this kernel
# runs 32-bit programs; elsewhere the build alone (warnings are errors).
test-win32: build-win32
	@if scripts/runs-32bit.sh; then \
	  scripts/wine-session.sh build/win32 ctest --preset win32 --repeat until-pass:2; \
	else \
	  echo "32-bit tests skipped: this kernel runs no 32-bit programs"; \
	fi

build-win32:
	cmake --preset win32
	cmake --build --preset win32

dist: deps build-win32
	scripts/dist.sh build/win32 dist

bench: deps
	cmake --preset bench
	cmake --build --preset bench
	build/bench/tests/bench/engine_bench --benchmark_color=false
	build/bench/tests/bench/package_bench --benchmark_color=false

# The 32-bit program users get, where this kernel runs it; else the 64-bit one.
run: deps
	@if scripts/runs-32bit.sh; then tree=win32; else tree=win64; fi; \
	cmake --preset $$tree && cmake --build --preset $$tree --target Generator && \
	scripts/run-generator.sh build/$$tree

# Regenerates the committed assets: the pink-noise table, the control
# library's stock bitmaps, Generator's skins and icon (drawn with the
# library's greys, so after them) and the installer's skin and icon. Each
# script writes the same bytes on every run.
assets: deps
	cmake --preset bench
	cmake --build --preset bench --target make_pink_noise
	build/bench/tools/make_pink_noise resources/pink_noise_table.inc
	/usr/bin/python3 tools/make_ctl_bitmaps.py
	/usr/bin/python3 tools/make_generator_skins.py
	/usr/bin/python3 tools/make_installer_art.py

clean:
	rm -rf build dist
