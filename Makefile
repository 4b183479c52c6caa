# Thin wrapper around CMake. `make run` and `make test` are the whole set-up on a fresh Debian machine.
JOBS ?= $(shell nproc)
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
PACKAGE_BUILD ?= build-package
FUZZ_SECONDS ?= 60
FUZZ_JOBS ?= 1
PREFIX ?= /usr/local

.PHONY: all deps build run test sanitize fuzz bench bench-engine bench-network bench-host format clean install package

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/bin/wintermoot ]; then $(BUILD)/bin/wintermoot; else $(BUILD)/bin/wintermoot-cli --help; fi

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j $(JOBS)

sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug -DWINTERMOOT_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=$${QT_QPA_PLATFORM:-offscreen} ctest --output-on-failure -j $(JOBS)

# Builds the libFuzzer targets with clang in $(FUZZ_BUILD) and runs each for FUZZ_SECONDS on a copy
# of its corpus; FUZZ_TARGETS="fen history" picks targets, FUZZ_JOBS=N runs N at once.
fuzz: deps
	./scripts/install-fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE= -DWINTERMOOT_FUZZ=ON \
		-DWINTERMOOT_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	BUILD=$(FUZZ_BUILD) FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_JOBS=$(FUZZ_JOBS) tests/fuzz/run-fuzz.sh

# `make install PREFIX=/opt/wintermoot`; DESTDIR is honoured for staged installs.
install: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS)
	cmake --install $(BUILD)

# A Debian package (wintermoot_VERSION-1_ARCH.deb here) of everything `make install` installs,
# built for /usr in $(PACKAGE_BUILD) with Debian's hardening flags, without the tests.
# The programs go to /usr/games, as Debian wants for a package of section games.
package: deps
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
		-DCMAKE_INSTALL_BINDIR=games -DWINTERMOOT_TESTS=OFF \
		-DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
		-DCMAKE_EXE_LINKER_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB
	cp $(PACKAGE_BUILD)/wintermoot_*.deb .
	@ls -l wintermoot_*.deb

bench: build
	$(BUILD)/bin/wintermoot-cli bench
	$(BUILD)/bin/wintermoot-cli bench-draw

# The UCI engine: go depth against one search of that depth, and stop -> bestmove latency.
bench-engine: build
	$(BUILD)/bin/wintermoot-cli bench-engine $(BENCH_ENGINE_ARGS)
	$(BUILD)/bin/wintermoot-cli bench-agent

# Network play on loopback: the game-list server (idle connections, a header flood, list
# throughput; BENCH_NETWORK_ARGS="--idle 1000 --flood-mb 20 --requests 20000" makes it shorter),
# then a game host against misbehaving clients (time to refuse, peak memory, and the time a real
# opponent takes to get in past idle connections).
bench-network: build
	$(BUILD)/bin/wintermoot-bench-network $(BENCH_NETWORK_ARGS)
	$(BUILD)/bin/wintermoot-cli bench-host

# The game host's part alone.
bench-host: build
	$(BUILD)/bin/wintermoot-cli bench-host

format:
	find src tools tests -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(PACKAGE_BUILD)
