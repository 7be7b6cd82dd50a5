# Zembrio: build, run and test on Debian (as root; missing packages are installed).
#   make run    build and start Zembrio.exe under Wine
#   make test   build both builds and run every test
#   make shot   screenshot of the main window -> build/shot.png
#   make bench  run the benchmarks
#   make fuzz   run each fuzzer for FUZZ_SECONDS (default 60)

SHELL := /bin/bash
ROOT := $(CURDIR)
WIN := $(ROOT)/build/win
HOST := $(ROOT)/build/host
# Host tests write their scratch files here, not in the machine's shared /tmp.
HOST_TMP := $(HOST)/tmp
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
XVFB := xvfb-run -a -s "-screen 0 1280x1024x24"
# Windows programs of a test or benchmark run share one Wine session that
# lasts the whole run (tools/wine-session.sh).
WINE_SESSION := $(ROOT)/tools/wine-session.sh $(WIN)
# ccache hits across clones of the tree (CI builds a fresh clone).
export CCACHE_BASEDIR := $(ROOT)
export CCACHE_NOHASHDIR := 1
# Objects compiled with a precompiled header are cached too (cmake/Zembrio.cmake).
export CCACHE_SLOPPINESS := pch_defines,time_macros

APT_PACKAGES := g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools \
  wine wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick tango-icon-theme googletest \
  cmake ninja-build ccache clang libclang-rt-14-dev unicode-data fp-utils
NEEDED_CMDS := x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres /usr/lib/wine/wine64 \
  xvfb-run xauth xdotool import cmake ninja ccache clang++ chmcmd

.PHONY: all deps configure win host run test test-host test-win shot bench fuzz clean

all: win

deps:
	@missing=0; \
	for c in $(NEEDED_CMDS); do command -v $$c >/dev/null 2>&1 || missing=1; done; \
	[ -f /usr/src/googletest/CMakeLists.txt ] || missing=1; \
	[ -d /usr/share/wine/fonts ] || missing=1; \
	[ -f /usr/share/icons/Tango/16x16/places/folder.png ] || missing=1; \
	if [ $$missing = 1 ]; then \
	  echo "Installing missing packages..."; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get update -qq && apt-get install -y -qq --no-install-recommends $(APT_PACKAGES) >/dev/null || exit 1; \
	fi

$(WIN)/build.ninja:
	cmake -S $(ROOT) -B $(WIN) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(ROOT)/cmake/mingw-toolchain.cmake

$(HOST)/build.ninja:
	CC=clang CXX=clang++ cmake -S $(ROOT) -B $(HOST) -G Ninja -DZEMBRIO_FUZZ=ON

win: deps $(WIN)/build.ninja
	cmake --build $(WIN) -j $(JOBS)

host: deps $(HOST)/build.ninja
	cmake --build $(HOST) -j $(JOBS)

run: win
	@if [ -n "$$DISPLAY" ]; then tools/run-program.sh $(WIN); \
	else $(XVFB) tools/run-program.sh $(WIN); fi

test: win host
	@rc=0; \
	echo "== host build (native, sanitizers) =="; \
	mkdir -p $(HOST_TMP); (cd $(HOST) && TMPDIR=$(HOST_TMP) ctest -j $(JOBS) --output-on-failure) || rc=1; \
	echo "== Windows build (Wine) =="; \
	(cd $(WIN) && $(XVFB) $(WINE_SESSION) ctest -j $(JOBS) --output-on-failure) || rc=1; \
	exit $$rc

test-host: host
	mkdir -p $(HOST_TMP); cd $(HOST) && TMPDIR=$(HOST_TMP) ctest -j $(JOBS) --output-on-failure

test-win: win
	cd $(WIN) && $(XVFB) $(WINE_SESSION) ctest -j $(JOBS) --output-on-failure $(CTEST_ARGS)

shot: win
	$(XVFB) tools/shot.sh $(WIN) $(ROOT)/build/shot.png

bench: win host
	@rc=0; \
	for b in $$(cat $(HOST)/benches.txt); do $(HOST)/bench/$$b || rc=1; done; \
	$(XVFB) $(WINE_SESSION) bash -c 'rc=0; for b in $$(cat $(WIN)/benches.txt); do \
	  $(ROOT)/tools/wine-run.sh $(WIN) $(WIN)/bench/$$b.exe || rc=1; done; exit $$rc' || rc=1; \
	exit $$rc

fuzz: host
	@rc=0; mkdir -p $(HOST)/fuzz-corpus; \
	for f in $$(cat $(HOST)/fuzzers.txt); do \
	  echo "== $$f ($(FUZZ_SECONDS) s)"; mkdir -p $(HOST)/fuzz-corpus/$$f; \
	  $(HOST)/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    $(HOST)/fuzz-corpus/$$f || rc=1; done; exit $$rc

clean:
	-tools/wine-stop.sh $(WIN)
	rm -rf build
