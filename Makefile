# Newcomer entry points: `make run` and `make test` set up a fresh Debian 12 machine themselves.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=
PREFIX     ?= /usr/local

.PHONY: setup setup-run program build run install uninstall package test bench sanitize tsan fuzz format \
        clean preview

# What building, running, installing and packaging need.
setup-run:
	@bash tools/setup.sh run

# That, and what the tests, benchmarks, sanitizers and fuzzers need.
setup:
	@bash tools/setup.sh test

# The program folder only (program, driver library, languages, tunings, help, desktop files):
# what `run`, `install` and `package` need, built without the tests.
program: setup-run
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tessarin_programa

# Everything, the tests included.
build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_TESTS=ON $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: program
	bash tools/run.sh $(BUILD)

# Installs under PREFIX (default /usr/local); DESTDIR, when set, is put in front of every path.
install: program
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# Removes what the last `make install` installed (its list is $(BUILD)/install_manifest.txt; give
# the same DESTDIR), and the emptied folders of the program and of its documentation.
uninstall:
	@test -f $(BUILD)/install_manifest.txt || { echo "nothing installed from $(BUILD)"; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | xargs -r -d '\n' rm -f
	sed -n 's,^\(.*/lib/tessarin/.*\)/[^/]*$$,$(DESTDIR)\1,p; s,^\(.*/\(lib\|doc\)/tessarin\)/[^/]*$$,$(DESTDIR)\1,p' \
	  $(BUILD)/install_manifest.txt | sort -ru | \
	  while read -r pasta; do [ ! -d "$$pasta" ] || rmdir --ignore-fail-on-non-empty "$$pasta"; done

# The Debian package $(BUILD)/tessarin_<version>_amd64.deb.
package: program
	cd $(BUILD) && cpack -G DEB

# One contact sheet per language: every picture at 1:1 with its key, and window mock-ups.
preview: build
	cmake --build $(BUILD) --target skin_preview
	@echo "Contact sheets: $(BUILD)/preview/*.png"

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# ASan + UBSan, abort on the first error, over the whole test suite.
sanitize: setup
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTESSARIN_SANITIZE=ON >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# ThreadSanitizer over the tests labelled "threads" (capture and other threaded code).
tsan: setup
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTESSARIN_TSAN=ON >/dev/null
	targets=$$(sort -u $(TSAN_BUILD)/tsan-targets.list 2>/dev/null); \
	  if [ -n "$$targets" ]; then cmake --build $(TSAN_BUILD) -j $(JOBS) --target $$targets; fi
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(TSAN_BUILD) --output-on-failure -L threads --no-tests=ignore

# Every libFuzzer target for FUZZ_SECONDS seconds each, under ASan + UBSan; then the whole
# program against every kind of hostile outside file (tools/hostile-input.sh, long form; its
# table goes to $(BUILD)/hostile-input/results.md).
fuzz: setup program
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARIN_FUZZ=ON >/dev/null
	targets=$$(cut -d'|' -f1 $(FUZZ_BUILD)/fuzzers.list 2>/dev/null | sort -u); \
	  if [ -n "$$targets" ]; then cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $$targets; fi
	bash tools/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)
	bash tools/hostile-input.sh $(BUILD) long; status=$$?; [ $$status -eq 0 ] || [ $$status -eq 77 ]

bench: setup
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTESSARIN_BENCH=ON -DTESSARIN_TESTS=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bash tools/run-benchmarks.sh $(BENCH_BUILD)

format:
	find src tests bench tools drivers -name '*.cpp' -o -name '*.h' | xargs -r clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
