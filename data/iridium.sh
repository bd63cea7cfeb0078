#!/bin/sh
# Corvane download script for "iridium.txt": the Iridium satellites (GROUP=iridium; the first generation, of flare fame).
#
# Corvane runs this file with /bin/sh in its working folder when you choose "iridium.txt" in the
# "Download TLE File" window, and passes the element file name as the first argument. Edit it
# freely: Corvane only waits for the element file to appear.
#
# The elements come in three-line form from CelesTrak's GP service. Set CORVANE_TLE_URL to use
# another server with the same layout (a mirror, or a local copy).
base="${CORVANE_TLE_URL:-https://celestrak.org/NORAD/elements}"
out="${1:-iridium.txt}"
url="$base/gp.php?GROUP=iridium&FORMAT=tle"
tmp="$out.download"

# The element file appears only once the whole download has arrived and holds element lines:
# an error page, a cut connection or an empty answer leaves no file behind.
rm -f "$tmp"
if curl --fail --silent --show-error --location --max-time 300 --output "$tmp" "$url" &&
   grep -q '^1 ' "$tmp" && grep -q '^2 ' "$tmp"; then
  mv -f "$tmp" "$out"
else
  echo "iridium: no element sets from $url" >&2
  rm -f "$tmp"
  exit 1
fi
