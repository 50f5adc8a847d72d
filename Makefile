# The two commands of the README, and the ones around them.
#   make run     build, then run the most complete installer flow under Wine
#   make test    build, then run every test under Wine
#   make bench   build, then run the benchmarks
#   make fuzz    fuzz every parser of outside input on the host, FUZZ_SECONDS (default 60) each (fuzz/README.md)
#   make installer APP_DIR=DIR | PAYLOAD=FILE    build bin/ for another application tree
#     SIGN_PKCS12=FILE SIGN_PASSWORD_FILE=FILE [SIGN_TIMESTAMP_URL=URL]    and sign it (Authenticode)
#   make reproducible-check   build QuillonSetup.exe twice from two copies of the tree and compare the bytes
#   make lint    build, then check the sources with clang-format and clang-tidy (.clang-format, .clang-tidy)
SHELL := /bin/bash
BUILD_DIR := build
APP_DIR ?=
PAYLOAD ?=
LEVEL ?= 3
VERSION ?= 1.26.10.240
SIGN_PKCS12 ?=
SIGN_PASSWORD_FILE ?=
SIGN_TIMESTAMP_URL ?=
# The build settings, for configure and for reproducible-check's two builds.
SETTINGS = -DQUILLON_APP_DIR="$(abspath $(APP_DIR))" -DQUILLON_PAYLOAD="$(if $(PAYLOAD),$(abspath $(PAYLOAD)))" \
  -DQUILLON_PAYLOAD_LEVEL="$(LEVEL)" -DQUILLON_VERSION="$(VERSION)" \
  -DQUILLON_SIGN_PKCS12="$(if $(SIGN_PKCS12),$(abspath $(SIGN_PKCS12)))" \
  -DQUILLON_SIGN_PASSWORD_FILE="$(if $(SIGN_PASSWORD_FILE),$(abspath $(SIGN_PASSWORD_FILE)))" \
  -DQUILLON_SIGN_TIMESTAMP_URL="$(SIGN_TIMESTAMP_URL)"
# Release builds take their file times and signing time from the last commit unless told otherwise.
RELEASE_EPOCH := $(or $(SOURCE_DATE_EPOCH),$(shell git log -1 --format=%ct 2>/dev/null))

.PHONY: all packages deps configure build run test lint bench fuzz installer reproducible-check clean

all: build

packages:
	@bash scripts/install-packages.sh

deps: packages
	@bash scripts/build-deps.sh >/dev/null

configure: deps
	@prefix=$$(bash scripts/build-deps.sh | tail -n 1) && \
	cmake --preset default -DQUILLON_DEPS_PREFIX="$$prefix" $(SETTINGS) >/dev/null

build: configure
	@cmake --build --preset default

run: build
	@bash scripts/run.sh "$(BUILD_DIR)"

test: build
	@bash scripts/run-tests.sh "$(BUILD_DIR)"

lint: build
	@bash scripts/lint.sh "$(BUILD_DIR)"

bench: build
	@bash scripts/bench.sh "$(BUILD_DIR)"

fuzz: packages
	@bash scripts/fuzz.sh run

installer: LEVEL = 19
installer: export SOURCE_DATE_EPOCH := $(RELEASE_EPOCH)
installer: build

reproducible-check: export SOURCE_DATE_EPOCH := $(RELEASE_EPOCH)
reproducible-check: deps
	@bash scripts/reproducible-check.sh $(SETTINGS)

clean:
	rm -rf $(BUILD_DIR) bin build-fuzz
