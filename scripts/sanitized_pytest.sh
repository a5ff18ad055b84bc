#!/usr/bin/env bash
# Runs the pytest suite against the extension built with AddressSanitizer and
# UndefinedBehaviorSanitizer (float-cast-overflow included).
#
#   scripts/sanitized_pytest.sh [BUILD_DIR]     (default: build/sanitize)
#
# The extension is built with clang, whose shared ASan runtime carries the UBSan
# handlers too: one runtime, one report path. (With GCC, libasan and libubsan are
# two runtimes, and libubsan's log_path is lost to libasan's: its reports go to
# stderr, where pytest's capture swallows them.)
#
# The interpreter is not instrumented, so the runtime is preloaded, and
# PYTHONMALLOC=malloc sends every Python object through ASan's allocator. Reports go
# to files under BUILD_DIR/reports, never to a captured stderr, and the stage fails
# when any report file exists. Leak detection is off: the interpreter keeps objects
# alive at exit by design; reference leaks are the debug interpreter's stage.
#
# The JSON syntax tests are left out: they run a separate C++ program, not the
# extension, which is built with GCC's sanitizers itself and cannot start under
# clang's preloaded runtime; the plain pytest stage runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-$root/build/sanitize}")
shared_data=$root/../shared/data
cxx=clang++-19
venv=$build/venv
reports=$build/reports
suppressions=$root/scripts/asan_suppressions.txt

log() { printf '\n== %s\n' "$*"; }

install_clang() {
    command -v "$cxx" >/dev/null && return
    log "installing clang-19"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang-19 libclang-rt-19-dev >/dev/null
}

make_venv() {
    [ -x "$venv/bin/python" ] || python3 -m venv "$venv"
    "$venv/bin/python" -m pip install -q --upgrade pip >/dev/null 2>&1 || true
    python3 scripts/test_requirements.py | xargs -d '\n' "$venv/bin/python" -m pip install -q
}

install_sanitized_module() {
    log "building the extension with ASan and UBSan ($cxx)"
    "$venv/bin/python" -m pip install -q --force-reinstall --no-deps . \
        -C build-dir="$build/cmake" -C cmake.build-type=RelWithDebInfo \
        -C cmake.define.CMAKE_CXX_COMPILER="$cxx" -C cmake.define.ORBWEAVE_SANITIZE=ON
}

run_pytest() {
    local runtime status=0
    runtime=$("$cxx" -print-file-name=libclang_rt.asan-x86_64.so)
    [ -f "$runtime" ] || { echo "no ASan runtime beside $cxx: $runtime" >&2; return 1; }
    rm -rf "$reports"
    mkdir -p "$reports"
    log "pytest with ASan and UBSan"
    (cd "$root" && env LD_PRELOAD="$runtime" PYTHONMALLOC=malloc \
        ASAN_OPTIONS="detect_leaks=0:log_path=$reports/report:suppressions=$suppressions" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/report" \
        ORBWEAVE_SHARED_DATA="$shared_data" \
        "$venv/bin/python" -m pytest -q -p no:cacheprovider --ignore=tests/python/test_json_syntax.py) || status=$?
    print_reports || status=1
    return "$status"
}

# Prints every sanitizer report; fails when there is one.
print_reports() {
    local report found=0
    for report in "$reports"/*; do
        [ -f "$report" ] || continue
        found=1
        printf '\n-- %s\n' "$report"
        cat "$report"
    done
    [ "$found" -eq 0 ] || { echo "sanitizer reports (above)" >&2; return 1; }
}

install_clang
make_venv
install_sanitized_module
run_pytest
log "no sanitizer findings"
