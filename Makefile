# The two commands: `make run` and `make test`. Everything else here serves them.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
RELEASE_DIR ?= build/release
TEST_DIR ?= build/test
TEST_RELEASE_DIR ?= build/test-release
TEST_CLANG_DIR ?= build/test-clang
PACKAGE_DIR ?= build/package
SAMPLE ?= resources/Samples/lighthouse.png

# An optimised build with Debian's hardening flags in folder $(1); more cmake options may follow.
configure-packaged = DEB_BUILD_MAINT_OPTIONS=hardening=+all; export DEB_BUILD_MAINT_OPTIONS; \
	cmake -S . -B $(1) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CFLAGS)" \
		-DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
# glyphwerk_<version>_<arch>.deb in the built folder $(1), by CPack from the install rules.
make-package = rm -f $(1)/glyphwerk_*.deb && cd $(1) && cpack -G DEB

.PHONY: run test deps deps-test deps-fuzz deps-bench release test-build test-release test-clang fuzz bench \
	format clean package package-check

deps:
	@scripts/install-deps.sh

deps-fuzz:
	@scripts/install-deps.sh --fuzz

deps-test:
	@scripts/install-deps.sh --test

deps-bench:
	@scripts/install-deps.sh --bench

release: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_TESTS=OFF
	cmake --build $(RELEASE_DIR) -j $(JOBS)

run: release
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
		exec $(RELEASE_DIR)/src/gui/glyphwerk; \
	else \
		echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): printing a sample in the terminal instead."; \
		if [ -x $(RELEASE_DIR)/src/cli/glyphwerk-cli ]; then \
			$(RELEASE_DIR)/src/cli/glyphwerk-cli --width 100 $(SAMPLE); \
		else \
			echo "The command-line converter is not built yet."; \
		fi; \
		echo "To open the window, run 'make run' in a graphical session, or start $(RELEASE_DIR)/src/gui/glyphwerk there."; \
	fi

# `make test` builds and tests three ways, with warnings as errors: a debug build under
# AddressSanitizer and UndefinedBehaviorSanitizer, the optimised Release build a packager makes
# (optimised code finds other faults), and that Release build again with clang.
test-build: deps deps-test
	cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGLYPHWERK_SANITIZE=ON \
		-DGLYPHWERK_WERROR=ON
	cmake --build $(TEST_DIR) -j $(JOBS)

# The optimised build is the one the package is made from: Debian's hardening flags, so the
# suite tests what gets installed, and `make test` checks that very package (one build less).
test-release: deps deps-test
	$(call configure-packaged,$(TEST_RELEASE_DIR)) -DGLYPHWERK_WERROR=ON
	cmake --build $(TEST_RELEASE_DIR) -j $(JOBS)
	cd $(TEST_RELEASE_DIR) && ctest --output-on-failure -j $(JOBS)
	$(call make-package,$(TEST_RELEASE_DIR))
	packaging/check-package.sh $(TEST_RELEASE_DIR)/glyphwerk_*.deb

test-clang: deps deps-test
	CC=clang CXX=clang++ cmake -S . -B $(TEST_CLANG_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DGLYPHWERK_WERROR=ON
	cmake --build $(TEST_CLANG_DIR) -j $(JOBS)
	cd $(TEST_CLANG_DIR) && ctest --output-on-failure -j $(JOBS)

test: test-build
	cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-release
	$(MAKE) --no-print-directory test-clang

# `make package`: build/package/glyphwerk_<version>_<arch>.deb, an optimised build with Debian's
# hardening flags, made by CPack from the install rules (packaging/).
package: deps
	$(call configure-packaged,$(PACKAGE_DIR)) -DGLYPHWERK_BUILD_TESTS=OFF
	cmake --build $(PACKAGE_DIR) -j $(JOBS)
	$(call make-package,$(PACKAGE_DIR))
	@echo "Package: $$(ls $(PACKAGE_DIR)/glyphwerk_*.deb)"

# The package's file list and metadata: lintian, AppStream, the desktop entry, no build paths.
package-check: package deps-test
	packaging/check-package.sh $(PACKAGE_DIR)/glyphwerk_*.deb

# libFuzzer builds need clang; campaigns are run by hand, e.g. `make fuzz` then
# build/fuzz/fuzz/fuzz_table -max_total_time=600 fuzz/corpus/table
fuzz: deps-fuzz
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DGLYPHWERK_BUILD_FUZZERS=ON -DGLYPHWERK_BUILD_GUI=OFF -DGLYPHWERK_BUILD_TESTS=OFF
	cmake --build build/fuzz -j $(JOBS)

bench: deps deps-bench
	bench/run.sh

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
