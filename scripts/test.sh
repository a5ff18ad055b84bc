#!/usr/bin/env bash
# Builds and runs every test from a fresh checkout:
#   1. the C++ unit tests (GoogleTest via CTest), under ASan and UBSan;
#   2. the fuzz targets replaying their corpora (clang, libFuzzer, ASan, UBSan);
#   3. one cp310-abi3 wheel, installed and tested with pytest under every
#      CPython >= 3.10 found on the machine;
#   4. the pytest suite against the extension built with ASan and UBSan
#      (scripts/sanitized_pytest.sh);
#   5. every operation of the extension looped on Debian's debug interpreter,
#      failing on reference or memory growth (scripts/refleak.sh).
# Installs GoogleTest and clang from Debian's packages when they are absent.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build
shared_data=$root/../shared/data

log() { printf '\n== %s\n' "$*"; }

install_debian_packages() {
    local missing=()
    [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
    command -v clang++-19 >/dev/null || missing+=(clang-19 libclang-rt-19-dev)
    command -v ninja >/dev/null || missing+=(ninja-build)
    if [ ${#missing[@]} -gt 0 ]; then
        log "installing ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
    fi
}

run_cpp_tests() {
    log "C++ unit tests (ASan + UBSan)"
    cmake -S . -B "$build/test-cpp" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORBWEAVE_BUILD_PYTHON=OFF -DORBWEAVE_BUILD_TESTS=ON -DORBWEAVE_SANITIZE=ON >/dev/null
    cmake --build "$build/test-cpp"
    ORBWEAVE_SHARED_DATA="$shared_data" ctest --test-dir "$build/test-cpp" --output-on-failure -j 2
}

replay_fuzz_corpora() {
    log "fuzz targets replaying their corpora"
    CXX=clang++-19 cmake -S . -B "$build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DORBWEAVE_BUILD_PYTHON=OFF -DORBWEAVE_BUILD_FUZZERS=ON >/dev/null
    cmake --build "$build/fuzz"
    local target name corpus inputs
    for target in "$build"/fuzz/fuzz/*_fuzz; do
        [ -x "$target" ] || continue
        name=$(basename "$target" _fuzz)
        inputs=()
        for corpus in "$root/fuzz/corpus/$name"; do
            [ -d "$corpus" ] && inputs+=("$corpus"/*)
        done
        if [ "$name" = json ] || [ "$name" = omm ]; then
            [ -d "$shared_data/json-test-suite/test_parsing" ] && inputs+=("$shared_data"/json-test-suite/test_parsing/*)
        fi
        [ ${#inputs[@]} -gt 0 ] || continue
        echo "$name: ${#inputs[@]} inputs"
        "$target" -runs=0 "${inputs[@]}" 2>"$build/fuzz/$name.log" || { tail -40 "$build/fuzz/$name.log"; exit 1; }
    done
}

build_wheel() {
    log "building the wheel"
    rm -rf "$build/wheelhouse"
    python3 -m pip wheel . --no-deps -q -w "$build/wheelhouse"
    ls "$build"/wheelhouse/*.whl
}

# Every CPython >= 3.10 on the machine: pyenv's versions, else python3.
pythons() {
    local found=() candidate
    for candidate in "${PYENV_ROOT:-$HOME/.pyenv}"/versions/*/bin/python3; do
        [ -x "$candidate" ] || continue
        "$candidate" -c 'import sys; sys.exit(sys.version_info < (3, 10) or sys.implementation.name != "cpython")' \
            && found+=("$candidate")
    done
    [ ${#found[@]} -gt 0 ] || found+=("$(command -v python3)")
    printf '%s\n' "${found[@]}"
}

run_pytest_everywhere() {
    local wheel python version venv
    wheel=$(ls "$build"/wheelhouse/orbweave-*.whl)
    while read -r python; do
        version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
        log "pytest under CPython $version"
        venv=$build/venv-$version
        [ -x "$venv/bin/python" ] || "$python" -m venv "$venv"
        "$venv/bin/python" -m pip install -q --upgrade pip >/dev/null 2>&1 || true
        "$venv/bin/python" -m pip install -q --force-reinstall --no-deps "$wheel"
        "$venv/bin/python" -m pip install -q "$wheel[test]"
        # From the repository root, as a contributor runs it: the package lives under
        # src/, so the tree cannot shadow the installed wheel.
        (cd "$root" && ORBWEAVE_JSON_CHECK="$build/test-cpp/tests/tools/json_syntax_check" \
            ORBWEAVE_SHARED_DATA="$shared_data" "$venv/bin/python" -m pytest -q -p no:cacheprovider)
    done < <(pythons)
}

install_debian_packages
run_cpp_tests
replay_fuzz_corpora
build_wheel
run_pytest_everywhere
"$root"/scripts/sanitized_pytest.sh "$build/sanitize"
"$root"/scripts/refleak.sh "$build/refleak"
log "all tests passed"
