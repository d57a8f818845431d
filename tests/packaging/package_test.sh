#!/usr/bin/env bash
# Builds the Debian packages from the build, checks them with lintian,
# installs them with apt, uses what they installed from outside the build
# folder as a user would, then purges them and checks that nothing of them
# is left.
#   package_test.sh BUILD_DIR SOURCE_DIR NODE
# It needs root, and skips (status 77) without it or when either package is
# installed already (it would remove them).
set -euo pipefail
build_dir=$(realpath "$1")
source_dir=$(realpath "$2")
node=$3
here=$(dirname "$(realpath "$0")")
packages=(dozu dozu-runtime-dev libdozu-runtime0 python3-dozu)

skip() {
  echo "skipped: $*"
  exit 77
}
[ "$(id -u)" -eq 0 ] || skip "installing packages needs root"
# One run at a time on the machine, whichever build folder it comes from.
exec 9> /var/lock/dozu-package-test.lock
flock 9
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2> /dev/null | grep -q ' installed'; then
    skip "$p is installed on this machine already"
  fi
done

work=$(mktemp -d)
installed=0
cleanup() {
  [ "$installed" -eq 0 ] || apt-get purge -y -q "${packages[@]}" > /dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

echo "== cpack"
cpack --config "$build_dir/CPackConfig.cmake" -B "$work/packages" | grep 'package:'
debs=("$work"/packages/*.deb)
[ ${#debs[@]} -eq 4 ] || fail "expected four packages, got: ${debs[*]}"
version=$(dpkg-deb -f "$work"/packages/dozu_*.deb Version)

echo "== lintian"
status=0
lintian --fail-on error,warning "${debs[@]}" > "$work/lintian.log" 2>&1 || status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[ "$status" -eq 0 ] || fail "lintian reported errors or warnings"

# What the packages hold, and which of their folders existed before them.
for deb in "${debs[@]}"; do dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||'; done |
  grep -v '^$' | sort -u > "$work/contents"
while read -r path; do [ ! -d "$path" ] || echo "$path"; done < "$work/contents" > "$work/dirs-before"

echo "== apt-get install"
installed=1
# Some images tell dpkg to skip manual pages and documents; the test needs them.
DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o 'DPkg::Options::=--path-include=*dozu*' "${debs[@]}" > \
  "$work/apt.log" 2>&1 || {
  cat "$work/apt.log"
  fail "apt-get install"
}

echo "== used from $work/user"
mkdir "$work/user"
cd "$work/user"
[ "$(command -v dozu-cli)" = /usr/bin/dozu-cli ] || fail "dozu-cli is not /usr/bin/dozu-cli"
[ "$(dozu-cli --version)" = "dozu-cli $version" ] || fail "dozu-cli --version: $(dozu-cli --version)"
[ "$(dozu --version)" = "dozu $version" ] || fail "dozu --version: $(dozu --version)"
[ "$(man -w dozu-cli-pack)" = /usr/share/man/man1/dozu-cli-pack.1.gz ] || fail "man -w dozu-cli-pack"
man -w dozu > /dev/null || fail "man -w dozu"
# The manual that Help › Manual opens beside /usr/bin/dozu, with its pictures.
grep -q '(docs/help-menu.png)' /usr/share/doc/dozu/README.md || fail "no /usr/share/doc/dozu/README.md"
[ -f /usr/share/doc/dozu/docs/help-menu.png ] || fail "no pictures of the manual"
# The browser page's site, which share links point to.
[ -f /usr/share/dozu/web/index.html ] || fail "no /usr/share/dozu/web/index.html"

# The thumbnailer as a file manager runs it: its Exec line, with the size,
# the input and the output put in.
read -r -a exec_line < <(sed -n 's/^Exec=//p' /usr/share/thumbnailers/dozu.thumbnailer)
thumbnail() {
  local args=("${exec_line[@]//%s/$1}")
  args=("${args[@]//%i/$2}")
  "${args[@]//%o/$3}"
}
cp "$source_dir/examples/chain.tpg" "chain model.tpg"
thumbnail 128 "$PWD/chain model.tpg" "$PWD/chain.png" || fail "thumbnailer on chain.tpg"
read -r width height ink < <("$node" "$here/png_ink.js" chain.png)
[ "$width.$height" = 128.128 ] || fail "thumbnail of ${width}x$height"
[ "$ink" -gt 500 ] || fail "thumbnail with $ink model pixels"
# A program whose run stops at a fatal error: no thumbnail, a failure.
{
  head -c 423 "$source_dir/examples/chain.tpg"
  printf '\x11'
} > fatal.tpg
if thumbnail 128 "$PWD/fatal.tpg" "$PWD/fatal.png" 2> /dev/null; then fail "thumbnailer succeeded on fatal.tpg"; fi
[ -z "$(ls fatal.png* 2> /dev/null)" ] || fail "thumbnailer left $(ls fatal.png*)"

# The runtime's example, built with pkg-config and with CMake, makes the
# model that dozu-cli makes.
[ "$(pkg-config --modversion dozu-runtime)" = "$version" ] || fail "pkg-config --modversion dozu-runtime"
pkg-config --cflags dozu-runtime > /dev/null
cp /usr/share/doc/dozu-runtime-dev/examples/example.c .
dozu-cli pack "$source_dir/examples/rock.tpg" --c rock.h
dozu-cli run "$source_dir/examples/rock.tpg" --obj cli.obj
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror $(pkg-config --cflags dozu-runtime) -I. example.c $(pkg-config --libs dozu-runtime) \
  -o example-pc
cat > CMakeLists.txt << 'EOF'
cmake_minimum_required(VERSION 3.25)
project(uses_dozu_runtime C)
find_package(dozu_runtime 0.4 REQUIRED)
add_executable(example example.c)
target_include_directories(example PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(example PRIVATE dozu::runtime)
EOF
cmake -S . -B build -G Ninja > cmake.log 2>&1 && cmake --build build >> cmake.log 2>&1 || {
  cat cmake.log
  fail "a CMake project with find_package(dozu_runtime)"
}
# The same example on the shared library: its implementation comes from
# libdozu_runtime.so.0, by pkg-config and by CMake.
sed '/#define DOZU_RUNTIME_/d' example.c > shared.c
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror $(pkg-config --cflags dozu-runtime-shared) -I. shared.c \
  $(pkg-config --libs dozu-runtime-shared) -o shared-pc
sed -i 's/example example.c/shared shared.c/; s/example PRIVATE/shared PRIVATE/; s/dozu::runtime)/dozu::runtime_shared)/' \
  CMakeLists.txt
cmake -S . -B build-shared -G Ninja > cmake.log 2>&1 && cmake --build build-shared >> cmake.log 2>&1 || {
  cat cmake.log
  fail "a CMake project with dozu::runtime_shared"
}
count() { grep -c "^$1 " "$2"; }
for example in ./example-pc build/example ./shared-pc build-shared/shared; do
  "$example" example.obj
  [ "$(count v example.obj).$(count f example.obj)" = "$(count v cli.obj).$(count f cli.obj)" ] ||
    fail "$example: not the model of dozu-cli run"
done

# The Python module from the system's python3, outside the build, and the
# Blender add-on from where the package puts it, on that module.
/usr/bin/python3 - "$source_dir/examples/chain.tpg" << 'EOF' || fail "import dozu"
import sys, dozu
assert dozu.__file__ == "/usr/lib/python3/dist-packages/dozu/__init__.py", dozu.__file__
mesh = dozu.load(sys.argv[1])
assert (len(mesh.vertices), len(mesh.quads), len(mesh.triangles())) == (56, 54, 108), mesh
EOF
[ "$(/usr/bin/python3 -m dozu "$source_dir/examples/chain.tpg")" = "56 vertices, 54 quads" ] || fail "python3 -m dozu"
cat > blender_import.py << 'EOF'
import sys, addon_utils, bpy
addon = addon_utils.enable("io_mesh_dozu", default_set=True, handle_error=None)
assert addon.dozu.__file__ == "/usr/lib/python3/dist-packages/dozu/__init__.py", addon.dozu_problem
bpy.ops.import_mesh.dozu(filepath=sys.argv[-1])
assert len(bpy.context.object.data.polygons) == 54
EOF
BLENDER_USER_SCRIPTS=/usr/share/dozu/blender blender -b --factory-startup --python-exit-code 1 \
  --python blender_import.py -- "$source_dir/examples/chain.tpg" > blender.log 2>&1 || {
  cat blender.log
  fail "the Blender add-on from /usr/share/dozu/blender"
}
cd /

echo "== apt-get purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${packages[@]}" > "$work/apt.log" 2>&1 || {
  cat "$work/apt.log"
  fail "apt-get purge"
}
installed=0
while read -r path; do
  if [ -e "$path" ] && ! grep -qxF "$path" "$work/dirs-before"; then echo "left behind: $path"; fi
done < "$work/contents" > "$work/left"
[ ! -s "$work/left" ] || fail "$(cat "$work/left")"
! grep -q 'x-dozu-program' /usr/share/mime/globs2 || fail "the program file type is still known"
echo "packages built, checked, installed, used and removed"
