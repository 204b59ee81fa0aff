#!/usr/bin/env bash
# Runs quillet_console under valgrind memcheck: a real session (template, separator, a mail header
# list with encoded words in the three charsets, an unterminated word, then "quit"), a session
# that ends with the input in the middle of a cycle, and one with no input at all. Fails on any
# memory error, on a definite or indirect leak, or when the console does not end with status 0.
# Usage: fuzz/valgrind_console.sh path/to/quillet_console
set -uo pipefail

console=${1:?usage: $0 path/to/quillet_console}
if [[ ! -x $console ]]; then
  echo "valgrind_console: $console is not an executable" >&2
  exit 1
fi

# Encoded words: "Yamada" in ISO-2022-JP, "Suzuki" in Shift_JIS, "Sato" in EUC-JP, a Shift_JIS
# subject with half-width katakana, a Q-encoded word, and one that never closes.
mails=$'From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <taro@example.jp>\x01'
mails+=$'Subject: =?SJIS?B?tt6yxN4=?= meeting\x01Date: Tue, 8 Dec 2026 09:15:00 +0900\x02'
mails+=$'From: =?Shift_JIS?B?l+mW2A==?=\x01Subject: =?EUC-JP?B?urTGow==?= =?ISO-8859-1?Q?caf=E9?=\x02'
mails+=$'From: news@example.com\x01Subject: =?ISO-2022-JP?B?GyRCJUslZSE8JTkbKEI\x02'

sessions=(
  "full session ending with quit"
  "end of input in the middle of a cycle"
  "no input at all"
)
inputs=(
  "!From! / !Subject! (!Date!)"$'\n'" | "$'\n'"$mails"$'\n'"!Subject!"$'\n'$'\n'$'\x02\x02\n'"quit"$'\n'
  "!From!"$'\n'","$'\n'"$mails"$'\n'"!Subject!"$'\n'
  ""
)

failed=0
for i in "${!sessions[@]}"; do
  echo "== valgrind: ${sessions[$i]}"
  log=$(mktemp)
  printf '%s' "${inputs[$i]}" |
    timeout 300 valgrind --quiet --error-exitcode=1 --leak-check=full \
      --errors-for-leak-kinds=definite,indirect --log-file="$log" "$console" >/dev/null
  status=$?
  if ((status != 0)); then
    echo "== valgrind: ${sessions[$i]}: FAILED (exit status $status)"
    failed=1
  else
    echo "== valgrind: ${sessions[$i]}: clean"
  fi
  cat "$log"
  rm -f "$log"
done
exit "$failed"
