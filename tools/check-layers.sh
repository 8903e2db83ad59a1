#!/usr/bin/env bash
# Checks that the source folders depend on each other only downwards: no file of a folder includes
# a header of a folder listed above it in the README's layout section. The folders are the lines
# of that section that start with "src/" or "drivers/", in the order given there (lowest first).
#
# Usage: tools/check-layers.sh [source tree]   (default: the tree this script belongs to)
# Prints each upward include and exits 1 when there is one; exits 2 when the README lists no
# folders or names a folder that does not exist.
set -euo pipefail

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
readme=$root/README.md

# The folders, in order, from the layout section's code block.
mapfile -t folders < <(awk '
    /^## Layout/ { section = 1; next }
    section && /^## / { exit }
    section && /^```/ { block = !block; next }
    section && block && $1 ~ /^(src|drivers)\// { sub(/\/$/, "", $1); print $1 }
' "$readme")

if [ ${#folders[@]} -eq 0 ]; then
  echo "check-layers: no source folders listed in the layout section of $readme" >&2
  exit 2
fi

declare -A rank
for i in "${!folders[@]}"; do
  folder=${folders[$i]}
  if [ ! -d "$root/$folder" ]; then
    echo "check-layers: the README lists $folder, which does not exist" >&2
    exit 2
  fi
  rank[$folder]=$i
done

# Which listed folder holds a header of this name ("" when none; "?" when more than one).
owner_of() {
  local header=$1 found="" folder
  for folder in "${folders[@]}"; do
    if [ -f "$root/$folder/$header" ]; then
      if [ -n "$found" ]; then
        echo "?"
        return
      fi
      found=$folder
    fi
  done
  echo "$found"
}

status=0
for folder in "${folders[@]}"; do
  while IFS= read -r -d '' file; do
    while IFS= read -r header; do
      # A header of the file's own folder is always allowed.
      [ -f "$root/$folder/$header" ] && continue
      owner=$(owner_of "$header")
      if [ "$owner" = "?" ]; then
        echo "${file#"$root"/}: \"$header\" is the name of headers in several folders" >&2
        status=1
      elif [ -n "$owner" ] && [ "${rank[$owner]}" -gt "${rank[$folder]}" ]; then
        echo "${file#"$root"/}: includes $owner/$header, a folder above $folder" >&2
        status=1
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  done < <(find "$root/$folder" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) -print0)
done

if [ $status -eq 0 ]; then
  echo "check-layers: ${#folders[@]} folders, every include points to the same folder or below"
fi
exit $status
