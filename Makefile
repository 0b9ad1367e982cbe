# Two commands on a fresh Debian machine: `make run` and `make test`.

SHELL := /bin/bash
ROOT := $(CURDIR)
JOBS ?= $(shell nproc)
RELEASE_DIR := build/release
TEST_DIR := build/asan
FUZZ_DIR := build/fuzz
SAMPLE_DIR := build/sample
FUZZ_SECONDS ?= 60


.PHONY: deps run launcher test bench fuzz release asan sample clean

deps:
	@scripts/install-deps

release: deps
	@cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
	@cmake --build $(RELEASE_DIR) -j $(JOBS)

sample: release
	@$(RELEASE_DIR)/bin/qv_make_sample $(SAMPLE_DIR)

# Starts the game on the project's own sample data. Without a display it
# runs headless on the offscreen driver (stop it with Ctrl-C).
run: sample
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: running headless (SDL_VIDEODRIVER=offscreen); Ctrl-C ends it."; \
	  export SDL_VIDEODRIVER=offscreen; \
	fi; \
	cd $(SAMPLE_DIR) && $(ROOT)/$(RELEASE_DIR)/bin/game -win=1 -w=1024 -h=768

# Starts the launcher on the sample data: its menu in build/sample/shellmedia,
# its settings store in build/sample/config (not the user's); Play starts the game.
launcher: sample
	@export XDG_CONFIG_HOME=$(ROOT)/$(SAMPLE_DIR)/config; \
	$(RELEASE_DIR)/bin/qv_make_launcher $(SAMPLE_DIR) --game=$(ROOT)/$(RELEASE_DIR)/bin/game || exit 1; \
	if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  echo "No display found: running headless (SDL_VIDEODRIVER=offscreen); Ctrl-C ends it."; \
	  export SDL_VIDEODRIVER=offscreen; \
	fi; \
	cd $(SAMPLE_DIR) && $(ROOT)/$(RELEASE_DIR)/bin/Ambrel

asan: deps
	@cmake -S . -B $(TEST_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_SANITIZE=ON -DQV_BENCH=OFF >/dev/null
	@cmake --build $(TEST_DIR) -j $(JOBS)

test: asan
	@cd $(TEST_DIR) && ctest --output-on-failure -j $(JOBS)

bench: release
	@cmake -S . -B $(RELEASE_DIR) -DQV_BENCH=ON >/dev/null && cmake --build $(RELEASE_DIR) -j $(JOBS)
	@set -e; for b in $(RELEASE_DIR)/bin/bench_*; do [ -x "$$b" ] || continue; echo "== $$b"; "$$b"; done

fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS)
	@set -e; for f in $(FUZZ_DIR)/bin/fuzz_*; do [ -x "$$f" ] || continue; \
	  name=$$(basename $$f); corpus=$(FUZZ_DIR)/corpus/$$name; mkdir -p $$corpus; \
	  seeds=fuzz/corpus/$$name; [ -d $$seeds ] || seeds=; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $$corpus $$seeds; done

clean:
	rm -rf build
