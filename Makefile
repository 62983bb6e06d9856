# Thin front over CMake. `make demo` converts the bundled example; `make test` runs every test in one
# clang++ build under AddressSanitizer and UndefinedBehaviorSanitizer; `make test-full` (CI) runs them in a
# g++ build too; `make test-capacity` the whole-file round trip at the tables' capacity, on the g++ build.
CMAKE_FLAGS ?=
JOBS ?= 2

.PHONY: all build build-asan demo test test-full test-capacity clean windows test-windows bench build-fuzz fuzz fuzz-corpus blender-addon dist

all: build

CONFIGURE = cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ $(CMAKE_FLAGS)

build:
	$(CONFIGURE)
	cmake --build build -j $(JOBS)

build-asan:
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DPOSEWRIGHT_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)

# The two programs alone: a newcomer sees a conversion without building the tests.
demo:
	$(CONFIGURE)
	cmake --build build -j $(JOBS) --target posewright posewright-keys
	rm -rf build/demo && mkdir -p build/demo
	cp examples/Empty.kf examples/AnimationKeys.txt build/demo/
	cd build/demo && ../posewright Empty.kf AnimationKeys.txt </dev/null
	@echo; echo "Output: build/demo/Empty_new.kf ($$(wc -c <build/demo/Empty_new.kf) bytes); read back:"
	cd build/demo && ../posewright-keys Empty_new.kf </dev/null

# One build, the sanitizers', so that a newcomer's run is short; CI's `make test-full` adds the g++ build.
test: build-asan
	cd build-asan && ctest --output-on-failure -j $(JOBS)

test-full: test build
	cd build && ctest --output-on-failure -j $(JOBS)

test-capacity:
	$(CONFIGURE)
	cmake --build build -j $(JOBS)
	build/tests/posewright_tests --gtest_also_run_disabled_tests --gtest_filter='RoundTrip.DISABLED_WholeFilesAtCapacity*' </dev/null

clean:
	rm -rf build build-asan build-windows build-bench build-fuzz

# Times conversions of generated key files against the floor and the fscanf yardstick, then
# posewright-keys on their outputs against its floor and its printf yardstick (bench/bench.cpp), and on a
# .kf of 100 bones on curves of 200 control points over 50 s, written by the fixture tool; then a batch of
# 100 key files against 100 separate runs (bench/batch_bench.cpp); then --compress: sizes with and without it,
# and the time of its fit (bench/compress_bench.cpp).
BENCH_FLAGS ?=
bench:
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ -DPOSEWRIGHT_TESTS=OFF \
	    -DPOSEWRIGHT_BENCH=ON $(CMAKE_FLAGS)
	cmake --build build-bench -j $(JOBS)
	build-bench/tests/support/make_fixtures curves build-bench/curves.kf 200 50 $$(seq -f Bone%g 100)
	build-bench/bench/posewright_bench build-bench/cases examples/Empty.kf build-bench/posewright \
	    build-bench/bench/posewright_fscanf build-bench/bench/bench_floor build-bench/posewright-keys \
	    build-bench/bench/posewright_keys_printf --curves build-bench/curves.kf $(BENCH_FLAGS) </dev/null
	build-bench/bench/posewright_batch_bench build-bench/cases examples/Empty.kf build-bench/posewright </dev/null
	build-bench/bench/posewright_compress_bench build-bench/cases examples/Empty.kf build-bench/posewright \
	    build-bench/posewright-keys build-bench/tests/support/make_fixtures </dev/null

# Windows: cross-compiled with MinGW-w64 into one self-contained build-windows/Posewright.exe.
windows:
	cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DPOSEWRIGHT_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-windows -j $(JOBS)

# The native end-to-end tests run against Posewright.exe under Wine. One persistent wineserver and a
# prefix made once (kept in build-windows/) make each case take a fraction of a second, not minutes.
# LC_ALL=C.UTF-8: Wine maps file names and arguments between UTF-8 and UTF-16 by the locale.
# wineboot starts Wine's background services first, with their output in a log: started by the first
# case instead, they would hold its output pipe open and the case would never see the end of it.
WINDOWS_TESTS ?= Programs.*:Names.*
# The DLL overrides skip the Mono and Gecko installers and keep Wine from writing menu entries to $HOME.
WINE_ENV = WINEPREFIX='$(CURDIR)/build-windows/wineprefix' WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8 \
    WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'

