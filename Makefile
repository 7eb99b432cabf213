# BrelmoTime: a 32-bit Windows program, cross-built with mingw-w64 and run under Wine.
#
#   make        build build/mingw32/BrelmoTime.exe
#   make run    build and start it under Wine (on a virtual display when there is none)
#   make test   build and run every test under Wine, with ctest
#   make screenshot  picture of the window after Get, in the tests' sandbox, to docs/
#   make dist   build and pack BrelmoTime.exe with its read-me into a zip, with CPack
#   make soak   the one-minute soak of a Get loop (make test runs it for 20 s)
#   make bench  the benchmark against Wine's and rdate's floor, in the tests' sandbox; the
#               table goes to build/mingw32/bench.txt (see BENCHMARKS.md)
#
# Every target first installs what is missing (make deps).

PRESET := mingw32
BUILD := build/$(PRESET)
EXE := $(BUILD)/BrelmoTime.exe
TEST_PREFIX := $(BUILD)/tests/wineprefix
RUN_PREFIX := $(BUILD)/wineprefix-run
SHOT_PREFIX := $(BUILD)/wineprefix-shot
LOOPBACK_EXE := $(BUILD)/tests/BrelmoTimeLoopback.exe

.PHONY: all deps configure build run test soak screenshot dist bench clean format

all: build

deps:
	@tools/install-deps.sh

configure: deps
	@test -f $(BUILD)/CMakeCache.txt || cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

run: build
	tools/run-program.sh $(EXE) $(abspath $(RUN_PREFIX)) $(abspath $(BUILD)/screenshot.png)

test: build
	tests/sandbox.sh tests/run-ctest.sh $(abspath $(TEST_PREFIX)) --preset $(PRESET) -j2

soak: build
	BRELMO_SOAK_SECONDS=60 tests/sandbox.sh tests/run-ctest.sh $(abspath $(TEST_PREFIX)) \
		--preset $(PRESET) -R '^Soak\.'

# The copy of the program that asks loopback servers, so that nothing leaves the machine.
screenshot: configure
	cmake --build --preset $(PRESET) --target BrelmoTimeLoopback
	tools/screenshot.sh $(abspath $(LOOPBACK_EXE)) $(abspath $(SHOT_PREFIX)) $(abspath $(BUILD)/screenshot.png)
	cp $(BUILD)/screenshot.png docs/screenshot.png

dist: build
	cd $(BUILD) && cpack -G ZIP

bench: build
	bench/run.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
