# The two commands of the README, and the ones around them.
#   make run     build, then run the most complete installer flow under Wine
#   make test    build, then run every test under Wine
#   make bench   build, then run the benchmarks
#   make installer APP_DIR=DIR | PAYLOAD=FILE    build bin/ for another application tree
SHELL := /bin/bash
BUILD_DIR := build
APP_DIR ?=
PAYLOAD ?=
LEVEL ?= 3
VERSION ?= 1.26.10.240

.PHONY: all packages deps configure build run test bench installer clean

all: build

packages:
	@bash scripts/install-packages.sh

deps: packages
	@bash scripts/build-deps.sh >/dev/null

configure: deps
	@prefix=$$(bash scripts/build-deps.sh | tail -n 1) && \
	cmake --preset default -DQUILLON_DEPS_PREFIX="$$prefix" \
	  -DQUILLON_APP_DIR="$(abspath $(APP_DIR))" -DQUILLON_PAYLOAD="$(if $(PAYLOAD),$(abspath $(PAYLOAD)))" \
	  -DQUILLON_PAYLOAD_LEVEL="$(LEVEL)" -DQUILLON_VERSION="$(VERSION)" >/dev/null

build: configure
	@cmake --build --preset default

run: build
	@bash scripts/run.sh "$(BUILD_DIR)"

test: build
	@bash scripts/run-tests.sh "$(BUILD_DIR)"

bench: build
	@bash scripts/bench.sh "$(BUILD_DIR)"

installer: LEVEL = 19
installer: build

clean:
	rm -rf $(BUILD_DIR) bin
