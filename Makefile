# Quorvel: the self-extracting stub for Windows and its packer.
#   make demo   pack the bundled example and run it under Wine
#   make test   build every tree and run every test
#   make dist   build the artefacts into dist/

SHELL := /bin/bash
JOBS ?= $(shell nproc)
TREES := native win64 win32

.PHONY: all setup configure build dist test demo screenshots clean

all: dist

setup:
	@scripts/setup.sh

build/%/CMakeCache.txt: | setup
	cmake --preset $* >/dev/null

configure: $(foreach t,$(TREES),build/$(t)/CMakeCache.txt)

build: setup configure
	@for t in $(TREES); do cmake --build --preset $$t -j $(JOBS) || exit 1; done

dist: build
	@mkdir -p dist
	cp build/win64/quorvel-sfx.exe dist/quorvel-sfx-x86_64.exe
	cp build/win32/quorvel-sfx.exe dist/quorvel-sfx-i686.exe
	@if [ -f build/native/quorvel-pack ]; then cp build/native/quorvel-pack dist/; fi
	@if [ -f build/win64/quorvel-pack.exe ]; then cp build/win64/quorvel-pack.exe dist/; fi
	@ls -l dist | tail -n +2

test: dist
	scripts/run-tests.sh

demo: dist
	scripts/demo.sh

screenshots: dist
	scripts/screenshots.sh

clean:
	rm -rf build dist
