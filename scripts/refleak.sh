#!/usr/bin/env bash
# Loops every operation of the extension thousands of times on Debian's debug
# interpreter and fails when references, memory blocks or C heap bytes grow
# (tests/refleak/refleak.py).
#
#   scripts/refleak.sh [BUILD_DIR]     (default: build/refleak)
#
# The extension is built for the limited API against python3.11-dbg's headers, with
# Py_DEBUG defined outright in case the headers' pyconfig.h resolves to the release
# copy; the limited API's Py_INCREF and Py_DECREF then call the interpreter, which
# counts them. A module without those calls would let sys.gettotalrefcount() drift,
# so the stage checks the built module for them before it runs anything.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-$root/build/refleak}")
python=python3.11-dbg

log() { printf '\n== %s\n' "$*"; }

install_debug_interpreter() {
    command -v "$python" >/dev/null && [ -f /usr/include/python3.11d/Python.h ] && return
    log "installing python3.11-dbg"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq python3.11-dbg python3.11-dev >/dev/null
}

build_module() {
    log "building the extension against $python"
    local generator=()
    command -v ninja >/dev/null && generator=(-G Ninja)
    cmake -S . -B "$build/cmake" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPython_EXECUTABLE="$(command -v "$python")" -DCMAKE_CXX_FLAGS=-DPy_DEBUG \
        -DORBWEAVE_BUILD_PYTHON=ON -DORBWEAVE_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build/cmake" --target _orbweave _arrays -j 2
}

# The package as the wheel lays it out: the Python sources beside the modules.
assemble_package() {
    rm -rf "$build/site"
    mkdir -p "$build/site"
    cp -r src/orbweave "$build/site/"
    cp "$@" "$build/site/orbweave/"
}

# Reference-counting calls into the interpreter, and no inline release-build
# reference counting beside them.
check_counts_references() {
    local module=$1 imported
    imported=$(nm -D --undefined-only "$module")
    if ! grep -qw _Py_DecRef <<<"$imported" || ! grep -qw _Py_IncRef <<<"$imported" ||
        grep -qw _Py_Dealloc <<<"$imported"; then
        echo "$module does not count references through the debug interpreter (built without Py_DEBUG?)" >&2
        exit 1
    fi
}

install_debug_interpreter
build_module
modules=("$build"/cmake/cpp/binding/_orbweave*.so "$build"/cmake/cpp/binding/_arrays*.so)
for module in "${modules[@]}"; do check_counts_references "$module"; done
assemble_package "${modules[@]}"
log "reference leaks on $python"
PYTHONPATH="$build/site" "$python" tests/refleak/refleak.py
