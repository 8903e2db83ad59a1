#!/usr/bin/env bash
# The layer check on a small made-up tree: quiet while every include points down, and naming the
# file when one points up, when a header name is ambiguous, or when the README lists a missing folder.
set -euo pipefail
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

mkdir -p "$tree/src/low" "$tree/src/high" "$tree/drivers/lib"
cat > "$tree/README.md" <<'README'
# Made up
## Layout
```
src/low/          the bottom
drivers/lib/      a library
src/high/         the top
```
## After
src/high/ is not part of the list here.
README
echo '#include "driver.h"' > "$tree/src/high/top.cpp"
echo '#include "low.h"' >> "$tree/src/high/top.cpp"
echo '#include "top.h"' >> "$tree/src/high/top.cpp"
touch "$tree/src/high/top.h" "$tree/src/low/low.h" "$tree/drivers/lib/driver.h"
echo '#include <vector>' > "$tree/src/low/low.cpp"

bash "$check" "$tree" >/dev/null

# An include that points up is found and named.
echo '  #include "top.h"  // up' >> "$tree/src/low/low.cpp"
if out=$(bash "$check" "$tree" 2>&1); then
  echo "an upward include passed the check"; exit 1
fi
grep -q 'src/low/low.cpp: includes src/high/top.h' <<<"$out" || { echo "unexpected: $out"; exit 1; }

# A header name found in two folders cannot be placed.
sed -i '$d' "$tree/src/low/low.cpp"
touch "$tree/src/high/low2.h" "$tree/drivers/lib/low2.h"
echo '#include "low2.h"' >> "$tree/src/low/low.cpp"
if out=$(bash "$check" "$tree" 2>&1); then
  echo "an ambiguous header passed the check"; exit 1
fi
grep -q 'several folders' <<<"$out" || { echo "unexpected: $out"; exit 1; }

# A folder the README lists but the tree lacks is an error of its own.
sed -i '$d' "$tree/src/low/low.cpp"
rm -r "$tree/drivers/lib"
sed -i 's|#include "driver.h"||' "$tree/src/high/top.cpp"
set +e
bash "$check" "$tree" >/dev/null 2>&1
status=$?
set -e
[ $status -eq 2 ] || { echo "a missing folder gave status $status"; exit 1; }
echo "ok"
