# The two commands of the README: `make run` and `make test`. Each installs what it needs.
.PHONY: all deps native windows test run bench demo dist clean

all: windows

deps:
	@scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native

windows: deps
	cmake --preset windows >/dev/null
	cmake --build --preset windows

test: deps
	scripts/test.sh

run: windows
	scripts/run.sh

bench: windows
	scripts/bench.sh

demo: windows
	scripts/demo.sh

dist: windows
	scripts/dist.sh dist

clean:
	rm -rf build dist
