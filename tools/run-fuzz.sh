#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in their own
# build folder and runs them.
#   tools/run-fuzz.sh smoke                    replays every seed corpus, then fuzzes each target 5 seconds
#   tools/run-fuzz.sh long <target|all> <seconds> [libFuzzer options...]
#                                              fuzzes for that long, keeping what it finds under the build folder
# Targets: the fuzz/<Name>Fuzz.cpp files (LoadDib, LoadBmpImage, ReadPng, ThumbnailFile, ProfileFile,
# TimingFile, OpenPicture, ReducePicture, Mjpeg, ScanFolder, PngTags, TiffTags). A crash, sanitizer report or broken property fails the script;
# the input that caused it is written to <build>/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-smoke}
build=${NX_FUZZ_BUILD_DIR:-build-fuzz}

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNX_BUILD_FUZZ=ON \
    -DNX_BUILD_TESTS=OFF -DNX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target nx_fuzz

targets=()
for source in fuzz/*Fuzz.cpp; do
    name=$(basename "$source" Fuzz.cpp)
    targets+=("$name")
done

# Runs one target over its seed corpus and a working corpus of its own; the arguments go to libFuzzer.
fuzz() {
    local name=$1
    shift
    local work="$build/corpus/$name"
    mkdir -p "$work" "$build/artifacts"
    # Decoders that report broken input on stderr by the thousand run with it closed; sanitizer reports and
    # libFuzzer's own output still come through.
    "$build/fuzz/fuzz_$name" -close_fd_mask=2 -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1 \
        "$@" "$work" "fuzz/corpus/$name"
}

case "$mode" in
smoke)
    # Quiet unless something fails: then the end of the run's output and the failure.
    run() {
        local log="$build/fuzz-$1.log"
        shift
        if ! "$@" >"$log" 2>&1; then
            tail -n 40 "$log"
            echo "fuzz smoke run failed: $*"
            exit 1
        fi
        grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log" || true
    }
    for name in "${targets[@]}"; do
        echo "== $name"
        run "$name" "$build/fuzz/fuzz_$name" -close_fd_mask=2 fuzz/corpus/"$name"/*
        run "$name" fuzz "$name" -max_total_time=5
    done
    echo "Fuzz smoke run: ${#targets[@]} targets passed"
    ;;
long)
    which=${2:?target name or all}
    seconds=${3:?seconds}
    shift 3
    [[ "$which" == all ]] || targets=("$which")
    for name in "${targets[@]}"; do
        echo "== $name: $seconds seconds"
        fuzz "$name" -max_total_time="$seconds" "$@"
    done
    ;;
*)
    echo "usage: $0 smoke | long <target|all> <seconds> [libFuzzer options...]" >&2
    exit 2
    ;;
esac
