#!/usr/bin/env bash
# Unpacks Debian's current amd64 kernel image into build/kernel for the
# real-kernel test (tools/qemu/guest.sh). The package is downloaded and
# unpacked with dpkg-deb, never installed: the build machine's own kernel
# and boot loader are none of this test's business.
#
# The version is whatever linux-image-amd64 depends on today, so a kernel
# update in the archive moves the test along instead of breaking it.
# Safe to run again: an unpacked image of the same version is kept.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
dest=${QV_KERNEL_DIR:-$root/build/kernel}

# "linux-image-6.1.0-57-amd64": the first dependency of the meta package.
current_image() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1
}
image=$(current_image)
# A machine that had every package already may never have read the lists.
if [ -z "$image" ] && [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  image=$(current_image)
fi
if [ -z "$image" ]; then
  echo "fetch-kernel: apt knows no linux-image-amd64 (run apt-get update)" >&2
  exit 1
fi
if [ -f "$dest/$image.done" ]; then
  exit 0
fi

# The -unsigned package holds the same kernel without the secure-boot
# signature and without a dependency on the signed template; older releases
# ship only the plain one.
package=$image-unsigned
if ! apt-cache show "$package" >/dev/null 2>&1; then
  package=$image
fi

echo "fetch-kernel: unpacking $package into $dest"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# apt's sandbox user (_apt) must be able to write where it downloads, or
# apt warns and downloads as root.
chmod 777 "$work"
# Stale lists name a package the mirror no longer has: read them again once.
if ! (cd "$work" && apt-get download -qq "$package"); then
  apt-get update -qq
  (cd "$work" && apt-get download -qq "$package")
fi
rm -rf "$dest"
mkdir -p "$dest"
dpkg-deb -x "$work"/"$package"_*.deb "$dest/root"
release=${image#linux-image-}
if [ ! -f "$dest/root/boot/vmlinuz-$release" ] || [ ! -d "$dest/root/lib/modules/$release" ]; then
  echo "fetch-kernel: $package holds no vmlinuz-$release or its modules" >&2
  exit 1
fi
# The package ships no modules.dep (installing it runs depmod); make it in
# the unpacked tree, where the initramfs builder reads each module's
# dependencies.
depmod -b "$dest/root" "$release"
echo "$release" > "$dest/release"
touch "$dest/$image.done"
