# The two commands of the README:
#   make demo   runs the installer's main job against a local demo update server
#   make test   runs every test (native under the sanitizers, Windows under Wine)
# Both install what is missing first (tools/setup.sh) and are safe to run again.

BUILD      ?= build
WIN_DIR    := $(BUILD)/win
NATIVE_DIR := $(BUILD)/native
JOBS       ?= $(shell nproc)

.PHONY: all setup win native test demo bench soak sign-release clean

all: win native

setup:
	@./tools/setup.sh

$(WIN_DIR)/build.ninja: | setup
	cmake -S . -B $(WIN_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release

$(NATIVE_DIR)/build.ninja: | setup
	CC=clang CXX=clang++ cmake -S . -B $(NATIVE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug

win: setup $(WIN_DIR)/build.ninja
	cmake --build $(WIN_DIR) -j $(JOBS)

native: setup $(NATIVE_DIR)/build.ninja
	cmake --build $(NATIVE_DIR) -j $(JOBS)

test: all
	@./tools/run-isolated.sh ./tools/run-tests.sh $(NATIVE_DIR) $(WIN_DIR)

demo: win
	@./tools/run-isolated.sh ./tools/demo.sh $(WIN_DIR)

bench: win
	@./tools/run-isolated.sh ./tools/bench.sh $(WIN_DIR)

# The reliability soak: minutes of kills and server faults (not part of test or bench).
# SOAK_ARGS="--seed N --rounds N --part kills|faults --build stream|ranges" changes what it does.
soak: win
	@./tools/run-isolated.sh ./tools/soak.sh $(WIN_DIR) $(SOAK_ARGS)

# Signs the release build's installer with the studio's code-signing certificate (README,
# "Publishing a release"): make sign-release CERT=studio-cert.pem KEY=studio-key.pem
RELEASE_EXE ?= $(BUILD)/release/bin/KeltoSetup.exe
sign-release:
	@test -n "$(CERT)" -a -n "$(KEY)" || { echo "usage: make sign-release CERT=cert.pem KEY=key.pem [TIMESTAMP=url] [RELEASE_EXE=file]" >&2; exit 2; }
	@./tools/sign_release.sh "$(RELEASE_EXE)" "$(CERT)" "$(KEY)" "$(TIMESTAMP)"

clean:
	rm -rf $(BUILD)
