#!/usr/bin/env bash
# The show's layers, bottom to top. A file may include from its own layer and
# the layers below it, and of the platform only the four API headers; the
# README's layout table lists the same layers in the same order (top first).
#
#   check_layers.sh SOURCE_DIR
#
# Prints every include that breaks the order and exits 1 if there is any.
set -u
root=${1:?usage: check_layers.sh SOURCE_DIR}

layers=(base util gfx effects scenes show shell)
api_headers=(platform/win32/win32.h platform/d3d8/d3d8.h platform/d3dx8/d3dx8.h platform/fmod/fmod.h)

declare -A rank
for i in "${!layers[@]}"; do
  rank[${layers[$i]}]=$i
done

bad=0
fail() {
  echo "layering: $*"
  bad=1
}

for layer in "${layers[@]}"; do
  if [ ! -d "$root/$layer" ]; then
    fail "no folder $layer/"
    continue
  fi
  while IFS= read -r -d '' file; do
    rel=${file#"$root"/}
    # Quoted includes only; <...> are system and library headers.
    while IFS= read -r line; do
      num=${line%%:*}
      target=
      [[ $line =~ \"([^\"]*)\" ]] && target=${BASH_REMATCH[1]}
      top=${target%%/*}
      if [ "$top" = platform ]; then
        ok=0
        for h in "${api_headers[@]}"; do
          [ "$target" = "$h" ] && ok=1
        done
        [ $ok = 1 ] || fail "$rel:$num includes $target (the show sees only the four platform API headers)"
      elif [ -n "${rank[$top]+x}" ] && [ "$target" != "$top" ]; then
        if [ "${rank[$top]}" -gt "${rank[$layer]}" ]; then
          fail "$rel:$num includes $target ($layer/ is below $top/)"
        fi
      else
        fail "$rel:$num includes $target (not a layer of the show, nor a platform API header)"
      fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
  done < <(find "$root/$layer" -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
done

# The README's layout table, top layer first.
readme_order=()
while IFS= read -r folder; do
  [ -n "${rank[$folder]+x}" ] && readme_order=("$folder" "${readme_order[@]}")
done < <(sed -nE 's/^\| `([a-z0-9_]+)\/` \|.*/\1/p' "$root/README.md")
if [ "${readme_order[*]}" != "${layers[*]}" ]; then
  fail "README.md's layout table lists the layers (top last) as '${readme_order[*]}', the check as '${layers[*]}'"
fi

if [ $bad = 0 ]; then
  echo "layering: ${layers[*]}: every include points down or sideways"
fi
exit $bad
