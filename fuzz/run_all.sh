#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, ASan/UBSan) and runs every fuzz target for a bounded
# time: FUZZ_SECONDS each (default 60). Each target starts from a copy of its seed corpus in a
# temporary folder, so the corpus in the repository never grows. Fails when any target finds a
# crash, a leak, a failed property or an input that takes more than FUZZ_INPUT_TIMEOUT seconds
# (default 10, far beyond anything linear at these sizes); the failing input is printed as hex.
# Prints the executions each target reached.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
input_timeout=${FUZZ_INPUT_TIMEOUT:-10}

# target:max_len. Requests up to 64 KiB; the mail list target compares with a quadratic plain
# reading up to 4 KiB, so its inputs stay near that size.
targets=(fuzz_request:65536 fuzz_mail_list:8192 fuzz_base64:4096 fuzz_convert:4096
         fuzz_charsets:4096 fuzz_simd:4096)

if ! cmake --preset fuzz >/dev/null; then
  echo "fuzz: configuring the fuzz preset failed" >&2
  exit 1
fi
if ! cmake --build --preset fuzz --target quillet_fuzz_targets; then
  echo "fuzz: building the fuzz targets failed" >&2
  exit 1
fi
bin=build/fuzz/fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failed=()
for entry in "${targets[@]}"; do
  target=${entry%%:*}
  max_len=${entry##*:}
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  cp -R "fuzz/corpus/$target/." "$work/$target/corpus/"
  echo "== $target: ${seconds} s, max_len $max_len"
  "$bin/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout="$input_timeout" \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
    "$work/$target/corpus" >"$work/$target/log" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target/log" | tail -1)
  echo "== $target: ${executions:-?} executions, exit status $status"
  if ((status != 0)) || compgen -G "$work/$target/artifacts/*" >/dev/null; then
    failed+=("$target")
    tail -n 60 "$work/$target/log"
    for artifact in "$work/$target/artifacts"/*; do
      [[ -f $artifact ]] || continue
      echo "-- $(basename "$artifact") ($(wc -c <"$artifact") bytes):"
      od -An -tx1 -v "$artifact" | head -n 64
    done
  fi
done

if ((${#failed[@]} > 0)); then
  echo "== fuzzing failed: ${failed[*]}"
  exit 1
fi
echo "== fuzzing: every target passed"
