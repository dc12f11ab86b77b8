# The two commands of the project: `make test` and `make demo`. Both install what is missing first.
# `make dist` builds the release files (dist/out: installer, stripped DLL, debug file, SHA-256, and
# the page library's npm package).
.PHONY: test demo dist fuzz deps build native win32 fuzzbuild clean

deps:
	@tools/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32

# The libFuzzer targets of the parsers (clang); `make test` runs each briefly, `make fuzz` long.
fuzzbuild: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

build: native win32 fuzzbuild

test: build
	tools/run-tests.sh

demo: build
	tools/demo.sh

dist: win32
	dist/make-dist.sh
	$(MAKE) dist-page

fuzz: fuzzbuild
	tools/fuzz.sh

clean:
	rm -rf build

# The Vexo Pay browser extension as a zip for the stores (build/native/dist/), one part of make dist.
.PHONY: dist dist-extension
dist: dist-extension
dist-extension: native
	cmake --build --preset native --target vexo_bridge_extension_zip

# The page library as an npm package (npm pack) into dist/out, after make-dist.sh, which empties it.
.PHONY: dist-page
dist-page: native
	cmake --build --preset native --target vexo_pay_package
