# Quorvel: the self-extracting stub for Windows and its packer.
#   make demo   pack the bundled example and run it under Wine
#   make test   build every tree and run every test
#   make dist   build the artefacts into dist/
#   make install PREFIX=/usr/local   install the packer, both stubs, man page, completion
#   make package   dist/quorvel_VERSION_amd64.deb and dist/quorvel-VERSION-windows.zip

SHELL := /bin/bash
JOBS ?= $(shell nproc)
TREES := native win64 win32
PREFIX ?= /usr/local

.PHONY: all setup configure build dist install package test demo screenshots clean

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

# The native tree installs the stubs that the win64 and win32 trees built.
install: dist
	cmake --install build/native --prefix "$(PREFIX)"

package: dist
	@rm -rf build/packages dist/quorvel_*.deb dist/quorvel-*-windows.zip
	cd build/native && cpack -G DEB -B "$(CURDIR)/build/packages" >/dev/null
	cd build/win64 && cpack -G ZIP -B "$(CURDIR)/build/packages" >/dev/null
	cp build/packages/quorvel_*.deb build/packages/quorvel-*-windows.zip dist/
	@ls -l dist/*.deb dist/*.zip

# The package tests read what `package` left in dist/.
test: package
	scripts/run-tests.sh

demo: dist
	scripts/demo.sh

screenshots: dist
	scripts/screenshots.sh

clean:
	rm -rf build dist
