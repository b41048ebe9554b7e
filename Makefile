# The two commands a newcomer needs:  make run  and  make test.
# Plain `make` builds the Windows programs into build/win/bin; `make dist`
# the installer and the portable archive into build/dist.
.PHONY: all native win dist test test-native test-win run clean bootstrap

all: win

bootstrap:
	@tools/bootstrap

build/native/CMakeCache.txt:
	cmake --preset native >/dev/null

build/win/CMakeCache.txt:
	cmake --preset win >/dev/null

native: build/native/CMakeCache.txt
	cmake --build --preset native

win: build/win/CMakeCache.txt
	cmake --build --preset win

dist: bootstrap win
	cmake --build --preset win --target dist

test: bootstrap
	$(MAKE) native win dist
	tools/with-display tools/run-tests

run: bootstrap win
	tools/with-display tools/demo

clean:
	rm -rf build
