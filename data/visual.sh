#!/bin/sh
# Corvane download script for "visual.txt": the brightest objects, those most often seen with the naked eye.
#
# Corvane runs this file with /bin/sh in its working folder when you choose "visual.txt" in the
# "Download TLE File" window, and passes the element file name as the first argument. Edit it
# freely: Corvane only waits for the element file to appear.
#
# The elements come in three-line form from CelesTrak's GP service. Set CORVANE_TLE_URL to use
# another server with the same layout (a mirror, or a local copy). Set format to csv (or the
# variable CORVANE_TLE_FORMAT) to fetch the same objects as OMM CSV, which Corvane reads too.
base="${CORVANE_TLE_URL:-https://celestrak.org/NORAD/elements}"
format="${CORVANE_TLE_FORMAT:-tle}"
out="${1:-visual.txt}"
url="$base/gp.php?GROUP=visual&FORMAT=$format"
tmp="$out.download"

# The element file appears only once the whole download has arrived and holds element lines:
# an error page, a cut connection (a last line without its end) or an empty answer leaves no
# file behind, and neither does Ctrl-C or a cancel from Corvane.
rm -f "$tmp"
trap 'rm -f "$tmp"; exit 130' INT TERM HUP
if curl --fail --silent --show-error --location --max-time 300 --output "$tmp" "$url" &&
   [ -s "$tmp" ] && [ -z "$(tail -c 1 "$tmp")" ] &&
   if [ "$format" = csv ]; then
     head -n 1 "$tmp" | grep -q 'NORAD_CAT_ID' && [ "$(wc -l < "$tmp")" -gt 1 ]
   else
     grep -q '^1 ' "$tmp" && grep -q '^2 ' "$tmp"
   fi; then
  mv -f "$tmp" "$out"
else
  echo "visual: no element sets from $url" >&2
  rm -f "$tmp"
  exit 1
fi
