#!/usr/bin/env bash
# Every example as .glb and .gltf, checked by the Khronos glTF validator: no
# error and no warning. A file with a fault put in must fail, so that a
# validator that passes everything is caught too.
#   validate_gltf_examples.sh DOZU_CLI NODE NODE_MODULES EXAMPLES_DIR
set -euo pipefail
cli=$1 node=$2 modules=$3 examples=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ ! -x "$node" ]; then
  echo "node is missing ($node): .ci/ensure-packages installs it" >&2
  exit 1
fi
files=()
for program in "$examples"/*.tpg; do
  name=$(basename "$program" .tpg)
  "$cli" run "$program" --glb "$work/$name.glb" --gltf "$work/$name.gltf"
  files+=("$work/$name.glb" "$work/$name.gltf")
done
"$node" "$here/gltf_validate.js" "$modules" "${files[@]}"

# An index past the last vertex, written into the last index of chain.glb.
cp "$work/chain.glb" "$work/broken.glb"
size=$(stat -c %s "$work/broken.glb")
printf '\377\377\377\000' | dd of="$work/broken.glb" bs=1 seek=$((size - 4)) conv=notrunc status=none
if "$node" "$here/gltf_validate.js" "$modules" "$work/broken.glb"; then
  echo "the validator passed a file with an index out of range" >&2
  exit 1
fi
echo "every example passed the validator, and a broken file did not"
