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

# The bundled sample session, made at first use, scored with the background
# saved at 1 s; prints the table and leaves a plot beside the video.
SAMPLE := $(BUILD)/sample/plus-maze-sample.avi

sample: build
	@$(MAKE) --no-print-directory $(SAMPLE)
	$(BUILD)/cli/verdaxel-score --background-at 1 --plot $(BUILD)/sample $(SAMPLE)

$(SAMPLE): $(BUILD)/tools/verdaxel-make-sample
	@mkdir -p $(dir $@)
	$< $@

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
