# Convenience targets; the README's commands use these.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: deps build test sanitize sample clean

deps:
	scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVERDAXEL_SANITIZE=ON -DVERDAXEL_BUILD_BENCH=OFF >/dev/null
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build sanitize
	scripts/run-tests $(BUILD)
	scripts/run-tests $(ASAN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