test-windows: windows build
	mkdir -p build-windows/wineprefix
	export $(WINE_ENV); \
	wineserver -p && trap 'wineserver -k' EXIT && \
	{ wineboot -i </dev/null >build-windows/wineboot.log 2>&1 || { cat build-windows/wineboot.log; exit 1; }; } && \
	POSEWRIGHT_BINARY='$(CURDIR)/build-windows/Posewright.exe' \
	    POSEWRIGHT_KEYS_BINARY='$(CURDIR)/build-windows/Posewright-Keys.exe' POSEWRIGHT_RUNNER=wine \
	    build/tests/posewright_tests --gtest_filter='$(WINDOWS_TESTS)'

# libFuzzer targets (clang++) in build-fuzz/, each run FUZZ_SECONDS over the committed corpus, new
# inputs kept in build-fuzz/corpus/<target>/, failing ones in build-fuzz/findings/<target>/.
# FUZZ_SECONDS=0 only replays the committed corpus. `make test` replays it under the sanitizers,
# `make test-full` in the g++ build too.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = template key_file conversion kf sequence_file
FUZZ_RUN = $(if $(filter 0,$(FUZZ_SECONDS)),-runs=0,-max_total_time=$(FUZZ_SECONDS))

build-fuzz:
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DPOSEWRIGHT_FUZZ=ON \
	    -DPOSEWRIGHT_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)

fuzz: build-fuzz
	for target in $(FUZZ_TARGETS); do \
	    mkdir -p build-fuzz/corpus/$$target build-fuzz/findings/$$target && \
	    build-fuzz/tests/fuzz/fuzz_$$target $(FUZZ_RUN) -timeout=10 -dict=tests/fuzz/posewright.dict \
	        -artifact_prefix=build-fuzz/findings/$$target/ build-fuzz/corpus/$$target tests/fuzz/corpus/$$target \
	        </dev/null || exit 1; \
	done

# Minimises the committed corpus and what `make fuzz` found into a fresh folder (by greedy set cover,
# the fewest inputs that reach every edge they reach; their hit-count variety stays in
# build-fuzz/corpus/ for later runs), and puts that in tests/fuzz/corpus/ in place of the unnamed
# inputs; the seed-* and regression-* inputs always stay.
fuzz-corpus: build-fuzz
	for target in $(FUZZ_TARGETS); do \
	    rm -rf build-fuzz/merged/$$target && mkdir -p build-fuzz/merged/$$target build-fuzz/corpus/$$target && \
	    build-fuzz/tests/fuzz/fuzz_$$target -set_cover_merge=1 -use_counters=0 build-fuzz/merged/$$target tests/fuzz/corpus/$$target \
	        build-fuzz/corpus/$$target </dev/null 2>/dev/null || exit 1; \
	    find tests/fuzz/corpus/$$target -type f ! -name 'seed-*' ! -name 'regression-*' -delete && \
	    cp build-fuzz/merged/$$target/* tests/fuzz/corpus/$$target/ || exit 1; \
	done

# The Blender add-on: build/posewright_blender.zip holds the folder posewright_blender/ (python3's zipfile)
# with the manifest in it: Blender 4.2 and later install it as an extension (they take a manifest in the
# zip's one folder as at its top), older ones as a legacy add-on, which needs the folder.
blender-addon:
	rm -rf build/blender-addon build/posewright_blender.zip && mkdir -p build/blender-addon/posewright_blender
	cp posewright_blender/*.py posewright_blender/blender_manifest.toml build/blender-addon/posewright_blender/
	cd build/blender-addon && python3 -m zipfile -c ../posewright_blender.zip posewright_blender

# Blender as a Python module for the add-on's tests: bpy 4.5 and the newest 5.x whose wheel fits python3,
# each in a virtual environment build/bpy-VERSION made once (about 1 GB each). No 5.x that fits is said
# and skipped; the tests then skip it too.
.PHONY: blender-bpy
blender-bpy:
	for v in 4.5 5; do \
	    build/bpy-$$v/bin/pip show -q bpy 2>/dev/null && continue; \
	    rm -rf build/bpy-$$v && python3 -m venv build/bpy-$$v && build/bpy-$$v/bin/pip install -q "bpy==$$v.*" || \
	        { rm -rf build/bpy-$$v; [ $$v = 5 ] || exit 1; echo "blender-bpy: no bpy $$v.* fits $$(python3 --version)"; }; \
	done

# The one zip a Windows user downloads: both programs, the add-on's zip, the example key file, how to
# use them and the manuals the programs' --help points at.
dist: windows blender-addon
	rm -rf build/dist build/Posewright.zip && mkdir -p build/dist/Posewright
	cp build-windows/Posewright.exe build-windows/Posewright-Keys.exe build/posewright_blender.zip \
	    dist/Posewright.txt examples/AnimationKeys.txt README.md build/dist/Posewright/
	cp -r docs build/dist/Posewright/docs
	cd build/dist && python3 -m zipfile -c ../Posewright.zip Posewright
	tests/dist/check.sh build/Posewright.zip
