#!/usr/bin/env bash
# dpkg-shlibdeps for a program cross-built with Debian's cross compilers,
# which CPack runs in its place: CROSS_TRIPLET and CROSS_ARCH name the board.
# The cross toolchain's libraries sit under /usr/<triplet>/lib in packages
# named libc6-arm64-cross and the like, whose shlibs files carry no symbol
# versions. So the names are put back to those the board knows, and the
# lowest libc6 and libstdc++6 are taken from the newest symbol versions the
# program needs, as their symbols files would give them on the board.
set -euo pipefail
case ${1:-} in --version | --help) exec dpkg-shlibdeps "$@" ;; esac
: "${CROSS_TRIPLET:?}" "${CROSS_ARCH:?}"
out=$(DEB_HOST_ARCH=$CROSS_ARCH dpkg-shlibdeps "-l/usr/$CROSS_TRIPLET/lib" "$@")
needs=$(for f in "$@"; do [[ $f == -* ]] || "$CROSS_TRIPLET-readelf" -V "$f"; done)
newest() { grep -o "$1[0-9.]*" <<< "$needs" | sed "s/^$1//" | sort -V | tail -1; }
glibc=$(newest GLIBC_)
# The libstdc++ of each GCC release from 10 on added one symbol version.
glibcxx=$(newest "GLIBCXX_3\\.4\\.")
case $glibcxx in
28) gcc=10 ;; 29) gcc=11 ;; 30) gcc=12 ;; 31) gcc=13 ;; 32) gcc=14 ;;
*) echo "$0: which libstdc++6 has GLIBCXX_3.4.$glibcxx? Add it here." >&2 && exit 1 ;;
esac
sed -E -e "s/-$CROSS_ARCH-cross//g; s/:$CROSS_ARCH//g" \
    -e "s/libc6( \([^)]*\))?/libc6 (>= $glibc)/" \
    -e "s/libstdc\+\+6( \([^)]*\))?/libstdc++6 (>= $gcc)/" <<< "$out"
