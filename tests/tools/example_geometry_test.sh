#!/usr/bin/env bash
# The committed example scenes must be exactly what tools/make_example_geometry.py
# writes, with the object names the simulation's tables refer to.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python=python3
command -v python3 >/dev/null 2>&1 || python=/usr/bin/python3
"$python" "$repo/tools/make_example_geometry.py" --out-dir "$work" > "$work/report.txt" ||
  { echo "example_geometry_test: FAILED: the generator stopped"; cat "$work/report.txt"; exit 1; }

for scene in small spacecraft; do
  cmp -s "$work/examples/$scene/scene.amf" "$repo/examples/$scene/scene.amf" ||
    { echo "example_geometry_test: FAILED: examples/$scene/scene.amf differs: rerun tools/make_example_geometry.py"; exit 1; }
  for name in electrode1 electrode2 Body magnet1 magnet2; do
    grep -q "<metadata type=\"name\">$name</metadata>" "$repo/examples/$scene/scene.amf" ||
      { echo "example_geometry_test: FAILED: $scene has no object $name"; exit 1; }
  done
done
cmp -s "$work/examples/charging/sphere.amf" "$repo/examples/charging/sphere.amf" ||
  { echo "example_geometry_test: FAILED: examples/charging/sphere.amf differs: rerun tools/make_example_geometry.py"; exit 1; }
triangles=$(sed -n 's|^examples/spacecraft/scene.amf: \([0-9]*\) triangles$|\1|p' "$work/report.txt")
[ "${triangles:-0}" -ge 20000 ] || { echo "example_geometry_test: FAILED: spacecraft has ${triangles:-no} triangles"; exit 1; }
echo "example_geometry_test: passed"
