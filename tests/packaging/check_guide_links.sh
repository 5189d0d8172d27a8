#!/usr/bin/env bash
# Every link and picture of the HTML pages in a folder resolves: local files
# exist, and "#name" (alone or after a page) names an id of its page. Links
# that leave the folder for the web are not followed.
#
#   check_guide_links.sh FOLDER
set -euo pipefail
folder="$1"
broken=0
ids_of() { grep -o ' id="[^"]*"' "$1" | sed 's/ id="\(.*\)"/\1/'; }
for page in "$folder"/*.html; do
  while IFS= read -r link; do
    case "$link" in
      http://* | https://* | mailto:*) continue ;;
    esac
    target="${link%%#*}"
    anchor=""
    [[ "$link" == *"#"* ]] && anchor="${link#*#}"
    file="$page"
    if [ -n "$target" ]; then
      file="$(dirname "$page")/$target"
      if [ ! -e "$file" ]; then
        echo "$(basename "$page"): $link: no file $target" >&2
        broken=$((broken + 1))
        continue
      fi
    fi
    if [ -n "$anchor" ] && ! ids_of "$file" | grep -qxF "$anchor"; then
      echo "$(basename "$page"): $link: no id \"$anchor\"" >&2
      broken=$((broken + 1))
    fi
  done < <(grep -o -E '(href|src)="[^"]*"' "$page" | sed -E 's/^(href|src)="(.*)"$/\2/')
done
[ "$broken" -eq 0 ]
