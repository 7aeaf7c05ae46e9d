#!/usr/bin/env bash
# CI checks of the Debian package: builds it (scripts/package.sh), then checks that it holds
# exactly what `cmake --install` installs, that its desktop entries and AppStream metainfo
# validate, that it installs with apt-get on this machine, that .dxf files then open in
# vexilo-cad, and that the installed programs answer --version without a display and speak
# Chinese under zh_CN.UTF-8.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "check-package: $*" >&2
    exit 1
}

deb=$(scripts/package.sh | tail -n 1)
[[ -f "$deb" ]] || fail "scripts/package.sh made no package"
version=$(dpkg-deb -f "$deb" Version)
echo "== checking $deb =="
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package holds what `cmake --install` installs, nothing more and nothing less.
DESTDIR="$work/stage" cmake --install build/package --prefix /usr >/dev/null
sed "s|^$work/stage||" build/package/install_manifest.txt | sort >"$work/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort >"$work/packaged"
if ! diff -u "$work/installed" "$work/packaged"; then
    fail "the package's files differ from cmake --install's (- installed, + packaged)"
fi

# dpkg-shlibdeps found the libraries.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6dbus6 libxlsxwriter; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --reinstall \
    -o DPkg::Lock::Timeout=600 "$deb" >/dev/null

# The desktop database (updated by desktop-file-utils' trigger) sends .dxf files to vexilo-cad.
grep -q '^image/vnd.dxf=.*org.vexilo.VexiloCad.desktop' /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not open image/vnd.dxf with vexilo-cad"

for program in vexilo vexilo-cad; do
    answer=$(env -u DISPLAY -u WAYLAND_DISPLAY LANG=C.UTF-8 "/usr/bin/$program" --version)
    [[ "$answer" == "$program $version" ]] || fail "/usr/bin/$program --version said: $answer"
done
help=$(env -u DISPLAY -u WAYLAND_DISPLAY -u LANGUAGE -u LC_ALL LANG=zh_CN.UTF-8 \
    /usr/bin/vexilo-cad --help)
[[ "$help" == *"Vexilo 的绘图宿主"* ]] || fail "vexilo-cad --help is not Chinese under zh_CN: $help"
echo "check-package: $deb is good"
