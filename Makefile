# Front door of the project. `make test` works from a fresh machine.
.PHONY: all deps test test-native test-win64 test-win32 build-win32 check-imports \
        test-signing test-fuzz fuzz dist dist-files bench tools run assets soak clean

all: test

# TESTS=<regex> runs only the matching tests of a suite, e.g.
#   make test-win64 TESTS='GeneratorPanel\.'
TESTS ?=
ctest_filter = $(if $(TESTS),-R '$(TESTS)')

deps:
	@scripts/install-deps.sh

test: deps
	$(MAKE) test-native
	$(MAKE) test-win64
	$(MAKE) test-win32
	$(MAKE) check-imports
	$(MAKE) test-signing
	$(MAKE) test-fuzz

test-native:
	cmake --preset native
	cmake --build --preset native
	ctest --preset native $(ctest_filter)

test-win64:
	cmake --preset win64
	cmake --build --preset win64
	scripts/wine-session.sh build/win64 ctest --preset win64 $(ctest_filter)

# The deliverables and their tests, run under 32-bit Wine where this kernel
# runs 32-bit programs; elsewhere the build alone (warnings are errors).
test-win32: build-win32
	@if scripts/runs-32bit.sh; then \
	  scripts/wine-session.sh build/win32 ctest --preset win32 $(ctest_filter); \
	else \
	  echo "32-bit tests skipped: this kernel runs no 32-bit programs"; \
	fi

build-win32:
	cmake --preset win32
	cmake --build --preset win32

# What every program and library of both Windows trees and dist/ imports,
# read from the files themselves, so it runs on any machine; then the
# planted faults, which the check must refuse; then the installer's payload
# (dist-files checks dist/), and the tests' package, which carries the test
# hooks that check must find.
check-imports: dist-files
	scripts/check-imports.py build/win64 build/win32 dist
	scripts/check-imports.py --planted build/win64 build/win32
	scripts/check-payload.sh build/win32/host/mkpackage dist/BrindlemoorSetup.exe
	cmake --build --preset win32 --target brindlemoor_test_package
	@if scripts/check-payload.sh build/win32/host/mkpackage \
	      build/win32/setup/brindlemoor_test_package.bin 2>/dev/null; then \
	  echo "check-payload: the tests' package passed: the check finds no hook" >&2; exit 1; \
	fi

# The deliverables in dist/ signed as `make dist` signs them, with a
# throwaway certificate, on copies: each verifies and a changed byte is
# refused (the test's exit code 77 is its one-line skip, without
# osslsigncode). The signed installer's install and removal under Wine runs
# in the Windows suites (installer_signed).
test-signing: dist-files
	@tests/setup/installer/signed_installer_test.sh --no-wine build/signing \
	  dist/BrindlemoorSetup.exe dist/Generator.exe || [ $$? -eq 77 ]

# Every fuzz target once over its committed corpus (scripts/fuzz.sh).
test-fuzz:
	scripts/fuzz.sh --replay

# Fuzzing: each target for FUZZ_SECONDS (default 60); a finding stops with the
# input saved and the command that replays it.
fuzz: deps
	scripts/fuzz.sh

# Signed with Authenticode when a code-signing certificate is given
# (scripts/sign-dist.sh, after dist.sh has stripped the programs):
#   make dist SIGN_PFX=file.pfx SIGN_PASSWORD_FILE=file [SIGN_TIMESTAMP_URL=url]
SIGN_PFX ?=
SIGN_PASSWORD_FILE ?=
SIGN_TIMESTAMP_URL ?=
dist: deps dist-files
	@SIGN_PFX='$(SIGN_PFX)' SIGN_PASSWORD_FILE='$(SIGN_PASSWORD_FILE)' \
	  SIGN_TIMESTAMP_URL='$(SIGN_TIMESTAMP_URL)' scripts/sign-dist.sh dist

# Only what ships: the two programs (and the stand-in product the installer
# carries), not the tests.
dist-files:
	cmake --preset win32
	cmake --build --preset win32 --target Generator BrindlemoorSetup
	scripts/dist.sh build/win32 dist

# The soak (tests/soak/soak.sh): the real Generator.exe under seeded random
# input, watched for hangs, for SOAK_SECONDS (an hour) with SOAK_SEED (from
# the clock when empty; the summary names it). The 64-bit program, then the
# 32-bit one where this kernel runs 32-bit programs.
SOAK_SECONDS ?= 3600
SOAK_SEED ?=
soak: deps
	cmake --preset win64
	cmake --build --preset win64 --target Generator generator_soak
	tests/soak/soak.sh build/win64 $(SOAK_SECONDS) $(SOAK_SEED)
	@if scripts/runs-32bit.sh; then \
	  cmake --preset win32 && cmake --build --preset win32 --target Generator generator_soak && \
	  tests/soak/soak.sh build/win32 $(SOAK_SECONDS) $(SOAK_SEED); \
	else \
	  echo "32-bit soak skipped: this kernel runs no 32-bit programs"; \
	fi

# The command-line tools, optimised, for this machine: build/bench/tools/
# genrender and mkpackage.
tools: deps
	cmake --preset bench
	cmake --build --preset bench --target genrender mkpackage

# Last, the playing program's CPU for two output choices, under Wine (the
# 32-bit program where this kernel runs it), about two minutes.
bench: deps
	cmake --preset bench
	cmake --build --preset bench
	build/bench/tests/bench/engine_bench --benchmark_color=false
	tests/bench/against_sox.sh build/bench/tools/genrender
	build/bench/tests/bench/package_bench --benchmark_color=false
	@if scripts/runs-32bit.sh; then tree=win32; else tree=win64; fi; \
	  cmake --preset $$tree >/dev/null && cmake --build --preset $$tree --target output_cpu_bench && \
	  tests/bench/output_cpu.sh build/$$tree

# The 32-bit program users get, where this kernel runs it; else the 64-bit
# one. The build's output goes to a log, shown only when the build fails.
run: deps
	@if scripts/runs-32bit.sh; then tree=win32; else tree=win64; fi; \
	scripts/run-generator.sh --build build/$$tree

# Regenerates the committed assets: the pink-noise table, the control
# library's stock bitmaps, Generator's skins and icon (drawn with the
# library's greys, so after them) and the installer's skin and icon. Each
# script writes the same bytes on every run.
assets: deps
	cmake --preset bench
	cmake --build --preset bench --target make_pink_noise
	build/bench/tools/assets/make_pink_noise resources/pink_noise_table.inc
	/usr/bin/python3 tools/assets/make_ctl_bitmaps.py
	/usr/bin/python3 tools/assets/make_generator_skins.py
	/usr/bin/python3 tools/assets/make_installer_art.py

clean:
	rm -rf build dist
