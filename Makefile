# BrelmoTime: a 32-bit Windows program, cross-built with mingw-w64 and run under Wine.
#
#   make        build build/mingw32/BrelmoTime.exe
#   make run    build and start it under Wine (on a virtual display when there is none)
#   make test   build and run every test under Wine, with ctest
#
# Every target first installs what is missing (make deps).

PRESET := mingw32
BUILD := build/$(PRESET)
EXE := $(BUILD)/BrelmoTime.exe
TEST_PREFIX := $(BUILD)/tests/wineprefix
RUN_PREFIX := $(BUILD)/wineprefix-run

.PHONY: all deps configure build run test clean format

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
	@WINEPREFIX=$(abspath $(TEST_PREFIX)) wineserver -k 2>/dev/null || true
	tests/sandbox.sh ctest --preset $(PRESET) -j2

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
