# The two everyday commands: `make run` (build and start the program) and `make test` (build
# and run every test). Both install missing Debian packages first.
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: deps run test install sanitize tsan-serial bench format clean

deps:
	@scripts/install-deps

run: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrova
	build/src/app/kestrova

test: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	ctest --preset default

# The program, its menu entry, icon, AppStream metadata and man page under $(DESTDIR)$(PREFIX).
install: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrova
	DESTDIR="$(DESTDIR)" cmake --install build --prefix "$(PREFIX)"

# The whole program and every test (widgets and the end-to-end run of the sanitized program
# included) under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer. The system
# libraries' own leaks (D-Bus, fontconfig) are suppressed in tests/sanitizer/lsan.supp.
sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize

# The worker threads of the serial port and the CP2112 bridge, and their tests, under
# ThreadSanitizer; the port-name wrapper's tests drive both.
tsan-serial: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS) --target serial_tests serial_enumeration_tests \
	  fuzz_serial_config cp2112_tests clever_comm_tests
	ctest --preset tsan -L 'serial|cp2112|clever_comm'

bench: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrova_bench
	build/bench/kestrova_bench

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build build-debug build-sanitize build-tsan
